#include "platform/Memory.h"

#include <sys/mman.h>
#include <unistd.h>

namespace platform {

uint64_t installedMemory() {
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

void preferLargePages([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef MADV_HUGEPAGE
    // madvise takes whole pages; the partial pages at either end keep small ones.
    auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    size_t lead = (page - reinterpret_cast<uintptr_t>(start) % page) % page;
    if (bytes >= lead + page) {
        madvise(static_cast<char*>(start) + lead, (bytes - lead) / page * page, MADV_HUGEPAGE);
    }
#endif
}

}  // namespace platform
