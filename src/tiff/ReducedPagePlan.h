#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "tiff/DirectoryTags.h"
#include "tiff/FileParts.h"
#include "tiff/ReducedPages.h"
#include "tiff/TiffDirectory.h"

// What the output makes of the file's further pages, from one walk over every directory: the
// reduced-resolution pages rebuilt from the filtered image, in file order of their blocks; the
// sizes of every reduced-resolution page, for the levels that rebuild them; and the parts of
// the file that stay where they stand (the header, every directory and its values, the image
// data of every page copied unchanged).
class ReducedPagePlan {
  public:
    // Walks every directory from the first; false where the file names more of them than the
    // walk reads.
    bool read(TiffDirectory& directory, uint64_t firstDirectory, uint64_t fileSize);
    // The pages whose blocks all lie at or after stripsEnd are rebuilt, and the others copied
    // unchanged; none where the image has no rows.
    void keepAfter(uint64_t stripsEnd, bool hasRows);
    // No page is rebuilt: a block of one lies over another part of the file.
    void copyAllUnchanged();
    // Each rebuilt page's pixels in the full image.
    void sampleFrom(PageSize full);

    // Sorted by position.
    const std::vector<FilePart>& kept();
    const std::vector<ReducedPage>& pages() const { return pages_; }
    const std::vector<ReducedBlock>& blocks() const { return blocks_; }
    // The sizes of the reduced-resolution pages of the chain and of those under the first
    // image's SubIFDs.
    std::vector<PageSize> levelSizes() const;
    // Whether any reduced-resolution page is copied unchanged, and whether any other kind of
    // page follows the first.
    bool stale() const { return stale_; }
    bool others() const { return others_; }

  private:
    void take(TiffDirectory& directory, const WalkedDirectory& walked);
    void noteSubIfdPage(uint32_t page, const DirectoryTags& tags);
    void takePage(TiffDirectory& directory, uint32_t page, const DirectoryTags& tags);
    std::optional<ReducedPage> rebuildablePage(TiffDirectory& directory, uint32_t number,
                                               const DirectoryTags& tags) const;
    void noteValues(const DirEntry& entry, uint32_t page, uint16_t under);
    void notePageData(TiffDirectory& directory, uint32_t page, const DirectoryTags& tags,
                      uint16_t under);
    void copyUnchanged(const ReducedPage& page);

    uint64_t fileSize_{};
    std::vector<FilePart> kept_;
    std::vector<ReducedPage> pages_;
    std::vector<ReducedBlock> blocks_;
    std::vector<PageSize> reducedSizes_;
    std::vector<PageSize> subIfdSizes_;
    bool stale_ = false;
    bool others_ = false;
};
