#include "app/CommandLine.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <utility>

#include "app/StandardOutput.h"
#include "dialogue/ColourAnswer.h"
#include "filters/PixelFilter.h"

namespace {

constexpr std::string_view kUsage = R"(usage: velstram
       velstram [--quiet] [--replace] [--report] --keep COLOUR[,COLOUR...] IN OUT
       velstram [--quiet] [--replace] [--report] --keep COLOUR[,COLOUR...]
                --fuzz DIST [--fit T] IN OUT
       velstram [--quiet] [--replace] [--report] --band LOW,HIGH IN OUT
       velstram [--quiet] [--replace] [--report] --contours IN OUT
       velstram [--quiet] [--replace] [--report] --red-cast IN OUT
       velstram --colours [--fuzz DIST] [--top N] IN
       velstram [--quiet] --check IN...
       velstram -h | --help | --version
)";

constexpr std::string_view kHelp = R"(
VELSTRAM prepares scanned or photographed map images for raster-to-vector conversion
of contour lines. It reads one uncompressed 24-bit RGB TIFF (little-endian, pixels in
strips), applies one of four colour filters to every pixel and writes a second TIFF with
the input's layout; a file of another kind is refused with a command that converts it.

Without arguments it asks its questions on the console: the option, the colours (six hex
digits RRGGBB each, # or 0x in front allowed, or the packed word 0x00RRGGBB; for option
1, 0 for the ones not needed) and the full paths of the input and the output file. A
mistyped answer is asked for again. It waits for a key after the banner, after the
settings and at the end. More in the manual page, velstram(1).

From a script, pipe the typed lines; the key waits then take nothing. The line after the
settings loses its first character, so send an empty line there:
  printf '4\n\n%s\n%s\n' in.tif out.tif | velstram
A mistyped colour ends a piped run with status 1 instead of being asked for again.

With arguments it runs one file without questions, banner or key waits:
  -k, --keep COLOUR[,COLOUR...]  option 1: keep up to ten colours; every other pixel
                                 turns white
  --fuzz DIST                    with --keep: keep each colour within DIST of a key,
                                 dr^2 + dg^2 + db^2 <= DIST^2 in 8-bit units; DIST from
                                 0 (the exact keep) to 442, or N% of the colour cube's
                                 diagonal (255 x sqrt 3); with --colours: group colours
  --fit T                        with --keep and --fuzz, for scans: keep each key's ink,
                                 the cloud fitted to the image's colours within DIST of
                                 the key, out to T (up to 10) standard deviations
  -b, --band LOW,HIGH            option 2: turn every pixel whose colour word 0x00RRGGBB
                                 lies between LOW and HIGH (both included) white
  --contours                     option 3: every coloured pixel a black 3 x 3 square,
                                 lone dots removed
  --red-cast                     option 4: damp the red cast of DOQQ orthophotos
  -q, --quiet                    print nothing on standard output; errors and warnings
                                 still go to standard error
  --replace                      let a filter replace an OUT that holds data, once the
                                 new output is complete; the old file stays whole until
                                 then, and one that changes meanwhile is not replaced
  --report                       print the dialogue's report of the file (directory,
                                 tags, strip checks) before the summary
  --colours [--top N] IN         the N commonest colours of IN (16 unless told), with
                                 the pixel count and share of each, then the number of
                                 distinct colours; with --fuzz DIST, N groups: from the
                                 commonest colour down, each colour in no group takes
                                 those in none within DIST; each with its colours and
                                 their mean, the key to give --keep on a scan
  --check IN...                  read each file as a run would, without writing: "ok"
                                 with its size and strips, or on standard error why
                                 it cannot be read
  -h, --help, --version          this text, the version
A COLOUR is exactly RRGGBB, #RRGGBB, 0xRRGGBB or the packed word 0x00RRGGBB, in hex
digits. Quote one that begins with #, as in '#c96a2d': the shell takes an unquoted # and
the rest of the line for a comment. A long option may be cut to any beginning that names
it alone (--con for --contours), its value may follow "=" (--keep=c96a2d), and "--"
ends the options. IN and OUT are files: "-" (standard input or output) is refused. OUT
must be a new or empty file other than IN; one that holds data is replaced only with
--replace. Nothing appears at OUT until the output is complete.

