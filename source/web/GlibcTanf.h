#pragma once

/** The single-precision tangent exactly as the GNU C library computes it (glibc 2.36, the
    library the Linux plug-in and renderer run on), written out so that the web page's
    WebAssembly engine, whose own C library (musl) rounds differently for about one argument in
    27, computes the same damping and high-pass coefficients as the plug-in. Plain IEEE
    arithmetic only, so every compiler and processor that keeps to single and double precision
    without fused multiply-adds gives the same bits.
*/
float glibcTanf (float x);
