#include "tiff/DirEntry.h"

#include "tiff/TiffDirectory.h"

// Strip arrays are SHORTs or LONGs; a value of another type is not read as one.
uint32_t DirEntry::elementSize() const {
    return type() == kShort || type() == kLong ? fieldTypeSize(type()) : 0;
}
