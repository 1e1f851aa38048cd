#include "platform/Memory.h"

#include <windows.h>

namespace platform {

uint64_t installedMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (GlobalMemoryStatusEx(&status) == 0) {
        return 0;
    }
    return status.ullTotalPhys;
}

// Large pages need a privilege that ordinary users lack, so the hint is not acted on.
void preferLargePages(void*, size_t) {}

}  // namespace platform
