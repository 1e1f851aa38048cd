#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "tiff/DirEntry.h"

class InputFile;

// What a file's first four bytes say of it: a TIFF when its two order bytes agree ("II" or
// "MM") and its version is 42 (classic) or 43 (BigTIFF), and then its byte order and kind.
struct TiffHeader {
    bool tiff = false;
    bool bigEndian = false;
    bool bigTiff = false;

    static TiffHeader of(uint8_t order, uint8_t sameOrder, uint8_t first, uint8_t second);
    // The one kind this program filters.
    bool classicLittleEndian() const { return tiff && !bigEndian && !bigTiff; }
};

// One entry of a directory as the file holds it: 8-byte counts and fields in a BigTIFF.
struct TiffEntry {
    uint16_t tag{};
    uint16_t type{};
    uint64_t count{};
    std::array<uint8_t, 8> field{};
};

// A directory met on the walk of a file.
struct WalkedDirectory {
    uint64_t at{};
    // The page of the file's chain it belongs to, from 1, and the tag that points to it
    // (SubIFDs, Exif, GPS, Interoperability); 0 for the directories of the chain itself.
    uint32_t page{};
    uint16_t under{};
    std::vector<TiffEntry> entries;
    // Whether every entry it counts lies inside the file; the walk goes no further from a
    // directory that is cut short.
    bool whole{};
    // Its bytes: the count, the entries and the position of the next one.
    uint64_t size{};
};

// The directories of a TIFF of either byte order, classic or BigTIFF: the one reader of the
// file's structure. Every position and count comes from the file and is checked against its
// size before anything is read or allocated; what cannot be read is left out, and nothing
// here stops the run.
class TiffDirectory {
  public:
    TiffDirectory(InputFile& input, uint64_t fileSize, bool bigEndian, bool bigTiff);

    // Where the header says the first directory lies.
    uint64_t firstDirectory();
    // At most 65535 entries of the first directory, as far as the file holds them.
    std::vector<TiffEntry> readEntries();
    // The directory at at: at most 65535 of its entries, as far as the file holds them; how
    // many it says it holds (0 where the file ends first); and where the next directory of its
    // chain lies (0 for none, or where the directory runs past the file's end).
    struct Read {
        std::vector<TiffEntry> entries;
        uint64_t count{};
        uint64_t next{};
    };
    Read read(uint64_t at);
    // Visits each directory of the file once: the chain from first in its order, then, with
    // sideDirectories, those its entries point to (SubIFDs, Exif, GPS, Interoperability),
    // those they point to in turn, and their chains. Directories that share bytes can make a
    // small file name more of them than can be read in time: the walk reads and parses at
    // most a few times the file's size, takes no more directories and entries than fit in the
    // file without sharing bytes, and is false where it ends there, with some left unread.
    using Visitor = std::function<void(const WalkedDirectory&)>;
    bool walk(uint64_t first, bool sideDirectories, const Visitor& visitor);
    // Elements [first, first + count) of an entry's values as unsigned numbers of their size,
    // or none where the type has no size or they do not all lie inside the file.
    std::vector<uint64_t> elements(const TiffEntry& entry, uint64_t first, uint64_t count);
    // At most the first most values of an entry of unsigned integers wider than a byte (SHORT,
    // LONG, LONG8 and the directory positions IFD and IFD8); none for another type.
    std::vector<uint64_t> integers(const TiffEntry& entry, uint64_t most);
    // The values of a SHORT or LONG entry of a little-endian classic TIFF; false for another
    // type or values outside the file.
    bool values(const DirEntry& entry, std::vector<uint32_t>& found);
    // The first values of a numeric entry as numbers; none for a type that holds no number.
    std::vector<double> numbers(const TiffEntry& entry, uint64_t most);
    // The text of an ASCII entry, up to its first NUL and at most most characters.
    std::string text(const TiffEntry& entry, uint64_t most);

    // An entry of a little-endian classic TIFF as the 12 bytes the file holds.
    static DirEntry classicEntry(const TiffEntry& entry);

    // A number of size bytes in the file's byte order.
    uint64_t decode(const uint8_t* bytes, unsigned size) const;

  private:
    struct Pending {
        uint64_t at{};
        uint32_t page{};
        uint16_t under{};
    };
    uint64_t number(unsigned size);
    template <class Element>
    bool readElements(const TiffEntry& entry, uint64_t first, uint64_t count,
                      std::vector<Element>& found);
    bool visit(const Pending& directory, uint64_t& next, const Visitor& visitor);
    void queue(const Pending& directory);
    void queuePointed(const WalkedDirectory& directory);
    bool affordable(uint64_t directories);

    InputFile& input_;
    uint64_t fileSize_;
    bool bigEndian_;
    unsigned wordSize_;
    unsigned countSize_;
    uint64_t entrySize_;
    // What the walk has read and parsed, against the most it reads; the entries parsed, and
    // whether it has had to end with directories left unread.
    uint64_t mostCost_;
    uint64_t readBefore_;
    uint64_t parsed_{};
    uint64_t entryBytes_{};
    bool exhausted_ = false;
    // The directories read, and every one met so far, read or waiting.
    std::unordered_set<uint64_t> visited_;
    std::unordered_set<uint64_t> queued_;
    std::vector<Pending> pending_;
};

// Bytes per element of a TIFF field type; 0 for a type that TIFF does not define.
unsigned fieldTypeSize(uint16_t type);
// A sample of size bytes as a number: SampleFormat 2 is a signed integer, 3 a float (of 4 or 8
// bytes), anything else an unsigned integer.
double sampleNumber(uint64_t raw, unsigned size, uint32_t format);
