#include "tiff/TifFile.h"

#include "app/RunEnded.h"

TifFile::TifFile(Console& console) : console_(console) {
    settings.showBanner(console);
    settings.askSettings(console);
    settingsCopy = SettingsCopy::of(settings);
    input.askName(console);
    output.askName(console);
}

TifFile::TifFile(Console& console, const JobOrder& order)
    : settingsCopy(order.settings), console_(console) {
    input.name = order.input;
    output.name = order.output;
}

void TifFile::fail(std::string_view reason) {
    endRun(console_, {reason, "exiting program"});
}

void TifFile::openInput() {
    if (!input.reopen(console_)) {
        endRun(console_, {"exiting program"});
    }
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
    if (!output.reopen(console_)) {
        output.discard();
        endRun(console_, {"exiting program"});
    }
}

void TifFile::closeOutput() {
    if (!output.close()) {
        output.discard();
        fail("Writing the output file " + output.name + " failed; it has been left empty");
    }
}
