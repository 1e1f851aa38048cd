#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

// The memory an image may take. PhysicalMemory.cpp holds the figure the check uses; the
// system's part is in MemoryPosix.cpp and MemoryWindows.cpp.
namespace platform {

// Installed physical memory in bytes (0 when it cannot be told).
uint64_t installedMemory();
// The figure an image's raster is checked against: the installed memory, unless another
// figure is assumed in its place until std::nullopt is, so that the check can be tried at
// its limit on any machine.
uint64_t physicalMemory();
void assumePhysicalMemory(std::optional<uint64_t> bytes);

// A hint that a large block about to be written in full should get the system's large pages:
// one page fault per 2 MiB instead of per 4 KiB is most of the cost of a first write.
void preferLargePages(void* start, size_t bytes);

}  // namespace platform
