#include "dsp/CornerTangent.h"

#include <cstdint>
#include <cstring>

// The tangent is worked out to about 90 bits, as an unevaluated sum of two doubles, so that
// rounding it to a float's 24 bits lands on the nearest float unless the exact value lies
// within 2^-90 of a point halfway between two floats (the tests check every angle the
// engine forms). It is taken once per tone change and once per sample-rate change, so its
// some hundred operations cost nothing per sample.
namespace
{
struct DoubleDouble
{
    double hi, lo;
};

constexpr DoubleDouble twoSum (double a, double b)
{
    const double sum = a + b;
    const double bPart = sum - a;
    return { sum, (a - (sum - bPart)) + (b - bPart) };
}

// Only where |a| >= |b|.
constexpr DoubleDouble quickTwoSum (double a, double b)
{
    const double sum = a + b;
    return { sum, b - (sum - a) };
}

// a = high + low with each half of 26 bits, so that their products are exact.
constexpr DoubleDouble split (double a)
{
    const double scaled = 134217729.0 * a; // 2^27 + 1
    const double high = scaled - (scaled - a);
    return { high, a - high };
}

constexpr DoubleDouble twoProduct (double a, double b)
{
    const double product = a * b;
    const auto x = split (a), y = split (b);
    return { product, ((x.hi * y.hi - product) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo };
}

constexpr DoubleDouble operator+ (DoubleDouble a, DoubleDouble b)
{
    auto sum = twoSum (a.hi, b.hi);
    sum.lo += a.lo + b.lo;
    return quickTwoSum (sum.hi, sum.lo);
}

constexpr DoubleDouble operator- (DoubleDouble a) { return { -a.hi, -a.lo }; }

constexpr DoubleDouble operator* (DoubleDouble a, DoubleDouble b)
{
    auto product = twoProduct (a.hi, b.hi);
    product.lo += a.hi * b.lo + a.lo * b.hi;
    return quickTwoSum (product.hi, product.lo);
}

// Three rounds of long division, each taking away what the quotient so far leaves over.
constexpr DoubleDouble operator/ (DoubleDouble a, DoubleDouble b)
{
    const double q1 = a.hi / b.hi;
    auto rest = a + -(b * DoubleDouble { q1, 0.0 });
    const double q2 = rest.hi / b.hi;
    rest = rest + -(b * DoubleDouble { q2, 0.0 });
    const double q3 = rest.hi / b.hi;
    return quickTwoSum (q1, q2) + DoubleDouble { q3, 0.0 };
}

constexpr int lastFactor = 25;

/** 1 / (k (k + 1)) for k from 1 to lastFactor - 1, the ratios of successive Taylor terms of
    sin and cos, worked out by the compiler.
*/
struct TermRatios
{
    DoubleDouble ratio[lastFactor] {};

    constexpr TermRatios()
    {
        for (int k = 1; k < lastFactor; ++k)
            ratio[k] = DoubleDouble { 1.0, 0.0 } / DoubleDouble { double (k) * double (k + 1), 0.0 };
    }
};

constexpr TermRatios termRatios;

/** The Taylor series of sin and cos at y (0 <= y <= pi/4), in Horner form from the terms in
    y^23 and y^24 down; the next terms lie below 2^-90 of the sums. The terms past y^11 and
    y^12 add less than 2^-27 of the sums, so plain doubles carry them well enough.
*/
void sineAndCosine (DoubleDouble y, DoubleDouble& sine, DoubleDouble& cosine)
{
    constexpr int lastSmallTerm = 11;
    const auto squared = y * y;
    double sineTail = 1.0, cosineTail = 1.0;

    for (int k = lastFactor - 1; k > lastSmallTerm; --k)
    {
        const double step = squared.hi * termRatios.ratio[k].hi;

        if (k % 2 == 0)
            sineTail = 1.0 - step * sineTail;
        else
            cosineTail = 1.0 - step * cosineTail;
    }

    const DoubleDouble one { 1.0, 0.0 };
    DoubleDouble sineFactor { sineTail, 0.0 }, cosineFactor { cosineTail, 0.0 };

    for (int k = lastSmallTerm; k >= 1; --k)
    {
        const auto step = squared * termRatios.ratio[k];

        if (k % 2 == 0) // sin: 1 - y^2 / (k (k + 1)) * (...)
            sineFactor = one + -(step * sineFactor);
        else // cos, likewise
            cosineFactor = one + -(step * cosineFactor);
    }

    sine = y * sineFactor;
    cosine = cosineFactor;
}

/** hi + lo to the nearest float. Rounding hi alone would go wrong only where hi lies exactly
    halfway between two floats; lo then tells which of the two is nearer.
*/
float roundToFloat (DoubleDouble value)
{
    std::uint64_t bits;
    std::memcpy (&bits, &value.hi, sizeof (bits));
    constexpr std::uint64_t droppedBits = (std::uint64_t (1) << 29) - 1; // below a float's mantissa
    constexpr std::uint64_t halfway = std::uint64_t (1) << 28;

    if ((bits & droppedBits) == halfway && value.lo != 0.0)
    {
        const bool awayFromZero = (value.lo > 0.0) == (value.hi > 0.0);
        bits = awayFromZero ? bits + 1 : bits - 1;
        std::memcpy (&value.hi, &bits, sizeof (bits));
    }

    return static_cast<float> (value.hi);
}
} // namespace

float cornerTangent (float angle)
{
    if (angle == 0.0f)
        return angle; // either zero, sign kept

    const bool negative = angle < 0.0f;
    const double x = negative ? -double (angle) : double (angle);

    // pi/2 as the sum of two doubles.
    constexpr DoubleDouble halfPi { 1.5707963267948966, 6.123233995736766e-17 };
    constexpr double quarterPi = 0.78539816339744831;

    // Above pi/4, tan x = cot (pi/2 - x), which keeps the series short.
    const bool cotangent = x > quarterPi;
    const auto y = cotangent ? twoSum (halfPi.hi, -x) + DoubleDouble { halfPi.lo, 0.0 } : DoubleDouble { x, 0.0 };

    DoubleDouble sine, cosine;
    sineAndCosine (y, sine, cosine);

    const auto tangent = roundToFloat (cotangent ? cosine / sine : sine / cosine);
    return negative ? -tangent : tangent;
}
