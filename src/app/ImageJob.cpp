#include "app/ImageJob.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "advice/Cure.h"
#include "advice/Warnings.h"
#include "app/ColourCensus.h"
#include "platform/Platform.h"
#include "platform/RunEnded.h"

namespace {

// At most this many progress marks are printed, one per strip read.
constexpr int32_t kMostMarks = 70;
// Room for rows that a short last strip leaves unfilled, beyond what the file's bytes fill.
constexpr uint64_t kUnfilledAllowance = uint64_t{16} << 20;
// The pixels a streamed reading holds at a time (4 MiB).
constexpr size_t kStreamBlock = size_t{1} << 20;

}  // namespace

ImageJob::ImageJob(Console& console) : console_(console), file(console) {
    readImage();
    dispatchOption();
    writeOutput();
}

ImageJob::ImageJob(Console& console, const JobOrder& order)
    : console_(console), file(console, order), closesWithKeyWait_(false), reach_(order.reach) {
    readImage();
    if (order.writes()) {
        dispatchOption();
        writeOutput();
    }
}

ImageJob::ImageJob(Console& console, const JobOrder& order, const PixelVisitor& visit)
    : console_(console), file(console, order), closesWithKeyWait_(false) {
    readLayout(false);
    streamStrips(visit);
}

ImageJob::~ImageJob() {
    releaseRows();
    if (!closesWithKeyWait_) {
        return;
    }
    console_.line("Press any key to continue");
    console_.endLine();
    console_.waitKey();
    console_.line("Done");
}

void ImageJob::readImage() {
    readLayout(true);
    readAllStrips();
}

// Everything but the strips; a raster is allocated only when the image is to be held.
void ImageJob::readLayout(bool held) {
    readKind();
    if (held) {
        allocateRaster(file.ImageLength, file.ImageWidth);
    } else {
        checkImageSize(file.ImageLength, file.ImageWidth, false);
    }
    file.readStripOffsets();
    file.readStripByteCounts();
    warn(overviewWarnings(file.overviewsToRebuild(), file.output.name));
}

// The header and the directory, where a file of another kind than this program reads is
// refused: the refusal names the kind, and its last lines give the cure.
void ImageJob::readKind() {
    try {
        file.readHeader();
        file.readDirectory();
        file.readTags();
    } catch (RunEnded& stop) {
        if (const std::optional<ImageKind>& kind = file.refusedKind()) {
            const std::vector<std::string> cure = cureLines(*kind, file.input.name);
            stop.lines.insert(stop.lines.end(), cure.begin(), cure.end());
        }
        throw;
    }
}

void ImageJob::warn(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        console_.warningLine(line);
    }
}

// Every size here comes from the file, so it is checked in 64 bits against what the
// machine has (when the image is to be held) and against what the file's bytes could fill,
// before anything is allocated.
void ImageJob::checkImageSize(uint32_t count, uint32_t width, bool held) {
    std::string size = std::to_string(width) + " x " + std::to_string(count) + " pixels";
    if (width == 0) {
        endRun({"ImageWidth is 0, so the image has no pixels"});
    }
    constexpr uint32_t kLargest = std::numeric_limits<int32_t>::max() - 1;
    uint64_t pixels = (uint64_t{count} + 1) * width;
    uint64_t bytes = pixels * sizeof(uint32_t) + (uint64_t{count} + 1) * sizeof(uint32_t*);
    uint64_t memory = platform::physicalMemory();
    if (width > kLargest || count > kLargest || (held && memory > 0 && bytes > memory)) {
        endRun({"The image of " + size + " needs more memory than this machine has"});
    }
    // The spare row is no image row, yet it is only as wide as one, and a row cannot be
    // wider than the file's bytes fill: an ImageLength of 0 must not let any width through.
    uint64_t filledByFile = file.inputSize() / 3;
    uint64_t fillable = filledByFile + std::min<uint64_t>(width, filledByFile);
    if (pixels * sizeof(uint32_t) > fillable * sizeof(uint32_t) + kUnfilledAllowance) {
        endRun({"The image of " + size + " is far larger than the file's " +
                std::to_string(file.inputSize()) + " bytes can fill"});
    }
}

