#include "app/CommandForms.h"

#include <cstdlib>
#include <limits>
#include <sstream>

#include "app/ColourCensus.h"
#include "app/ImageJob.h"
#include "dialogue/RunEnded.h"
#include "platform/Platform.h"

namespace {

// The console of a command: nothing to read, no key to wait for; the report goes to out
// (or nowhere), the lines that say why a run stopped to err behind the name of its file.
// Names in these lines are shown with their control characters escaped, one line each.
class CommandConsole {
  public:
    CommandConsole(std::ostream* out, std::ostream& err, const std::string& name)
        : console_(none_, out != nullptr ? *out : nowhere_, [] {}) {
        console_.sendErrorsTo(err, shown(name) + ": ");
    }
    Console& console() { return console_; }

  private:
    std::istringstream none_;
    std::ostream nowhere_{nullptr};
    Console console_;
};

JobOrder readingOrder(const std::string& name) {
    return JobOrder{{}, name, {}};
}

// The NO_COLOR convention: set and not empty means no colours.
bool swatchesWanted() {
    const char* noColour = std::getenv("NO_COLOR");  // NOLINT(concurrency-mt-unsafe): one thread
    return platform::standardOutputIsTerminal() && (noColour == nullptr || *noColour == '\0');
}

}  // namespace

int runFilter(const CommandForm& form, std::ostream& out, std::ostream& err) {
    const JobOrder& order = form.order;
    if (platform::sameFile(order.input, order.output)) {
        err << "velstram: '" + shown(order.output) +
                   "' is the input file itself; name another "
                   "output\n"
            << std::flush;
        return 2;
    }
    platform::installInterruptHandlers();
    CommandConsole console(form.quiet ? nullptr : &out, err, order.input);
    try {
        ImageJob job(console.console(), order);
    } catch (const RunEnded&) {
        return 1;
    }
    return 0;
}

int showColours(const CommandForm& form, std::ostream& out, std::ostream& err) {
    const std::string& name = form.names.front();
    CommandConsole console(nullptr, err, name);
    try {
        ImageJob job(console.console(), readingOrder(name));
        if (uint64_t{job.imageWidth()} * job.imageHeight() > std::numeric_limits<uint32_t>::max()) {
            endRun(console.console(), {"The image has more pixels than can be counted"});
        }
        ColourCensus census(job.rowsRead(), job.imageWidth(), job.imageHeight());
        census.print(out, form.top, swatchesWanted());
    } catch (const RunEnded&) {
        return 1;
    }
    return 0;
}

// A file that cannot be read gets the lines a run would stop with, but the last: the check
// goes on with the next file.
int checkFiles(const CommandForm& form, std::ostream& out) {
    bool allRead = true;
    for (const std::string& name : form.names) {
        std::ostringstream refusal;
        CommandConsole console(nullptr, refusal, name);
        try {
            ImageJob job(console.console(), readingOrder(name));
            if (!form.quiet) {
                out << shown(name) << ": ok, " << job.imageWidth() << " x " << job.imageHeight()
                    << " pixels, " << job.stripCount()
                    << (job.stripCount() == 1 ? " strip\n" : " strips\n");
            }
        } catch (const RunEnded&) {
            allRead = false;
            std::string lines = refusal.str();
            const std::string stop = shown(name) + ": exiting program\n";
            if (lines.ends_with(stop)) {
                lines.resize(lines.size() - stop.size());
            }
            out << lines;
        }
        out.flush();
    }
    return allRead ? 0 : 1;
}
