// The engine's tangent against MPFR's correctly rounded one, for every angle the engine forms:
// the high-pass angle and the damping angle at each of the 101 Tone positions, at every whole
// sample rate up to the 192 kHz clamp. The x87 long double tangent (64 bits, off by a few units
// in its last place) settles all but the angles whose tangent lies near a point halfway between
// two floats; MPFR settles those, and a sample of the others.
#include "dsp/CornerAngle.h"
#include "dsp/CornerTangent.h"

#include "processor/ParameterSteps.h"

#include <gtest/gtest.h>
#include <mpfr.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <string>
#include <limits>

namespace
{
float correctlyRoundedTangent (float angle)
{
    mpfr_t value;
    mpfr_init2 (value, std::numeric_limits<float>::digits);
    mpfr_set_flt (value, angle, MPFR_RNDN);
    mpfr_tan (value, value, MPFR_RNDN);
    const float tangent = mpfr_get_flt (value, MPFR_RNDN);
    mpfr_clear (value);
    return tangent;
}

/** Whether `tangent` is the float nearest tan (angle) for certain by the long double tangent:
    it lies inside the interval that rounds to `tangent`, well away from both ends.
*/
bool nearestByLongDouble (float angle, float tangent)
{
    const auto wide = std::tan (static_cast<long double> (angle));
    const long double below = std::nextafter (tangent, 0.0f), above = std::nextafter (tangent, 2.0f * tangent);
    const long double margin = std::fabs (wide) * 0x1p-56L;
    const auto low = std::min ((below + tangent) / 2, (above + tangent) / 2);
    const auto high = std::max ((below + tangent) / 2, (above + tangent) / 2);
    return wide > low + margin && wide < high - margin;
}

struct Tally
{
    long angles = 0, askedMpfr = 0;
};

void expectCorrectlyRounded (float angle, Tally& tally)
{
    const float tangent = cornerTangent (angle);
    // Every 1000th angle goes to MPFR as well, which checks the long double's verdicts.
    if (++tally.angles % 1000 != 0 && nearestByLongDouble (angle, tangent))
        return;

    ++tally.askedMpfr;
    ASSERT_EQ (tangent, correctlyRoundedTangent (angle)) << std::hexfloat << "angle " << angle;
}
} // namespace

TEST (CornerTangent, IsCorrectlyRoundedForEveryAngleTheEngineForms)
{
    if (std::numeric_limits<long double>::digits < 64)
        GTEST_SKIP() << "needs the 64-bit long double of x86";

    float tones[101];

    for (int k = 0; k <= 100; ++k)
        tones[k] = ParameterSteps::settle (static_cast<float> (k) * 0.1f, 10.0f, 0.1f);

    Tally tally;
    expectCorrectlyRounded (clampCornerAngle (std::numeric_limits<float>::max()), tally);

    for (int rate = 1; rate <= 192000; ++rate)
    {
        // As mydsp's instanceConstants and the network's block set-up form them.
        const float fs = std::min (192000.0f, std::max (1.0f, static_cast<float> (rate)));
        const float factor = 3.14159274f / fs;
        ASSERT_NO_FATAL_FAILURE (expectCorrectlyRounded (clampCornerAngle (282.743347f / fs), tally)) << rate << " Hz";

        for (const auto tone : tones)
        {
            const float angle = (tone * 710.0f + 900.0f) * factor;

            if (clampCornerAngle (angle) == angle) // the clamped angle is checked once above
            {
                ASSERT_NO_FATAL_FAILURE (expectCorrectlyRounded (angle, tally)) << rate << " Hz, tone " << tone;
            }
        }
    }

    RecordProperty ("angles", std::to_string (tally.angles));
    RecordProperty ("askedMpfr", std::to_string (tally.askedMpfr));
    std::cout << tally.angles << " angles, " << tally.askedMpfr << " of them checked against MPFR\n";
}

TEST (CornerTangent, KeepsTheSignAndZero)
{
    for (const float angle : { 0.001f, 0.5f, 1.0f, 1.4137167f })
        EXPECT_EQ (cornerTangent (-angle), -cornerTangent (angle));

    EXPECT_EQ (cornerTangent (0.0f), 0.0f);
    EXPECT_TRUE (std::signbit (cornerTangent (-0.0f)));
}
