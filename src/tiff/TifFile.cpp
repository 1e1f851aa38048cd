#include "tiff/TifFile.h"

#include <utility>

#include "platform/Platform.h"
#include "platform/RunEnded.h"

TifFile::TifFile(Console& console) : console_(console) {
    settings.showBanner(console);
    settings.askSettings(console);
    settingsCopy = SettingsCopy::of(settings);
    input.askName(console);
    output.askName(console);
}

// The names of an order were given at once, so a name that cannot be used ends the run, said
// as a command says every failure, behind the input's name. Its output name is not reserved:
// nothing appears there before the complete output.
TifFile::TifFile(Console& console, const JobOrder& order)
    : settingsCopy(order.settings), console_(console), ordered_(true) {
    input.name = order.input;
    if (Refusal refusal = input.hold()) {
        fail("cannot open: " + refusal->lines.back());
    }
    if (order.writes()) {
        output.name = order.output;
        if (Refusal refusal = output.claim(order.replace, false)) {
            throw RunEnded(std::move(*refusal));
        }
    }
}

void TifFile::fail(std::string_view reason) {
    endRun({std::string(reason)});
}

void TifFile::openInput() {
    input.rewind();
    fileSize_ = input.size();
}

// Every position was checked against the file's size before it was read, so a read past
// the end means the file changed under the program.
void TifFile::checkInputIntact() {
    if (input.failed()) {
        fail("The input file " + input.name + " ended early; it changed while it was read");
    }
}

void TifFile::openOutput() {
    if (Refusal refusal = output.open()) {
        throw RunEnded(std::move(*refusal));
    }
}

void TifFile::closeOutput() {
    if (Refusal refusal = output.endStage()) {
        failOutput("Writing the output file " + output.name + " failed", *refusal);
    }
}

// The system's reason comes first: discarding may fail for a reason of its own.
void TifFile::failOutput(const std::string& what, const RunEnded& why) {
    const std::string reason = why.lines.empty() ? "" : ": " + why.lines.back();
    fail(what + reason + "; " +
         (output.discard() ? "nothing was written" : "what was written could not be removed"));
}

// The input is checked once more just before the output takes its name: a file rewritten in
// place during the run could have given the stages different bytes.
void TifFile::placeOutput() {
    if (!input.unchanged()) {
        fail("The input file " + input.name + " was changed during the run; nothing was written");
    }
    auto [placement, refusal] = output.keep();
    if (refusal) {
        failOutput("The output could not be put in place as " + output.name, *refusal);
    }
    if (placement == platform::Placement::NameTaken) {
        fail("Another file now holds the name " + output.name + "; nothing was written");
    }
}