A filter prints one line on standard output, what it did:
  sheet.tif -> out.tif: red cast damped in 1,204,331 of 42,000,000 pixels (2.9 %)
Everything else goes to standard error as "velstram: IN: message", with the system's
reason for a failure: the lines that say why a run stopped, and warnings, which --quiet
does not silence: a key colour that matches no pixel, a band or red cast that changes
none, pages of the file that still show the old colours.

Examples:
  velstram --colours --top 10 sheet.tif
  velstram --keep c96a2d,c9ea9d,2d6ac9 sheet.tif contours.tif
  velstram --keep '#c96a2d' sheet.tif contours.tif
  velstram --colours --fuzz 10% --top 12 scan.tif
  velstram --keep aa6432 --fuzz 12% --fit 4 scan.tif contours.tif
  velstram --band 100000,c9ffff sheet.tif banded.tif
  velstram --contours corrected.tif clean.tif
  velstram --quiet --red-cast doqq.tif damped.tif
  velstram --check --quiet maps/*.tif

Exit status:
  0  the output was written, the census shown, every checked file can be read
  1  the run stopped: a menu that got no option, a mistyped colour from a script, a file
     that cannot be read, a failed write, too little memory, the end of console input or
     an interrupt; nothing is written
  2  arguments that are not understood, or an OUT that is IN; no file is touched
)";

constexpr size_t kMostKeptColours = PixelFilter::kKeys;
constexpr uint32_t kMostShown = uint32_t{1} << 24;

struct Option {
    std::string_view name;  // the long name, without "--"
    char letter;            // the short name, if any
    bool takesValue;
};

constexpr std::array<Option, 14> kOptions = {{
    {"keep", 'k', true},
    {"band", 'b', true},
    {"contours", 0, false},
    {"red-cast", 0, false},
    {"colours", 0, false},
    {"check", 0, false},
    {"top", 0, true},
    {"fuzz", 0, true},
    {"fit", 0, true},
    {"quiet", 'q', false},
    {"replace", 0, false},
    {"report", 0, false},
    {"help", 'h', false},
    {"version", 0, false},
}};

std::string quoted(std::string_view argument) {
    return "'" + shown(argument) + "'";
}

std::string flag(const Option& option) {
    return "--" + std::string(option.name);
}

// A colour list where a comma went missing reads as one long run of hex digits.
bool missingComma(std::string_view piece) {
    return piece.size() > 6 && piece.size() % 6 == 0 &&
           piece.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

std::vector<uint32_t> colourList(std::string_view option, std::string_view list) {
    std::vector<uint32_t> colours;
    for (size_t start = 0, end = 0; start <= list.size(); start = end + 1) {
        end = std::min(list.find(',', start), list.size());
        std::string_view piece = list.substr(start, end - start);
        ColourAnswer answer = ColourAnswer::exactly(piece);
        if (answer.kind != ColourAnswer::Kind::Colour) {
            misuse(quoted(piece) + " given to " + std::string(option) +
                   " is not a colour: give RRGGBB, #RRGGBB, 0xRRGGBB or 0x00RRGGBB" +
                   (missingComma(piece) ? ", with a comma between two colours" : ""));
        }
        colours.push_back(answer.word);
    }
    return colours;
}

// Plain decimal digits with at most one point (30, 12.5); anything else is none.
std::optional<double> decimal(std::string_view text) {
    if (text.find_first_not_of("0123456789.") != std::string_view::npos ||
        text.find_first_of("0123456789") == std::string_view::npos ||
        std::count(text.begin(), text.end(), '.') > 1) {
        return std::nullopt;
    }
    double number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return number;
}

// A distance in 8-bit units up to 442, just beyond the colour cube's diagonal (255 x sqrt 3
// = 441.7), or a share of that diagonal, N%. As dr² + dg² + db² is whole, the whole part of
// the distance's square decides the same colours as the square itself.
void setFuzz(KeepReach& reach, std::string_view value) {
    constexpr double kDiagonalSquared = 3.0 * 255 * 255;
    const bool share = value.ends_with('%');
    const std::optional<double> number = decimal(share ? value.substr(0, value.size() - 1) : value);
    if (!number || *number > (share ? 100.0 : 442.0)) {
        misuse(
            "--fuzz takes a distance from 0 to 442, or a share of the colour cube's "
            "diagonal from 0% to 100%, not " +
            quoted(value));
    }
    const double squared =
        share ? *number * *number / 10000.0 * kDiagonalSquared : *number * *number;
    reach.given = true;
    reach.distanceSquared = static_cast<uint32_t>(std::floor(squared + 1e-9));
    reach.distance = std::string(value);
}

void setFit(KeepReach& reach, std::string_view value) {
    const std::optional<double> number = decimal(value);
    if (!number || *number <= 0 || *number > 10) {
        misuse("--fit takes a number of standard deviations above 0 and up to 10, not " +
               quoted(value));
    }
    reach.fit = *number;
    reach.fitted = std::string(value);
}

// Unused places in the keep list get a word that no pixel has.
SettingsCopy keepSettings(std::string_view option, std::string_view list) {
    std::vector<uint32_t> colours = colourList(option, list);
    if (colours.size() > kMostKeptColours) {
        misuse(std::string(option) + " keeps at most ten colours, not " +
               std::to_string(colours.size()));
    }
    SettingsCopy settings;
    for (size_t n = 0; n < kMostKeptColours; ++n) {
        settings.keep[n] = n < colours.size() ? colours[n] : PixelFilter::kRemoved;
    }
    settings.option = 1;
    return settings;
}

SettingsCopy bandSettings(std::string_view option, std::string_view list) {
    std::vector<uint32_t> bounds = colourList(option, list);
    if (bounds.size() != 2) {
        misuse(std::string(option) + " takes two colours, LOW,HIGH");
    }
    if (bounds[0] > bounds[1]) {
        misuse(std::string(option) + " " + shown(list) +
               ": LOW lies above HIGH, so no colour would be removed");
    }
    SettingsCopy settings;
    settings.lowFilter = bounds[0];
    settings.highFilter = bounds[1];
    settings.option = 2;
    return settings;
}

SettingsCopy optionSettings(int32_t option) {
    SettingsCopy settings;
    settings.option = option;
    return settings;
}

// Reads the arguments as getopt_long does: options and names in any order; a long option by
// any beginning that names it alone; a value after "=" or as the next argument, or attached
// to a short option; short options that take no value grouped; "--" before names that
// begin with "-". --help and --version answer at once, as GNU tools do.
class ArgumentReader {
  public:
    explicit ArgumentReader(const std::vector<std::string_view>& arguments)
        : arguments_(arguments) {}

    ReadArguments read() {
        for (next_ = 0; next_ < arguments_.size() && read_.answer == ReadArguments::Answer::Run;) {
            std::string_view argument = arguments_[next_++];
            if (argument == "--") {
                takeNames();
            } else if (argument.starts_with("--")) {
                takeLong(argument.substr(2));
            } else if (argument.starts_with("-") && argument.size() > 1) {
                takeShortGroup(argument);
            } else {
                read_.form.names.emplace_back(argument);
            }
        }
        if (read_.answer == ReadArguments::Answer::Run) {
            checkNames();
        }
        return read_;
    }

  private:
    void takeNames() {
        while (next_ < arguments_.size()) {
            read_.form.names.emplace_back(arguments_[next_++]);
        }
    }

    static const Option& longOption(std::string_view name) {
        for (const Option& option : kOptions) {
            if (option.name == name) {
                return option;
            }
        }
        std::vector<const Option*> meant;
        for (const Option& option : kOptions) {
            if (!name.empty() && option.name.starts_with(name)) {
                meant.push_back(&option);
            }
        }
        if (meant.size() == 1) {
            return *meant.front();
        }
        std::string given = quoted("--" + std::string(name));
        if (meant.empty()) {
            misuse("unknown option " + given);
        }
        std::string choices;
        for (const Option* option : meant) {
            choices += (option == meant.front()  ? ""
                        : option == meant.back() ? " or "
                                                 : ", ") +
                       flag(*option);
        }
        misuse("option " + given + " is ambiguous: " + choices + "?");
    }

    void takeLong(std::string_view text) {
        size_t equals = text.find('=');
        const Option& option = longOption(text.substr(0, equals));
        std::optional<std::string_view> attached;
        if (equals != std::string_view::npos) {
            attached = text.substr(equals + 1);
        }
        if (attached && !option.takesValue) {
            misuse(quoted(flag(option)) + " takes no value");
        }
        take(option, option.takesValue ? valueFor(option, attached) : std::string_view());
    }

    // "-qk c9ea9d", "-kc9ea9d": a short option with a value takes the rest of the group.
    void takeShortGroup(std::string_view argument) {
        for (size_t at = 1; at < argument.size(); ++at) {
            const auto* option =
                std::find_if(kOptions.begin(), kOptions.end(),
                             [&](const Option& o) { return o.letter == argument[at]; });
            if (option == kOptions.end()) {
                misuse("unknown option " + quoted(std::string{'-', argument[at]}));
            }
            if (option->takesValue) {
                std::optional<std::string_view> rest;
                if (at + 1 < argument.size()) {
                    rest = argument.substr(at + 1);
                }
                take(*option, valueFor(*option, rest));
                return;
            }
            take(*option, {});
        }
    }

    std::string_view valueFor(const Option& option, std::optional<std::string_view> attached) {
        if (attached) {
            return *attached;
        }
        if (next_ == arguments_.size()) {
            const bool colours = option.name == "keep" || option.name == "band";
            misuse(quoted(flag(option)) + " needs a value" +
                   (colours ? "; quote a colour that begins with #, as in '#c96a2d', or "
                              "the shell drops it and the rest of the line"
                            : ""));
        }
        return arguments_[next_++];
    }

    void take(const Option& option, std::string_view value) {
        const std::string name = flag(option);
        CommandForm& form = read_.form;
        if (option.name == "keep") {
            chooseFilter(name, keepSettings(name, value));
        } else if (option.name == "band") {
            chooseFilter(name, bandSettings(name, value));
        } else if (option.name == "contours") {
            chooseFilter(name, optionSettings(3));
        } else if (option.name == "red-cast") {
            chooseFilter(name, optionSettings(4));
        } else if (option.name == "colours") {
            choose(CommandForm::Kind::Colours, name);
        } else if (option.name == "check") {
            choose(CommandForm::Kind::Check, name);
        } else if (option.name == "top") {
            form.top = count(value);
            topGiven_ = true;
        } else if (option.name == "fuzz") {
            setFuzz(form.order.reach, value);
        } else if (option.name == "fit") {
            setFit(form.order.reach, value);
        } else if (option.name == "quiet") {
            form.quiet = true;
        } else if (option.name == "replace") {
            form.order.replace = true;
        } else if (option.name == "report") {
            form.report = true;
        } else {
            read_.answer = option.name == "help" ? ReadArguments::Answer::Help
                                                 : ReadArguments::Answer::Version;
        }
    }

    void chooseFilter(const std::string& option, const SettingsCopy& settings) {
        choose(CommandForm::Kind::Filter, option);
        read_.form.order.settings = settings;
    }

    void choose(CommandForm::Kind kind, const std::string& option) {
        if (!chosenBy_.empty()) {
            misuse(quoted(chosenBy_) + " and " + quoted(option) + " do not go together");
        }
        chosenBy_ = option;
        read_.form.kind = kind;
    }

    static uint32_t count(std::string_view value) {
        uint32_t number = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (error != std::errc() || end != value.data() + value.size() || number == 0) {
            misuse("--top takes a count from 1 up, not " + quoted(value));
        }
        return std::min(number, kMostShown);
    }

    void checkOptions() const {
        const CommandForm& form = read_.form;
        if (chosenBy_.empty()) {
            misuse(form.names.empty() ? "nothing to do: give a filter, --colours or --check"
                                      : "nothing to do with " + quoted(form.names.front()) +
                                            ": give a filter, --colours or --check");
        }
        const bool filter = form.kind == CommandForm::Kind::Filter;
        if (topGiven_ && form.kind != CommandForm::Kind::Colours) {
            misuse("--top goes with --colours only");
        }
        checkReach();
        if ((form.order.replace || form.report) && !filter) {
            misuse(std::string(form.report ? "--report" : "--replace") +
                   " goes with a filter only");
        }
        if (form.quiet && form.kind == CommandForm::Kind::Colours) {
            misuse("--quiet goes with a filter or --check, not with --colours");
        }
        if (form.quiet && form.report) {
            misuse("--report and --quiet do not go together");
        }
    }

    // --fuzz widens the keep list or groups the census; --fit shapes the widened keep list.
    void checkReach() const {
        const CommandForm& form = read_.form;
        const KeepReach& reach = form.order.reach;
        const bool keep = form.kind == CommandForm::Kind::Filter && form.order.settings.option == 1;
        if (reach.given && !keep && form.kind != CommandForm::Kind::Colours) {
            misuse("--fuzz goes with --keep or --colours only");
        }
        if (reach.fit > 0 && !keep) {
            misuse("--fit goes with --keep and --fuzz only");
        }
        if (reach.fit > 0 && !reach.given) {
            misuse("--fit needs --fuzz, the distance around each key where its fit starts");
        }
    }

    void checkNames() {
        checkOptions();
        CommandForm& form = read_.form;
        const auto& names = form.names;
        size_t wanted = form.kind == CommandForm::Kind::Filter ? 2 : 1;
        if (names.size() < wanted) {
            misuse(quoted(chosenBy_) +
                   (wanted == 2 ? " needs the names IN and OUT" : " needs the name of a file"));
        }
        if (names.size() > wanted && form.kind != CommandForm::Kind::Check) {
            misuse("one name too many for " + quoted(chosenBy_) + ": " + quoted(names[wanted]));
        }
        for (const std::string& name : names) {
            if (name.empty()) {
                misuse("an empty file name");
            }
            if (name == "-") {
                misuse(
                    "'-' is no file name here: an image is neither read from standard "
                    "input nor put in place on standard output; name a file (./- for "
                    "one called -)");
            }
        }
        if (form.kind == CommandForm::Kind::Filter) {
            form.order.input = names[0];
            form.order.output = names[1];
        }
    }

    const std::vector<std::string_view>& arguments_;
    size_t next_{};
    ReadArguments read_;
    std::string chosenBy_;
    bool topGiven_ = false;
};

int runForm(const CommandForm& form, std::ostream& out, std::ostream& err) {
    switch (form.kind) {
        case CommandForm::Kind::Filter:
            return runFilter(form, out, err);
        case CommandForm::Kind::Colours:
            return showColours(form, out, err);
        case CommandForm::Kind::Check:
            return checkFiles(form, out, err);
    }
    return 2;
}

}  // namespace

ReadArguments readArguments(const std::vector<std::string_view>& arguments) {
    return ArgumentReader(arguments).read();
}

int answerArguments(const std::vector<std::string_view>& arguments, std::ostream& out,
                    std::ostream& err) {
    return guardedCommand(err, [&] {
        ReadArguments read = readArguments(arguments);
        switch (read.answer) {
            case ReadArguments::Answer::Help:
                out << kUsage << kHelp;
                return printedWhole(out, err) ? 0 : 1;
            case ReadArguments::Answer::Version:
                out << "velstram " << VELSTRAM_VERSION << '\n';
                return printedWhole(out, err) ? 0 : 1;
            case ReadArguments::Answer::Run:
                break;
        }
        return runForm(read.form, out, err);
    });
}
