#include "platform/Memory.h"

namespace platform {

namespace {
std::optional<uint64_t> assumedMemory;
}  // namespace

uint64_t physicalMemory() {
    return assumedMemory.value_or(installedMemory());
}

void assumePhysicalMemory(std::optional<uint64_t> bytes) {
    assumedMemory = bytes;
}

}  // namespace platform
