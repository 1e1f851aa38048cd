#include "app/CommandForms.h"

#include <cstdlib>
#include <limits>
#include <new>
#include <optional>
#include <sstream>

#include "app/ColourCensus.h"
#include "app/ColourGroups.h"
#include "app/ImageJob.h"
#include "app/JobRunner.h"
#include "app/RunSummary.h"
#include "app/StandardOutput.h"
#include "platform/Platform.h"

namespace {

// The console of a command: nothing to read, no key to wait for; the report goes to report
// (or nowhere), the lines that say why a run stopped and the warnings to err behind the
// program's name and the file's. Names in these lines are shown with their control
// characters escaped, one line each.
class CommandConsole {
  public:
    CommandConsole(std::ostream* report, std::ostream& err, const std::string& name)
        : console_(none_, report != nullptr ? *report : nowhere_, [] {}) {
        console_.sendErrorsTo(err, "velstram: " + shown(name) + ": ");
    }
    Console& console() { return console_; }

  private:
    std::istringstream none_;
    std::ostream nowhere_{nullptr};
    Console console_;
};

JobOrder readingOrder(const std::string& name) {
    JobOrder order;
    order.input = name;
    return order;
}

// Colour codes only where a terminal shows them and the user has not asked for none: the
// NO_COLOR convention (set and not empty) and TERM=dumb.
bool swatchesWanted() {
    // NOLINTBEGIN(concurrency-mt-unsafe): one thread
    const char* noColour = std::getenv("NO_COLOR");
    const char* terminal = std::getenv("TERM");
    // NOLINTEND(concurrency-mt-unsafe)
    return platform::standardOutputIsTerminal() && (noColour == nullptr || *noColour == '\0') &&
           (terminal == nullptr || std::string_view(terminal) != "dumb");
}

}  // namespace

void misuse(std::string_view problem) {
    throw RunEnded{{"velstram: " + std::string(problem), "Try 'velstram --help'."}, 2, false};
}

int guardedCommand(std::ostream& err, const std::function<int()>& work) {
    std::istringstream none;
    Console console(none, err, [] {});
    int status = 0;
    const int stopped = guardedRun(console, [&] { status = work(); });
    return stopped != 0 ? stopped : status;
}

int runFilter(const CommandForm& form, std::ostream& out, std::ostream& err) {
    const JobOrder& order = form.order;
    if (platform::sameFile(order.input, order.output)) {
        misuse("'" + shown(order.output) + "' is the input file itself; name another output");
    }
    platform::installInterruptHandlers();
    CommandConsole console(form.report && !form.quiet ? &out : nullptr, err, order.input);
    int status = guardedRun(console.console(), [&] {
        ImageJob job(console.console(), order);
        const RunSummary summary(order, job.counts(),
                                 uint64_t{job.imageWidth()} * job.imageHeight());
        for (const std::string& warning : summary.warnings()) {
            console.console().warningLine(warning);
        }
        if (!form.quiet) {
            out << summary.line() << '\n';
        }
    });
    // An output in place stays, and so does its status: 0 says that it is complete.
    static_cast<void>(printedWhole(out, err));
    return status;
}

// The census reads the image a block at a time and holds no raster: its table of counts
// (64 MiB) and the groups' table of colours (2 MiB) are what it needs at any size.
int showColours(const CommandForm& form, std::ostream& out, std::ostream& err) {
    const std::string& name = form.names.front();
    CommandConsole console(nullptr, err, name);
    console.console().dropWarnings();
    const int status = guardedRun(console.console(), [&] {
        std::optional<ColourCensus> census;
        try {
            census.emplace();
        } catch (const std::bad_alloc&) {
            endRun({"Not enough memory for the count of every colour (64 MiB)"});
        }
        ImageJob job(console.console(), readingOrder(name),
                     [&](const uint32_t* pixels, size_t count) {
                         if (census->pixels() + count > std::numeric_limits<uint32_t>::max()) {
                             endRun({"The image has more pixels than can be counted"});
                         }
                         census->count(pixels, count);
                     });
        const KeepReach& reach = form.order.reach;
        if (reach.given) {
            ColourGroups(*census, reach.distanceSquared, form.top).print(out, swatchesWanted());
        } else {
            census->print(out, form.top, swatchesWanted());
        }
    });
    return printedWhole(out, err) ? status : 1;
}

// A file that cannot be read gets the lines a run would stop with, but the last: the check
// goes on with the next file.
int checkFiles(const CommandForm& form, std::ostream& out, std::ostream& err) {
    bool allRead = true;
    for (const std::string& name : form.names) {
        CommandConsole console(nullptr, err, name);
        console.console().dropWarnings();
        const int status = guardedRun(
            console.console(),
            [&] {
                ImageJob job(console.console(), readingOrder(name));
                if (!form.quiet) {
                    out << shown(name) << ": ok, " << job.imageWidth() << " x " << job.imageHeight()
                        << " pixels, " << job.stripCount()
                        << (job.stripCount() == 1 ? " strip\n" : " strips\n");
                }
            },
            false);
        allRead = allRead && status == 0;
        out.flush();
    }
    return printedWhole(out, err) && allRead ? 0 : 1;
}