void ImageJob::allocateRaster(uint32_t count, uint32_t width) {
    checkImageSize(count, width, true);
    const std::string size = std::to_string(width) + " x " + std::to_string(count) + " pixels";
    try {
        rows.allocate(count, width);
    } catch (const std::bad_alloc&) {
        endRun({"Not enough memory for the image of " + size});
    }
}

void ImageJob::releaseRows() {
    rows.release();
}

void ImageJob::readAllStrips() {
    console_.endLine();
    console_.line("Reading strip data.  O(n^2) file i/o operation. This will take a moment.");
    console_.endLine();
    auto lastStrip = narrow<int32_t>(file.NumberStripOffsets - 1);
    file.openStrips();
    for (stripIndex = 0; stripIndex < lastStrip; ++stripIndex) {
        file.readStrip(stripIndex, rows.rows());
        if (stripIndex < kMostMarks) {
            console_.print("x");
            console_.flush();
        }
    }
    file.readLastStrip(stripIndex, rows.rows());
    // The marks' line ends before the input is checked, so that a file that ended early is
    // said on a line of its own.
    console_.endLine();
    file.closeStrips();
    rows.whitenFrom(file.coveredRows());
    console_.endLine();
}

// The strips, a block of pixels at a time; the rows that no strip fills are white, as in a
// held raster. They are checked in the order of their indices, as a run says them, and read
// in the order of their offsets, so that strips stored in any order cost one pass.
void ImageJob::streamStrips(const PixelVisitor& visit) {
    std::vector<uint32_t> block(kStreamBlock);
    const auto lastStrip = narrow<int32_t>(file.NumberStripOffsets - 1);
    std::vector<uint32_t> rowCounts(file.NumberStripOffsets);
    for (int32_t strip = 0; strip <= lastStrip; ++strip) {
        rowCounts[static_cast<uint32_t>(strip)] = file.checkStrip(strip, strip == lastStrip);
    }
    file.openStrips();
    for (int32_t strip : file.stripsInFileOrder()) {
        file.openStripPixels(strip);
        uint64_t left = uint64_t{rowCounts[static_cast<uint32_t>(strip)]} * file.ImageWidth;
        for (size_t count = 0; left > 0; left -= count) {
            count = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
            file.readPixels(block.data(), count);
            visit(block.data(), count);
        }
    }
    file.closeStrips();
    std::fill(block.begin(), block.end(), PixelRaster::kWhite);
    uint64_t left = uint64_t{file.ImageLength - file.coveredRows()} * file.ImageWidth;
    for (size_t count = 0; left > 0; left -= count) {
        count = static_cast<size_t>(std::min<uint64_t>(left, block.size()));
        visit(block.data(), count);
    }
}

void ImageJob::dispatchOption() {
    switch (file.settingsCopy.option) {
        case 1:
            runKeepList();
            break;
        case 2:
            runBandFilter();
            break;
        case 3:
            runContourCleanUp();
            break;
        case 4:
            runRedCast();
            break;
        default:
            // Only a menu that gave up leaves another value; copying the input unfiltered
            // would pass for a filtered map.
            endRun({"In default--Error"});
    }
}

void ImageJob::runKeepList() {
    const SettingsCopy& settings = file.settingsCopy;
    if (reach_.given) {
        runKeepNear(settings.keep);
        return;
    }
    const auto& k = settings.keep;
    counts_.kept = filter.keepColours(rows.rows(), k[0], k[1], k[2], k[3], k[4], k[5], k[6], k[7],
                                      k[8], k[9], PixelFilter::kRemoved, width(), height());
}

