#include "tiff/DirectoryTags.h"

#include <array>
#include <utility>

namespace {

using Slot = std::optional<DirEntry> DirectoryTags::*;

constexpr std::array<std::pair<uint16_t, Slot>, 16> kSlots = {{
    {tag::NewSubfileType, &DirectoryTags::subfileType},
    {tag::ImageWidth, &DirectoryTags::imageWidth},
    {tag::ImageLength, &DirectoryTags::imageLength},
    {tag::BitsPerSample, &DirectoryTags::bitsPerSample},
    {tag::Compression, &DirectoryTags::compression},
    {tag::PhotometricInterpretation, &DirectoryTags::photometric},
    {tag::StripOffsets, &DirectoryTags::stripOffsets},
    {tag::SamplesPerPixel, &DirectoryTags::samplesPerPixel},
    {tag::RowsPerStrip, &DirectoryTags::rowsPerStrip},
    {tag::StripByteCounts, &DirectoryTags::stripByteCounts},
    {tag::PlanarConfiguration, &DirectoryTags::planarConfiguration},
    {tag::TileWidth, &DirectoryTags::tileWidth},
    {tag::TileLength, &DirectoryTags::tileLength},
    {tag::TileOffsets, &DirectoryTags::tileOffsets},
    {tag::TileByteCounts, &DirectoryTags::tileByteCounts},
    {tag::SampleFormat, &DirectoryTags::sampleFormat},
}};

}  // namespace

void DirectoryTags::take(const DirEntry& entry) {
    const uint16_t number = entry.tag();
    for (const auto& [slotTag, slot] : kSlots) {
        if (slotTag == number) {
            this->*slot = entry;
            return;
        }
    }
    if (tag::pointsToDirectories(number)) {
        pointers.push_back(entry);
    }
    subIfds = subIfds || number == tag::SubIfds;
    georeferenced = georeferenced || tag::georeferences(number);
}
