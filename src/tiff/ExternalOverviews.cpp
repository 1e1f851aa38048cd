#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tiff/TifFile.h"

// GDAL keeps the overviews of a file it may not change (gdaladdo -ro, a read-only file) in a
// file of their own beside it, IN.tif.ovr or IN.ovr, which a viewer takes for the image's.
// The output gets no such file: the user is told, with the levels that rebuild them.

namespace {

constexpr uint32_t kMostDirectories = 64;
constexpr uint64_t kMostEntries = 4096;
constexpr uint64_t kTransparencyMask = 4;

// The page sizes of an overview file, little- or big-endian, classic or BigTIFF: the width
// and length of the image of each directory but transparency masks. Nothing in it is
// trusted: every position is checked against the file's size before it is read, the walk
// stops at a directory it has seen, and what cannot be read ends the list.
class OverviewFile {
  public:
    explicit OverviewFile(InputFile& file) : file_(file) {}

    std::vector<PageSize> pageSizes() {
        file_.rewind();
        std::vector<PageSize> sizes;
        const uint8_t order = file_.readByte();
        bigEndian_ = order == 'M';
        if (file_.size() < 16 || order != file_.readByte() || (order != 'I' && order != 'M')) {
            return sizes;
        }
        const uint64_t version = number(2);
        if (version == 43) {
            wordSize_ = 8;
            static_cast<void>(number(4));
        } else if (version != 42) {
            return sizes;
        }
        std::vector<uint64_t> seen;
        uint64_t at = number(wordSize_);
        while (at != 0 && seen.size() < kMostDirectories &&
               std::find(seen.begin(), seen.end(), at) == seen.end()) {
            seen.push_back(at);
            at = readDirectory(at, sizes);
        }
        return sizes;
    }

  private:
    // Reads the directory at at, adds its page, and gives the position of the next one (0
    // for none, or where the file ends first).
    uint64_t readDirectory(uint64_t at, std::vector<PageSize>& sizes) {
        const uint64_t countSize = wordSize_ == 8 ? 8 : 2;
        const uint64_t entrySize = wordSize_ == 8 ? 20 : 12;
        if (at > file_.size() || file_.size() - at < countSize) {
            return 0;
        }
        file_.seek(at);
        const uint64_t count = number(static_cast<unsigned>(countSize));
        const uint64_t room = file_.size() - at - countSize;
        if (room / entrySize < count) {
            return 0;
        }
        uint64_t subfileType = 0;
        uint64_t width = 0;
        uint64_t length = 0;
        for (uint64_t e = 0; e < std::min(count, kMostEntries); ++e) {
            const auto tag = static_cast<uint16_t>(number(2));
            const auto type = static_cast<uint16_t>(number(2));
            const bool single = number(wordSize_) == 1;
            const uint64_t field = value(type);
            subfileType = single && tag == tag::NewSubfileType ? field : subfileType;
            width = single && tag == tag::ImageWidth ? field : width;
            length = single && tag == tag::ImageLength ? field : length;
        }
        if ((subfileType & kTransparencyMask) == 0 && width > 0 && width <= UINT32_MAX &&
            length > 0 && length <= UINT32_MAX) {
            sizes.push_back({static_cast<uint32_t>(width), static_cast<uint32_t>(length)});
        }
        if (room - count * entrySize < wordSize_) {
            return 0;
        }
        file_.seek(at + countSize + count * entrySize);
        return number(wordSize_);
    }

    // The single SHORT, LONG or LONG8 in an entry's value field, which the field's first
    // bytes hold; 0 for another type.
    uint64_t value(uint16_t type) {
        const unsigned size = type == 3 ? 2 : type == 4 ? 4 : type == 16 ? 8 : 0;
        const uint64_t found = size <= wordSize_ ? number(size) : 0;
        for (unsigned i = size <= wordSize_ ? size : 0; i < wordSize_; ++i) {
            static_cast<void>(file_.readByte());
        }
        return found;
    }

    uint64_t number(unsigned size) {
        uint64_t result = 0;
        for (unsigned i = 0; i < size; ++i) {
            const uint64_t byte = file_.readByte();
            result = bigEndian_ ? result << 8 | byte : result | byte << (8 * i);
        }
        return result;
    }

    InputFile& file_;
    bool bigEndian_ = false;
    unsigned wordSize_ = 4;
};

}  // namespace

// A run that writes nothing (a check) has no output to tell of.
void TifFile::reportExternalOverviews() {
    if (output.name.empty()) {
        return;
    }
    const size_t folder = input.name.find_last_of("/\\");
    const size_t dot = input.name.rfind('.');
    const bool extension =
        dot != std::string::npos && (folder == std::string::npos || dot > folder);
    for (const std::string& name :
         {input.name + ".ovr", extension ? input.name.substr(0, dot) + ".ovr" : std::string()}) {
        InputFile overviews;
        overviews.name = name;
        if (name.empty() || name == input.name || overviews.hold()) {
            continue;
        }
        const std::vector<PageSize> sizes = OverviewFile(overviews).pageSizes();
        console_.warningLine("The input's overviews lie in " + name +
                             ", which is not copied: the output has none; build them with:");
        console_.warningLine("  gdaladdo -r nearest " + platform::shellWord(output.name) +
                             overviewLevels(sizes));
        return;
    }
}
