#include "tiff/FileParts.h"

#include "tiff/DirectoryTags.h"

namespace {

std::string directoryOf(uint32_t page, uint16_t under) {
    switch (under) {
        case tag::SubIfds:
            return "a SubIFD directory of page " + std::to_string(page);
        case tag::ExifIfd:
            return "the Exif directory";
        case tag::GpsIfd:
            return "the GPS directory";
        case tag::InteroperabilityIfd:
            return "the Interoperability directory";
        default:
            break;
    }
    return page == 1 ? "the first directory" : "the directory of page " + std::to_string(page);
}

}  // namespace

std::string FilePart::bytes() const {
    return "(bytes " + std::to_string(begin) + " to " + std::to_string(end - 1) + ")";
}

std::string FilePart::name() const {
    switch (kind) {
        case Kind::Header:
            return "the header " + bytes();
        case Kind::Directory:
            return directoryOf(page, under) + " " + bytes();
        case Kind::Values:
            return "the values of tag " + std::to_string(number) + " in " +
                   directoryOf(page, under) + " " + bytes();
        case Kind::PageData:
            return under == tag::SubIfds
                       ? "the image data of a SubIFD page of page " + std::to_string(page) + " " +
                             bytes()
                       : "the image data of page " + std::to_string(page) + " " + bytes();
        case Kind::Strip:
            return "strip " + std::to_string(number) + " " + bytes();
        case Kind::Block:
            break;
    }
    return "a block of page " + std::to_string(page) + " " + bytes();
}

std::optional<std::pair<FilePart, FilePart>> firstOverlap(
    const std::vector<FilePart>& kept, size_t rewrittenCount,
    const std::function<FilePart(size_t)>& rewritten) {
    std::optional<FilePart> furthestKept;
    std::optional<FilePart> furthestRewritten;
    size_t k = 0;
    size_t r = 0;
    while (k < kept.size() || r < rewrittenCount) {
        const bool keptFirst =
            r == rewrittenCount || (k < kept.size() && kept[k].begin < rewritten(r).begin);
        const FilePart part = keptFirst ? kept[k++] : rewritten(r++);
        if (part.end <= part.begin) {
            continue;
        }
        if (furthestRewritten && furthestRewritten->end > part.begin) {
            return std::pair{*furthestRewritten, part};
        }
        if (part.rewritten() && furthestKept && furthestKept->end > part.begin) {
            return std::pair{part, *furthestKept};
        }
        std::optional<FilePart>& furthest = part.rewritten() ? furthestRewritten : furthestKept;
        if (!furthest || part.end > furthest->end) {
            furthest = part;
        }
    }
    return std::nullopt;
}
