#pragma once

// The pixel loops vectorise, and gain from vector instructions beyond x86-64's baseline
// (SSE2): a byte shuffle moves several three-byte pixels at once (SSSE3), and eight words
// are compared at once (AVX2). On x86-64 Linux a function marked VELSTRAM_VECTOR_VERSIONS is
// compiled for each, and the loader picks the newest the processor can run; elsewhere the
// mark does nothing and the loops vectorise for the target as it is. Clang 14 leaves member
// functions so marked undefined at link time, so only GCC gets the mark.
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__) && !defined(__clang__)
#define VELSTRAM_VECTOR_VERSIONS __attribute__((target_clones("default", "ssse3", "avx2")))
#else
#define VELSTRAM_VECTOR_VERSIONS
#endif
