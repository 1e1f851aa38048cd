#include "tiff/DirEntry.h"

uint32_t DirEntry::elementSize() const {
    switch (type()) {
        case kShort:
            return 2;
        case kLong:
            return 4;
        default:
            return 0;
    }
}

bool DirEntry::valuesInline() const {
    return uint64_t{count()} * elementSize() <= 4;
}

uint32_t DirEntry::inlineElement(uint32_t i) const {
    return type() == kShort ? read16(8 + 2 * size_t{i}) : read32(8);
}
