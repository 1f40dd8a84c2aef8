#pragma once

// Builds a function twice where that pays, for AVX2 and for any x86-64, and lets the loader
// pick one; loops over floats then run twice as wide without the build asking for AVX2.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define QUILLMERE_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define QUILLMERE_VECTOR_CLONES
#endif
