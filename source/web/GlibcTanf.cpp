#include "web/GlibcTanf.h"

#include <cmath>
#include <cstdint>
#include <cstring>

// The kernel below is the float version of Sun's tangent kernel as glibc 2.36 carries it
// (sysdeps/ieee754/flt-32/k_tanf.c), under this notice:
//
// ====================================================
// Copyright (C) 1993 by Sun Microsystems, Inc. All rights reserved.
//
// Developed at SunPro, a Sun Microsystems, Inc. business.
// Permission to use, copy, modify, and distribute this
// software is freely granted, provided that this notice
// is preserved.
// ====================================================

namespace
{
std::int32_t bitsOf (float x)
{
    std::int32_t bits;
    std::memcpy (&bits, &x, sizeof (bits));
    return bits;
}

float fromBits (std::int32_t bits)
{
    float x;
    std::memcpy (&x, &bits, sizeof (x));
    return x;
}

constexpr float one = 1.0000000000e+00f;
constexpr float pio4 = 7.8539812565e-01f;
constexpr float pio4lo = 3.7748947079e-08f;
constexpr float T[] = {
    3.3333334327e-01f, 1.3333334029e-01f, 5.3968254477e-02f, 2.1869488060e-02f, 8.8632395491e-03f,
    3.5920790397e-03f, 1.4562094584e-03f, 5.8804126456e-04f, 2.4646313977e-04f, 7.8179444245e-05f,
    7.1407252108e-05f, -1.8558637748e-05f, 2.5907305826e-05f,
};

/** tan (x + y) for |x + y| <= pi/4 (iy = 1), or -1 / tan (x + y) (iy = -1). */
float kernelTanf (float x, float y, int iy)
{
    float z, r, v, w, s;
    const std::int32_t hx = bitsOf (x);
    const std::int32_t ix = hx & 0x7fffffff;

    if (ix < 0x39000000) // |x| < 2^-13
    {
        if (static_cast<int> (x) == 0)
        {
            if ((ix | (iy + 1)) == 0)
                return one / std::fabs (x);

            if (iy == 1)
                return x;

            return -one / x;
        }
    }

    if (ix >= 0x3f2ca140) // |x| >= 0.6744
    {
        if (hx < 0)
        {
            x = -x;
            y = -y;
        }

        z = pio4 - x;
        w = pio4lo - y;
        x = z + w;
        y = 0.0f;

        if (std::fabs (x) < 0x1p-13f)
            return static_cast<float> ((1 - ((hx >> 30) & 2)) * iy) * (1.0f - 2.0f * static_cast<float> (iy) * x);
    }

    z = x * x;
    w = z * z;
    r = T[1] + w * (T[3] + w * (T[5] + w * (T[7] + w * (T[9] + w * T[11]))));
    v = z * (T[2] + w * (T[4] + w * (T[6] + w * (T[8] + w * (T[10] + w * T[12])))));
    s = z * x;
    r = y + z * (s * (r + v) + y);
    r += T[0] * s;
    w = x + r;

    if (ix >= 0x3f2ca140)
    {
        v = static_cast<float> (iy);
        return static_cast<float> (1 - ((hx >> 30) & 2)) * (v - 2.0f * (x - (w * w / (w + v) - r)));
    }

    if (iy == 1)
        return w;

    // -1 / (x + r), computed accurately.
    z = fromBits (bitsOf (w) & static_cast<std::int32_t> (0xfffff000));
    v = r - (z - x);
    const float a = -1.0f / w;
    const float t = fromBits (bitsOf (a) & static_cast<std::int32_t> (0xfffff000));
    s = 1.0f + t * z;
    return t + a * (s + t * v);
}

/** x less the nearest multiple n of pi/2, in double precision (accurate for |x| <= 120, which
    covers every angle the engine takes), split into a float and the float of what remains. */
int reduceByHalfPi (float x, float* y)
{
    // 2/pi scaled by 2^24, and pi/2, in double precision: the quadrant ends up in bits 24 to 31
    // of the product, rounded by adding half a quadrant before the shift.
    constexpr double scaledTwoOverPi = 0x1.45F306DC9C883p+23;
    constexpr double halfPi = 0x1.921FB54442D18p0;

    const double dx = x;
    const double scaled = dx * scaledTwoOverPi;
    const int n = (static_cast<std::int32_t> (scaled) + 0x800000) >> 24;
    const double reduced = dx - static_cast<double> (n) * halfPi;

    y[0] = static_cast<float> (reduced);
    y[1] = static_cast<float> (reduced - static_cast<double> (y[0]));
    return n;
}
} // namespace

float glibcTanf (float x)
{
    const std::int32_t ix = bitsOf (x) & 0x7fffffff;

    if (ix <= 0x3f490fda) // |x| <= pi/4
        return kernelTanf (x, 0.0f, 1);

    if (ix >= 0x7f800000) // infinity or NaN
        return x - x;

    // glibc takes arguments of 120 and more through a multi-word reduction; the engine's angles
    // stay below 0.45 pi and never get there. Those few are left to the double-precision tangent.
    const auto top12 = [] (float value) { return (static_cast<std::uint32_t> (bitsOf (value)) >> 20) & 0x7ffu; };

    if (top12 (x) >= top12 (120.0f))
        return static_cast<float> (std::tan (static_cast<double> (x)));

    float y[2];
    const int n = reduceByHalfPi (x, y);
    return kernelTanf (y[0], y[1], 1 - ((n & 1) << 1));
}

#if defined(__EMSCRIPTEN__)
// In the WebAssembly build this takes the place of the C library's tanf, which std::tan (float)
// calls in the engine (mydsp.cpp, NetworkKernel.inc): an object file's definition comes before
// the library archive's.
extern "C" float tanf (float x)
{
    return glibcTanf (x);
}
#endif
