#include "app/CommandLine.h"

#include <string>

namespace {

constexpr std::string_view kUsageLine = "usage: velstram [--help | --version]";

constexpr std::string_view kHelp = R"(

VELSTRAM prepares scanned or photographed map images for raster-to-vector conversion
of contour lines. It reads one uncompressed 24-bit RGB TIFF (little-endian, pixels in
strips), applies one of four colour filters to every pixel and writes a second TIFF with
the input's layout; a file of another kind is refused with a command that converts it:
  1  keep up to ten listed colours; every other pixel turns white
  2  turn every pixel whose colour word 0x00RRGGBB lies between two bounds white
  3  clean up contours: every coloured pixel a black 3 x 3 square, lone dots removed
  4  damp the red cast of DOQQ orthophotos

It takes no file names as arguments. It asks its questions on the console: the option,
the colours (six hex digits RRGGBB each, # or 0x in front allowed; for option 1, 0 for
the ones not needed) and the full paths of the input and the output file. A mistyped
answer is asked for again. It waits for a key after the banner, after the settings and
at the end. White space and quotes around a typed or pasted name are dropped. The output
must be a new or empty file; a file that already holds data is not written. More in the
manual page, velstram(1).

From a script, pipe the typed lines; the key waits then take nothing. The line after the
settings loses its first character, so send an empty line there:
  printf '4\n\n%s\n%s\n' in.tif out.tif | velstram
  printf '2\n100000\nc9ffff\n\n%s\n%s\n' in.tif out.tif | velstram
A mistyped colour ends a piped run with status 1 instead of being asked for again.

Exit status:
  0  the output was written
  1  the run stopped: a menu that got no option, a mistyped colour from a script, a
     file that cannot be read, a failed write, the end of console input or an
     interrupt; the output file is left empty
  2  an argument that is not understood

Options:
  --help     print this text
  --version  print the version
)";

// The argument as it can be shown on one line: control characters, a line end among them,
// are written as \xNN.
std::string shown(std::string_view argument) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (char c : argument) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            text += {'\\', 'x', kDigits[byte >> 4], kDigits[byte & 0xF]};
        } else {
            text.push_back(c);
        }
    }
    return text;
}

}  // namespace

int answerArguments(const std::vector<std::string_view>& arguments, std::ostream& out,
                    std::ostream& err) {
    if (arguments.size() == 1 && arguments[0] == "--help") {
        out << kUsageLine << kHelp << std::flush;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        out << "velstram " << VELSTRAM_VERSION << '\n' << std::flush;
        return 0;
    }
    std::string_view first = arguments.at(0);
    std::string_view unknown =
        (first == "--help" || first == "--version") && arguments.size() > 1 ? arguments[1] : first;
    err << "velstram: unknown argument '" << shown(unknown)
        << "' (the file names are asked for on the console); " << kUsageLine << '\n'
        << std::flush;
    return 2;
}
