#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/InkFit.h"
#include "app/PixelRaster.h"
#include "dialogue/Console.h"
#include "filters/PixelFilter.h"
#include "platform/Narrow.h"
#include "tiff/TifFile.h"

// One run: one input, one option, one output. Construction performs every stage in a fixed
// order; destruction releases the image and, after the dialogue, holds the console open for
// a last key press. A fatal check ends construction early, so the closing lines are skipped.
class ImageJob {
  public:
    explicit ImageJob(Console& console);
    // The same stages on an order settled beforehand, with no key wait; an order without an
    // output stops once the image is read, which is then at hand for its reader.
    ImageJob(Console& console, const JobOrder& order);
    // A reading order's stages for a reader that needs each pixel once: the pixels go to
    // visit a block at a time, in row order, and the whole image is never held.
    using PixelVisitor = std::function<void(const uint32_t* pixels, size_t count)>;
    ImageJob(Console& console, const JobOrder& order, const PixelVisitor& visit);
    ~ImageJob();
    ImageJob(const ImageJob&) = delete;
    ImageJob& operator=(const ImageJob&) = delete;

    uint32_t* const* rowsRead() const { return rows.rows(); }
    uint32_t imageWidth() const { return file.ImageWidth; }
    uint32_t imageHeight() const { return file.ImageLength; }
    uint32_t stripCount() const { return file.NumberStripOffsets; }

    // What the option's filter counted: for option 1 the pixels kept by each key, for the
    // others the pixels it changed (option 3: made black) in changed. With --fit, each key's
    // fitted cloud too.
    struct FilterCounts {
        std::array<uint64_t, PixelFilter::kKeys> kept{};
        uint64_t changed{};
        std::array<InkFit, PixelFilter::kKeys> fits{};
    };
    const FilterCounts& counts() const { return counts_; }

  private:
    void readImage();
    void readLayout(bool held);
    void readKind();
    void warn(const std::vector<std::string>& lines);
    void checkImageSize(uint32_t count, uint32_t width, bool held);
    void allocateRaster(uint32_t count, uint32_t width);
    void streamStrips(const PixelVisitor& visit);
    void releaseRows();
    void readAllStrips();
    void dispatchOption();
    void runKeepList();
    void runKeepNear(const std::array<uint32_t, PixelFilter::kKeys>& given);
    std::vector<InkCloud> fittedClouds(const std::vector<uint32_t>& keys,
                                       const std::array<uint32_t, PixelFilter::kKeys>& given);
    void runBandFilter();
    void runContourCleanUp();
    void runRedCast();
    void writeOutput();
    void writeAllStrips();

    int32_t width() const { return narrow<int32_t>(file.ImageWidth); }
    int32_t height() const { return narrow<int32_t>(file.ImageLength); }

    Console& console_;
    PixelRaster rows;
    int32_t stripIndex{};
    TifFile file;
    PixelFilter filter;
    bool closesWithKeyWait_ = true;
    KeepReach reach_;
    FilterCounts counts_;
};
