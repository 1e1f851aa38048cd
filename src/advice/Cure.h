#pragma once

#include <string>
#include <vector>

#include "tiff/ImageKind.h"

// The lines that close the refusal of a file of another kind than this program reads: what
// the conversion does, and one command, with the user's own file names, that converts the
// file named input into a new file beside it.
std::vector<std::string> cureLines(const ImageKind& kind, const std::string& input);
