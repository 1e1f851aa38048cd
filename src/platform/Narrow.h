#pragma once

#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <utility>

// A value made smaller where a check elsewhere (a cap on the image's size, a count checked
// against the file) has made it fit. Debug and sanitizer builds (VELSTRAM_CHECKED) stop the
// program where it does not fit, so a cap that moves or goes shows at its first test run;
// release builds rely on the check.
#if defined(VELSTRAM_CHECKED) || !defined(NDEBUG)
inline constexpr bool kNarrowingChecked = true;
#else
inline constexpr bool kNarrowingChecked = false;
#endif

template <class To, class From>
constexpr To narrow(From value) {
    static_assert(std::is_integral_v<To> && std::is_integral_v<From>);
    if constexpr (kNarrowingChecked) {
        if (!std::in_range<To>(value)) {
            static_cast<void>(
                std::fputs("narrow: a value does not fit its smaller type\n", stderr));
            std::abort();
        }
    }
    return static_cast<To>(value);
}
