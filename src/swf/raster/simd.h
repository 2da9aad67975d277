// The one place that decides which vector instruction sets the raster code
// may use. Every raster file tests these macros instead of the compiler's
// own, so a target change (or a switch forced off to test the scalar paths)
// is made here once.
//   ORRIVEL_SSE2  four pixels at a time; every x86-64 compiler targets it.
//   ORRIVEL_AVX2  eight-pixel loops everywhere; only when the compiler
//                 targets AVX2 (-mavx2 or /arch:AVX2).
//   ORRIVEL_AVX2_DISPATCH  eight-pixel row loops compiled for AVX2 alone
//                 (a function attribute) and chosen at run time when the
//                 processor has it, so the program still runs without.
// Define ORRIVEL_NO_SIMD to build the scalar loops only.
#pragma once

#if !defined(ORRIVEL_NO_SIMD) && (defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64))
#include <emmintrin.h>
#define ORRIVEL_SSE2 1
#endif

#if defined(ORRIVEL_SSE2) && defined(__AVX2__)
#include <immintrin.h>
#define ORRIVEL_AVX2 1
#endif

#if defined(ORRIVEL_SSE2) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ORRIVEL_AVX2_DISPATCH 1
#else
#define ORRIVEL_AVX2_DISPATCH 0
#endif
