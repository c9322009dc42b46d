#include "processor/BlockJob.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#if (defined(__SSE__) || defined(_M_X64)) && ! defined(__EMSCRIPTEN__)
#include <xmmintrin.h>
#define PELORVANE_HAS_MXCSR 1
#endif

namespace
{
bool isFiniteSample (float sample)
{
    std::uint32_t bits;
    std::memcpy (&bits, &sample, sizeof (bits));
    return (bits & 0x7f800000u) != 0x7f800000u;
}

std::uint32_t nonFiniteBit (const float* sample)
{
    std::uint32_t bits;
    std::memcpy (&bits, sample, sizeof (bits));
    return (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
}

// Branch-free over the block, so the checks cost little next to the network.
bool allFinite (const float* samples, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
        nonFinite |= nonFiniteBit (samples + i);

    return nonFinite == 0;
}

bool allFinite (const float* left, const float* right, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
        nonFinite |= nonFiniteBit (left + i) | nonFiniteBit (right + i);

    return nonFinite == 0;
}

/** Copies source over destination, and tells whether every sample was finite. */
bool copyAllFinite (const float* source, float* destination, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
    {
        nonFinite |= nonFiniteBit (source + i);
        destination[i] = source[i];
    }

    return nonFinite == 0;
}

void silenceNonFinite (float* samples, int count)
{
    for (int i = 0; i < count; ++i)
        if (! isFiniteSample (samples[i]))
            samples[i] = 0.0f;
}

#if defined(PELORVANE_HAS_MXCSR)
/** Flush-to-zero and denormals-are-zero for its lifetime, with the register as it was
    afterwards, as juce::ScopedNoDenormals; but the register is only written where that
    changes it. Each write stalls the processor about as long as a small block's other set-up
    takes, and hosts whose audio threads run in this mode already (many do) need none: there
    the register is only read again at the end, in case the block raised an exception flag.
*/
class FlushDenormalsInScope
{
public:
    FlushDenormalsInScope()
    {
        if (! wasOn)
            _mm_setcsr (previous | flushBits);
    }

    ~FlushDenormalsInScope()
    {
        if (! wasOn || _mm_getcsr() != previous)
            _mm_setcsr (previous);
    }

    FlushDenormalsInScope (const FlushDenormalsInScope&) = delete;
    FlushDenormalsInScope& operator= (const FlushDenormalsInScope&) = delete;

private:
    static constexpr unsigned int flushBits = 0x8040; // FTZ and DAZ
    const unsigned int previous = _mm_getcsr();
    const bool wasOn = (previous & flushBits) == flushBits;
};
#elif defined(__EMSCRIPTEN__)
/** WebAssembly has no flush-to-zero mode: its arithmetic always keeps subnormal numbers. */
struct FlushDenormalsInScope
{
};
#else
/** Other processors (ARM): the architecture headers' own switch. */
using FlushDenormalsInScope = ScopedNoDenormals;
#endif
} // namespace

BlockJob::BlockJob (mydsp& networkToRun)
    : network (networkToRun)
{
}

const std::array<const char*, 4>& BlockJob::zoneLabels()
{
    static const std::array<const char*, 4> labels { "space", "lumens", "tone", "mix" };
    return labels;
}

int BlockJob::bindZones (MapUI& zones, void (*reportMissing) (const char* label))
{
    // The zone setParamValue finds for the text: full paths first, then short names, then labels.
    const auto findZone = [&zones] (const char* label) -> FAUSTFLOAT*
    {
        const std::string text = label;

        for (auto* map : { &zones.getFullpathMap(), &zones.getShortnameMap(), &zones.getLabelMap() })
            if (const auto entry = map->find (text); entry != map->end())
                return entry->second;

        return nullptr;
    };

    return bindZonesWith (findZone, reportMissing);
}

void BlockJob::process (float* const* channels, int numChannels, int numSamples, const Settings& settings, bool knownSilent)
{
    const FlushDenormalsInScope noDenormals;

    if (! takeLeftInput (channels, numChannels, numSamples, knownSilent))
        return;

    if (settings.bypass)
        return;

    writeZones (settings);

    if (numChannels > 1)
        runNetwork (channels[0], channels[1], numSamples);
    else
        runNetworkOnMono (channels[0], numSamples);
}

void BlockJob::processBypassed (float* const* channels, int numChannels, int numSamples, bool knownSilent)
{
    takeLeftInput (channels, numChannels, numSamples, knownSilent);
}

bool BlockJob::takeLeftInput (float* const* channels, int numChannels, int numSamples, bool knownSilent)
{
    // A host may hand over fewer channels than the two buses have (a bus switched off, a
    // device with one output): no channel means nothing to do, one is input and left output.
    if (numChannels <= 0)
        return false;

    // A block known to be silent holds silence on both channels already.
    if (numSamples > 0 && ! knownSilent)
    {
        // The left input over the right, and NaN or infinity taken as silence: it is no
        // signal, and it would stay in the feedback network until the next prepare and reach
        // the host on the dry path. One pass does both, as the blocks a live host sends are
        // short enough for every pass to count.
        auto* left = channels[0];
        auto* right = numChannels > 1 ? channels[1] : nullptr;
        const bool finite = right != nullptr ? copyAllFinite (left, right, numSamples) : allFinite (left, numSamples);

        if (! finite)
        {
            silenceNonFinite (left, numSamples);

            if (right != nullptr)
                silenceNonFinite (right, numSamples);
        }
    }

    return true;
}

void BlockJob::writeZones (const Settings& settings)
{
    // Each value written to its zone as setParamValue would write it by label, in this order.
    *spaceZone = settings.space;
    *lumensZone = settings.lumens;
    *toneZone = settings.tone;
    *mixZone = settings.mix * 0.01f;
}

void BlockJob::runNetworkOnMono (float* channel, int numSamples)
{
    // The network's right output has nowhere to go; it is worked out in a scratch block of
    // fixed size, so a mono block runs in pieces. The network gives the same samples whatever
    // the pieces' lengths.
    auto* right = monoScratch.data();
    int done = 0;

    do
    {
        const auto length = std::min (numSamples - done, static_cast<int> (monoScratch.size()));
        std::copy (channel + done, channel + done + length, right);
        runNetwork (channel + done, right, length);
        done += length;
    } while (done < numSamples);
}

void BlockJob::runNetwork (float* left, float* right, int numSamples)
{
    // The network reads both inputs of a frame before writing its outputs, so it runs in place.
    float* channels[] = { left, right };
    network.compute (numSamples, channels, channels);

    keepNetworkFinite (left, right, numSamples);
}

void BlockJob::keepNetworkFinite (float* left, float* right, int numSamples)
{
    if (allFinite (left, right, numSamples))
        return;

    // The feedback network overflowed (only absurdly loud input at full Space gets here):
    // restart it from silence rather than let the host receive infinities for ever.
    network.instanceClear();
    silenceNonFinite (left, numSamples);
    silenceNonFinite (right, numSamples);
}
