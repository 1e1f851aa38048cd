#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tiff/ImageKind.h"

// How a file of another kind than this program reads becomes one it reads: the command of
// GDAL, libtiff or ImageMagick that converts it, and what that command does to it.

// One command line that turns the file named input into output, of the kind this program
// reads, with the names quoted for the shell.
std::string conversion(const ImageKind& kind, const std::string& input, const std::string& output);
// What the command does beyond the conversion itself, for the line that gives it: in
// parentheses with a blank in front, or empty.
std::string conversionNote(const ImageKind& kind);
// The command that builds the overviews of the file named output at levels, the reduction
// factors of its pages; where no level is known, none is named, and gdaladdo chooses its own.
std::string overviewCommand(const std::string& output, const std::vector<uint64_t>& levels);
