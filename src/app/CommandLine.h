#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/CommandForms.h"

// The arguments as read: a command to run, or the help or the version to print. A misuse
// throws its stop instead.
struct ReadArguments {
    enum class Answer { Run, Help, Version };

    Answer answer = Answer::Run;
    CommandForm form;
};
ReadArguments readArguments(const std::vector<std::string_view>& arguments);

// The program's arguments: a filter run, the colour census or the check of some files, or
// the usage text or the version (no arguments at all start the dialogue instead). Returns
// the exit status: 0 done, 1 a file could not be read or written, 2 arguments that are not
// understood, which are named on err before any file is touched.
int answerArguments(const std::vector<std::string_view>& arguments, std::ostream& out,
                    std::ostream& err);
