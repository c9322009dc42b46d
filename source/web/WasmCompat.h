#pragma once

// Included before everything else in the WebAssembly build (scripts/build-web.sh).
//
// The Faust architecture header that mydsp.h includes switches the SSE control register for its
// ScopedNoDenormals; Emscripten's SSE headers, which translate SSE to WebAssembly SIMD, have no
// _mm_setcsr, since WebAssembly has no such register (and no flush-to-zero mode). Nothing here
// uses that class; the declaration only has to compile.
#if defined(__EMSCRIPTEN__) && defined(__SSE__)
#include <xmmintrin.h>

static inline void _mm_setcsr (unsigned int) {}
#endif
