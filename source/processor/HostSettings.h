#pragma once

#include <cmath>
#include <limits>

/** What the effect makes of the sample rate and block size a host announces. Hosts do announce
    nonsense (NaN, zero, a negative or an absurdly large rate, a block size of 0), and a
    conversion to a whole number is undefined for most of it.
*/
namespace HostSettings
{
/** What the framework assumes before a host has said anything. */
constexpr double fallbackSampleRate = 44100.0;
constexpr int fallbackBlockSize = 1024;

/** Larger announced blocks are processed in pieces of this size, so that a host asking for
    a huge maximum does not make the framework allocate gigabytes of scratch space.
*/
constexpr int largestPreparedBlock = 1 << 16;

/** A positive rate that converts to an int without overflow: NaN, zero and negative rates
    give the fallback, rates beyond the largest int are capped there.
*/
inline double usableSampleRate (double announced)
{
    constexpr auto largest = static_cast<double> (std::numeric_limits<int>::max());

    if (std::isnan (announced) || announced <= 0.0)
        return fallbackSampleRate;

    return announced < largest ? announced : largest;
}

/** The block size to prepare for: 0 or less means the host did not say. */
inline int usableBlockSize (int announced)
{
    if (announced <= 0)
        return fallbackBlockSize;

    return announced < largestPreparedBlock ? announced : largestPreparedBlock;
}
} // namespace HostSettings
