// The console as a person meets it: key presses at a terminal, pasted names, arguments.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "TestSupport.h"
#include "dialogue/TypedName.h"

using namespace testing_support;

TEST(TypedName, PastedQuotesAndWhiteSpaceAreDropped) {
    setenv("HOME", "/home/mapper", 1);
    const std::pair<std::string, std::string> cases[] = {
        {"'/maps/sheet 12.tif' ", "/maps/sheet 12.tif"},
        {"\"C:\\maps\\sheet 12.tif\"", "C:\\maps\\sheet 12.tif"},
        {" \t/maps/a.tif\r", "/maps/a.tif"},
        {"' inside stays '", " inside stays "},
        {"\"'one pair only'\"", "'one pair only'"},
        {"'/maps/a.tif\"", "'/maps/a.tif\""},
        {"\"", "\""},
        {"''", ""},
        {"   ", ""},
        {"~/maps/a.tif", "/home/mapper/maps/a.tif"},
        {"'~/maps/a.tif' ", "/home/mapper/maps/a.tif"},
        {"~mapper/a.tif", "~mapper/a.tif"},
        {"/maps/~/a.tif", "/maps/~/a.tif"},
    };
    for (const auto& [typed, meant] : cases) {
        EXPECT_EQ(fileNameMeant(typed), meant) << typed;
    }
}
