#pragma once

#include <string>
#include <string_view>

// The file a typed or pasted name means. File managers drop a path in quotes with a
// trailing blank, and Explorer's "Copy as path" puts it in double quotes; the white space
// around a name, then one pair of matching quotes around that, are dropped. A leading "~/"
// stands for the home folder where the system has one. A file whose real name begins or
// ends with a blank or a quote cannot be named here.
std::string fileNameMeant(std::string_view typed);
