#pragma once

#include <ostream>
#include <string_view>
#include <vector>

// The program takes its settings and file names on the console; arguments only ask for the
// usage text or the version. Returns the exit status: 0 for those two, 2 for anything else,
// which is named in one usage line on err.
int answerArguments(const std::vector<std::string_view>& arguments, std::ostream& out,
                    std::ostream& err);