// Each colour is decided once, in a table: within the distance of a key, or inside the cloud
// fitted around one. A key given twice, or unused places (the removal word), count as in
// the exact keep.
void ImageJob::runKeepNear(const std::array<uint32_t, PixelFilter::kKeys>& given) {
    std::vector<uint32_t> keys;
    for (uint32_t key : given) {
        if (key != PixelFilter::kRemoved &&
            std::find(keys.begin(), keys.end(), key) == keys.end()) {
            keys.push_back(key);
        }
    }
    std::vector<InkCloud> clouds;
    if (reach_.fit > 0) {
        clouds = fittedClouds(keys, given);
    } else {
        for (uint32_t key : keys) {
            clouds.push_back(InkCloud::sphere(key, reach_.distanceSquared));
        }
    }
    const std::vector<uint64_t> counted =
        filter.keepNear(rows.rows(), clouds, PixelFilter::kRemoved, width(), height());
    for (size_t n = 0; n < PixelFilter::kKeys; ++n) {
        const auto at = std::find(keys.begin(), keys.end(), given[n]);
        counts_.kept[n] = at == keys.end() ? 0 : counted[static_cast<size_t>(at - keys.begin())];
    }
}

// The fits start from the colours within the distance of each key and never leave them, so
// only those colours are counted, in a census as small as they are few. Each key gets its
// fitted cloud, or the sphere that stands in for one.
std::vector<InkCloud> ImageJob::fittedClouds(
    const std::vector<uint32_t>& keys, const std::array<uint32_t, PixelFilter::kKeys>& given) {
    ColourTable near;
    for (uint32_t key : keys) {
        InkCloud::sphere(key, reach_.distanceSquared).runs([&near](uint32_t from, uint32_t to) {
            near.addRun(from, to);
        });
    }
    std::vector<ColourCensus::Share> colours;
    try {
        ColourCensus census(near);
        for (int32_t r = 0; r < height(); ++r) {
            census.count(rows.rows()[r], file.ImageWidth);
        }
        colours = census.present();
    } catch (const std::bad_alloc&) {
        endRun({"Not enough memory for the count of the colours near the keys"});
    }
    std::vector<InkCloud> clouds;
    for (uint32_t key : keys) {
        const InkFit fit = fitInk(key, reach_, colours);
        clouds.push_back(fit.cloud);
        for (size_t n = 0; n < PixelFilter::kKeys; ++n) {
            if (given[n] == key) {
                counts_.fits[n] = fit;
            }
        }
    }
    return clouds;
}

void ImageJob::runBandFilter() {
    const SettingsCopy& settings = file.settingsCopy;
    const uint32_t low = settings.lowFilter;
    const uint32_t high = settings.highFilter;
    console_.print("low_filter is: ");
    console_.print(low);
    console_.endLine();
    console_.print("low_filter is:  ");
    console_.print(low);
    console_.endLine();
    console_.print("high_filter is:  ");
    console_.print(high);
    console_.endLine();
    counts_.changed =
        filter.removeBand(rows.rows(), low, high, PixelFilter::kRemoved, width(), height());
}

// The clean-up keeps a few rows of its own besides the raster.
void ImageJob::runContourCleanUp() {
    try {
        counts_.changed = filter.cleanUpContours(rows.rows(), width(), height());
    } catch (const std::bad_alloc&) {
        endRun({"Not enough memory to clean up the contours"});
    }
}

void ImageJob::runRedCast() {
    counts_.changed = filter.dampRedCast(rows.rows(), width(), height());
}

// The output takes its name only at the end of the tail; a run that stops before leaves the
// name as it found it.
void ImageJob::writeOutput() {
    file.copyPrefix();
    writeAllStrips();
    file.copyTail(rows.rows());
    warn(noDataWarning(file.noDataValue(), file.settingsCopy.option, file.output.name));
}

void ImageJob::writeAllStrips() {
    auto lastStrip = narrow<int32_t>(file.NumberStripOffsets - 1);
    file.openStripOutput();
    for (int32_t strip : file.stripsInFileOrder()) {
        stripIndex = strip;
        if (stripIndex < lastStrip) {
            file.writeStrip(stripIndex, rows.rows());
        } else {
            file.writeLastStrip(stripIndex, rows.rows());
        }
    }
    file.closeStripOutput();
}
