#include "app/CommandLine.h"

#include <charconv>
#include <optional>
#include <string>

#include "app/CommandForms.h"
#include "dialogue/ColourAnswer.h"
#include "filters/PixelFilter.h"

namespace {

constexpr std::string_view kUsage = R"(usage: velstram
       velstram [--quiet] [--replace] --keep RRGGBB[,RRGGBB...] IN OUT
       velstram [--quiet] [--replace] --band LOW,HIGH IN OUT
       velstram [--quiet] [--replace] --contours IN OUT
       velstram [--quiet] [--replace] --red-cast IN OUT
       velstram --colours [--top N] IN
       velstram [--quiet] --check IN...
       velstram --help | --version
)";

constexpr std::string_view kHelp = R"(
VELSTRAM prepares scanned or photographed map images for raster-to-vector conversion
of contour lines. It reads one uncompressed 24-bit RGB TIFF (little-endian, pixels in
strips), applies one of four colour filters to every pixel and writes a second TIFF with
the input's layout; a file of another kind is refused with a command that converts it.

Without arguments it asks its questions on the console: the option, the colours (six hex
digits RRGGBB each, # or 0x in front allowed; for option 1, 0 for the ones not needed) and
the full paths of the input and the output file. A mistyped answer is asked for again. It
waits for a key after the banner, after the settings and at the end. More in the manual
page, velstram(1).

From a script, pipe the typed lines; the key waits then take nothing. The line after the
settings loses its first character, so send an empty line there:
  printf '4\n\n%s\n%s\n' in.tif out.tif | velstram
A mistyped colour ends a piped run with status 1 instead of being asked for again.

With arguments it runs without questions, banner or key waits:
  -k, --keep RRGGBB[,RRGGBB...]  option 1: keep up to ten colours; every other pixel
                                 turns white
  -b, --band LOW,HIGH            option 2: turn every pixel whose colour word 0x00RRGGBB
                                 lies between LOW and HIGH (both included) white
  --contours                     option 3: every coloured pixel a black 3 x 3 square,
                                 lone dots removed
  --red-cast                     option 4: damp the red cast of DOQQ orthophotos
  -q, --quiet                    print nothing but errors
  --replace                      let a filter replace an OUT that holds data, once the
                                 new output is complete; the old file stays whole until
                                 then, and one that changes meanwhile is not replaced
  --colours [--top N] IN         the N commonest colours of IN (16 unless told), with
                                 the pixel count and share of each, then the number of
                                 distinct colours
  --check IN...                  read each file as a run would, without writing: "ok"
                                 with its size and strips, or why it cannot be read
  --help, --version              this text, the version
A colour is six hex digits RRGGBB, as c9ea9d or #c9ea9d. The output must be a new or
empty file other than the input; a file that already holds data is not written unless
--replace is given. The
report goes to standard output, errors to standard error behind the input's name.

Examples:
  velstram --colours --top 10 sheet.tif
  velstram --keep c96a2d,c9ea9d,2d6ac9 sheet.tif contours.tif
  velstram --band 100000,c9ffff sheet.tif banded.tif
  velstram --contours corrected.tif clean.tif
  velstram --quiet --red-cast doqq.tif damped.tif
  velstram --check --quiet maps/*.tif

Exit status:
  0  the output was written, the census shown, every checked file can be read
  1  the run stopped: a menu that got no option, a mistyped colour from a script, a file
     that cannot be read, a failed write, the end of console input or an interrupt;
     nothing is written
  2  arguments that are not understood
)";

constexpr size_t kMostKeptColours = 10;
constexpr uint32_t kMostShown = uint32_t{1} << 24;

// Thrown with the problem's description; the whole command is then refused.
struct Misuse {
    std::string problem;
};

std::string quoted(std::string_view argument) {
    return "'" + shown(argument) + "'";
}

std::vector<uint32_t> colourList(std::string_view option, std::string_view list) {
    std::vector<uint32_t> colours;
    for (size_t start = 0, end = 0; start <= list.size(); start = end + 1) {
        end = std::min(list.find(',', start), list.size());
        std::string_view piece = list.substr(start, end - start);
        ColourAnswer answer = ColourAnswer::of(piece);
        if (answer.kind != ColourAnswer::Kind::Colour) {
            throw Misuse{quoted(piece) + " given to " + std::string(option) +
                         " is not a colour of six hex digits RRGGBB"};
        }
        colours.push_back(answer.word);
    }
    return colours;
}

// Unused places in the keep list get a word that no pixel has.
SettingsCopy keepSettings(std::string_view option, std::string_view list) {
    std::vector<uint32_t> colours = colourList(option, list);
    if (colours.size() > kMostKeptColours) {
        throw Misuse{std::string(option) + " keeps at most ten colours, not " +
                     std::to_string(colours.size())};
    }
    SettingsCopy settings;
    for (size_t n = 0; n < kMostKeptColours; ++n) {
        settings.words[n] =
            static_cast<int32_t>(n < colours.size() ? colours[n] : PixelFilter::kRemoved);
    }
    settings.words[SettingsCopy::kOption] = 1;
    return settings;
}

SettingsCopy bandSettings(std::string_view option, std::string_view list) {
    std::vector<uint32_t> bounds = colourList(option, list);
    if (bounds.size() != 2) {
        throw Misuse{std::string(option) + " takes two colours, LOW,HIGH"};
    }
    if (bounds[0] > bounds[1]) {
        throw Misuse{std::string(option) + " " + shown(list) +
                     ": LOW lies above HIGH, so no colour would be removed"};
    }
    SettingsCopy settings;
    settings.words[SettingsCopy::kLowFilter] = static_cast<int32_t>(bounds[0]);
    settings.words[SettingsCopy::kHighFilter] = static_cast<int32_t>(bounds[1]);
    settings.words[SettingsCopy::kOption] = 2;
    return settings;
}

SettingsCopy optionSettings(int32_t option) {
    SettingsCopy settings;
    settings.words[SettingsCopy::kOption] = option;
    return settings;
}

// Reads the arguments in the manner of getopt_long: options and names in any order, a value
// after "=" or as the next argument (or attached to a short option), short options that take
// no value grouped, and "--" before names that begin with "-".
class ArgumentReader {
  public:
    explicit ArgumentReader(const std::vector<std::string_view>& arguments)
        : arguments_(arguments) {}

    CommandForm read() {
        for (next_ = 0; next_ < arguments_.size();) {
            std::string_view argument = arguments_[next_++];
            if (argument == "--") {
                takeNames();
            } else if (argument.starts_with("--")) {
                takeLong(argument);
            } else if (argument.starts_with("-") && argument.size() > 1) {
                takeShortGroup(argument);
            } else {
                form_.names.emplace_back(argument);
            }
        }
        checkNames();
        return form_;
    }

  private:
    void takeNames() {
        while (next_ < arguments_.size()) {
            form_.names.emplace_back(arguments_[next_++]);
        }
    }

    void takeLong(std::string_view argument) {
        size_t equals = argument.find('=');
        std::string_view option = argument.substr(0, equals);
        std::optional<std::string_view> attached;
        if (equals != std::string_view::npos) {
            attached = argument.substr(equals + 1);
        }
        if (option == "--keep" || option == "--band" || option == "--top") {
            take(option, valueFor(option, attached));
            return;
        }
        if (attached) {
            throw Misuse{quoted(option) + " takes no value"};
        }
        take(option, {});
    }

    // "-qk c9ea9d", "-kc9ea9d": a short option with a value takes the rest of the group.
    void takeShortGroup(std::string_view argument) {
        for (size_t at = 1; at < argument.size(); ++at) {
            std::string option = {'-', argument[at]};
            if (option == "-k" || option == "-b") {
                std::optional<std::string_view> rest;
                if (at + 1 < argument.size()) {
                    rest = argument.substr(at + 1);
                }
                take(option == "-k" ? "--keep" : "--band", valueFor(option, rest));
                return;
            }
            if (option != "-q") {
                throw Misuse{"unknown option " + quoted(option)};
            }
            form_.quiet = true;
        }
    }

    std::string_view valueFor(std::string_view option, std::optional<std::string_view> attached) {
        if (attached) {
            return *attached;
        }
        if (next_ == arguments_.size()) {
            throw Misuse{quoted(option) + " needs a value"};
        }
        return arguments_[next_++];
    }

    void take(std::string_view option, std::string_view value) {
        if (option == "--keep") {
            chooseFilter(option, keepSettings(option, value));
        } else if (option == "--band") {
            chooseFilter(option, bandSettings(option, value));
        } else if (option == "--contours") {
            chooseFilter(option, optionSettings(3));
        } else if (option == "--red-cast") {
            chooseFilter(option, optionSettings(4));
        } else if (option == "--colours") {
            choose(CommandForm::Kind::Colours, option);
        } else if (option == "--check") {
            choose(CommandForm::Kind::Check, option);
        } else if (option == "--top") {
            form_.top = count(value);
            topGiven_ = true;
        } else if (option == "--quiet") {
            form_.quiet = true;
        } else if (option == "--replace") {
            form_.order.replace = true;
        } else if (option == "--help" || option == "--version") {
            throw Misuse{quoted(option) + " goes alone"};
        } else {
            throw Misuse{"unknown option " + quoted(option)};
        }
    }

    void chooseFilter(std::string_view option, const SettingsCopy& settings) {
        choose(CommandForm::Kind::Filter, option);
        form_.order.settings = settings;
    }

    void choose(CommandForm::Kind kind, std::string_view option) {
        if (!chosenBy_.empty()) {
            throw Misuse{quoted(chosenBy_) + " and " + quoted(option) + " do not go together"};
        }
        chosenBy_ = std::string(option);
        form_.kind = kind;
    }

    static uint32_t count(std::string_view value) {
        uint32_t number = 0;
        auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (error != std::errc() || end != value.data() + value.size() || number == 0) {
            throw Misuse{"--top takes a count from 1 up, not " + quoted(value)};
        }
        return std::min(number, kMostShown);
    }

    void checkNames() {
        const auto& names = form_.names;
        if (chosenBy_.empty()) {
            throw Misuse{names.empty() ? "nothing to do: give a filter, --colours or --check"
                                       : "nothing to do with " + quoted(names.front()) +
                                             ": give a filter, --colours or --check"};
        }
        if (topGiven_ && form_.kind != CommandForm::Kind::Colours) {
            throw Misuse{"--top goes with --colours only"};
        }
        if (form_.order.replace && form_.kind != CommandForm::Kind::Filter) {
            throw Misuse{"--replace goes with a filter only"};
        }
        if (form_.quiet && form_.kind == CommandForm::Kind::Colours) {
            throw Misuse{"--quiet goes with a filter or --check, not with --colours"};
        }
        size_t wanted = form_.kind == CommandForm::Kind::Filter ? 2 : 1;
        if (names.size() < wanted) {
            throw Misuse{quoted(chosenBy_) + (wanted == 2 ? " needs the names IN and OUT"
                                                          : " needs the name of a file")};
        }
        if (names.size() > wanted && form_.kind != CommandForm::Kind::Check) {
            throw Misuse{"one name too many for " + quoted(chosenBy_) + ": " +
                         quoted(names[wanted])};
        }
        for (const std::string& name : names) {
            if (name.empty()) {
                throw Misuse{"an empty file name"};
            }
        }
        if (form_.kind == CommandForm::Kind::Filter) {
            form_.order.input = names[0];
            form_.order.output = names[1];
        }
    }

    const std::vector<std::string_view>& arguments_;
    size_t next_ = 0;
    CommandForm form_;
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
            return checkFiles(form, out);
    }
    return 2;
}

}  // namespace

int answerArguments(const std::vector<std::string_view>& arguments, std::ostream& out,
                    std::ostream& err) {
    if (arguments.size() == 1 && arguments[0] == "--help") {
        out << kUsage << kHelp << std::flush;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "velstram " << VELSTRAM_VERSION << '\n' << std::flush;
        return 0;
    }
    CommandForm form;
    try {
        form = ArgumentReader(arguments).read();
    } catch (const Misuse& misuse) {
        err << "velstram: " + misuse.problem + "; see velstram --help\n" << std::flush;
        return 2;
    }
    return runForm(form, out, err);
}
