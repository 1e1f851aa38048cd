#include <algorithm>
#include <vector>

#include "tiff/TifFile.h"
#include "tiff/TiffDirectory.h"

// A big-endian or BigTIFF file is refused, but its first directory is read far enough to
// know what else its conversion must change, so that one command makes a file this program
// reads. Nothing here stops the run: what cannot be read is left at the header's word.

namespace {

// BitsPerSample and SampleFormat are told by their first few values.
constexpr uint64_t kMostValues = 16;

// The first values of an entry of unsigned integers, as the kind takes them.
std::vector<uint32_t> foreignValues(TiffDirectory& directory, const TiffEntry& entry) {
    std::vector<uint32_t> values;
    for (uint64_t value : directory.integers(entry, kMostValues)) {
        values.push_back(static_cast<uint32_t>(value));
    }
    return values;
}

}  // namespace

ImageKind TifFile::foreignKind(bool bigEndian, bool bigTiff) {
    ImageKind kind;
    kind.bigEndian = bigEndian;
    kind.bigTiff = bigTiff;
    openInput();
    TiffDirectory directory(input, fileSize_, bigEndian, bigTiff);
    const std::vector<TiffEntry> entries = directory.readEntries();
    for (const TiffEntry& entry : entries) {
        kind.take(entry.tag, foreignValues(directory, entry));
    }
    if (std::none_of(entries.begin(), entries.end(),
                     [](const TiffEntry& entry) { return entry.tag == tag::SamplesPerPixel; })) {
        kind.withoutSamplesTag();
    }
    input.close();
    return kind;
}
