#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A range of the input's bytes and what it holds. The output is the input with the strips of
// the first image and the blocks of the rebuilt pages written anew; everything else (the
// header, every directory, every value array, the data of the pages copied unchanged) is
// taken over where it stands, so no part that is rewritten may share a byte with another.
struct FilePart {
    enum class Kind : uint8_t { Header, Directory, Values, PageData, Strip, Block };

    uint64_t begin{};
    uint64_t end{};
    Kind kind = Kind::Header;
    // The image the part belongs to, counted from 1 in the file's chain of directories.
    uint32_t page = 1;
    // The tag of Values, the strip of Strip.
    uint32_t number{};
    // For a directory of its own and what it holds, the tag that points to it (SubIFDs, Exif,
    // GPS, Interoperability); 0 for the directories of the file's chain.
    uint16_t under{};

    bool rewritten() const { return kind == Kind::Strip || kind == Kind::Block; }
    // What the part is, with its bytes, as a message names it.
    std::string name() const;
    std::string bytes() const;
};

// The first two parts that share a byte where at least one is rewritten: the rewritten one
// first, or of two rewritten ones the earlier in the file. kept is sorted by position, and
// so are the parts rewritten(0) to rewritten(rewrittenCount - 1); one pass goes over both in
// order of position, holding the part that reaches furthest of those kept and of those
// rewritten.
std::optional<std::pair<FilePart, FilePart>> firstOverlap(
    const std::vector<FilePart>& kept, size_t rewrittenCount,
    const std::function<FilePart(size_t)>& rewritten);
