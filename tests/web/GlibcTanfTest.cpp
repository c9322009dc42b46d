// The single-precision tangent that the web page's engine uses in place of its C library's
// (source/web/GlibcTanf.cpp) gives the bits of the C library the plug-in runs on here, for every
// angle the engine takes at every whole sample rate up to its 192 kHz clamp, and for a sample of
// all the others below 120. (musl's, which WebAssembly has, differs for about one argument in 27.)
#include "web/GlibcTanf.h"

#include "dsp/CornerAngle.h"

#include "processor/ParameterSteps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace
{
std::uint32_t bitsOf (float x)
{
    std::uint32_t bits;
    std::memcpy (&bits, &x, sizeof (bits));
    return bits;
}
} // namespace

TEST (WebGlibcTanf, IsTheLibrarysTangentForEveryAngleOfTheEngine)
{
    float tones[101];

    for (int k = 0; k <= 100; ++k)
        tones[k] = ParameterSteps::settle (static_cast<float> (k) * 0.1f, 10.0f, 0.1f);

    for (int rate = 1; rate <= 192000; ++rate)
    {
        // As mydsp's instanceConstants and the network's block set-up form them.
        const float fs = std::min (192000.0f, std::max (1.0f, static_cast<float> (rate)));
        const float factor = 3.14159274f / fs;
        const float highpass = clampCornerAngle (282.743347f / fs);
        ASSERT_EQ (bitsOf (glibcTanf (highpass)), bitsOf (std::tan (highpass))) << rate;

        for (const auto tone : tones)
        {
            const float angle = clampCornerAngle ((tone * 710.0f + 900.0f) * factor);
            ASSERT_EQ (bitsOf (glibcTanf (angle)), bitsOf (std::tan (angle))) << rate << " Hz, tone " << tone;
        }
    }
}

TEST (WebGlibcTanf, IsTheLibrarysTangentBelow120)
{
    // Every 61st float from 0 to 120, both signs.
    const auto last = bitsOf (120.0f);

    for (std::uint32_t bits = 0; bits < last; bits += 61)
    {
        float x;
        std::memcpy (&x, &bits, sizeof (x));
        ASSERT_EQ (bitsOf (glibcTanf (x)), bitsOf (std::tan (x))) << x;
        ASSERT_EQ (bitsOf (glibcTanf (-x)), bitsOf (std::tan (-x))) << -x;
    }
}
