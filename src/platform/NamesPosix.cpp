#include "platform/Names.h"

#include <cstdlib>

namespace platform {

std::string homeFolder() {
    const char* home = std::getenv("HOME");  // NOLINT(concurrency-mt-unsafe): one thread
    return home != nullptr ? home : "";
}

}  // namespace platform
