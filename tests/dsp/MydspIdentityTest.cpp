// The engine's compute against the per-sample formulation, run on twin engines: every
// output sample must be the same value and, for finite signals, the whole state the same
// bits after every run.
#include "PerSampleReference.h"
#include "dsp/mydsp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

namespace
{
struct Controls
{
    float space, lumens, tone, mix;
};

/** Same value: equal floats (+0 and -0 count as one) or both NaN. */
bool sameValue (float a, float b)
{
    return a == b || (std::isnan (a) && std::isnan (b));
}

class TwinEngines
{
public:
    explicit TwinEngines (int sampleRate, std::uint32_t writeCounter = 0)
    {
        for (auto* engine : { fast.get(), perSample.get() })
        {
            engine->init (sampleRate);
            engine->IOTA0 = writeCounter;
        }
    }

    void setControls (const Controls& c)
    {
        for (auto* engine : { fast.get(), perSample.get() })
        {
            engine->fHslider2 = c.space;
            engine->fHslider3 = c.lumens;
            engine->fHslider1 = c.tone;
            engine->fHslider0 = c.mix;
        }
    }

    /** Runs count samples through both, the fast one in place as the processor calls it. */
    ::testing::AssertionResult run (const float* left, const float* right, int count)
    {
        std::vector<float> fastL (left, left + count), fastR (right, right + count);
        std::vector<float> slowL (static_cast<size_t> (count)), slowR (static_cast<size_t> (count));
        float* inPlace[] = { fastL.data(), fastR.data() };
        float* inputs[] = { const_cast<float*> (left), const_cast<float*> (right) };
        float* outputs[] = { slowL.data(), slowR.data() };

        fast->compute (count, inPlace, inPlace);
        computePerSample (*perSample, count, inputs, outputs);

        for (int i = 0; i < count; ++i)
            if (! sameValue (fastL[size_t (i)], slowL[size_t (i)]) || ! sameValue (fastR[size_t (i)], slowR[size_t (i)]))
                return ::testing::AssertionFailure() << "sample " << samplesRun + i << ": (" << fastL[size_t (i)] << ", " << fastR[size_t (i)]
                                                     << ") instead of (" << slowL[size_t (i)] << ", " << slowR[size_t (i)] << ")";

        samplesRun += count;
        return ::testing::AssertionSuccess();
    }

    /** The same bits in every member from the mix zone to line 4's output: the zones, the
        constants and the network's state (not the low-pass cache after them, which only
        compute fills).
    */
    ::testing::AssertionResult sameState() const
    {
        const auto* first = reinterpret_cast<const char*> (&fast->fHslider0);
        const auto length = static_cast<size_t> (reinterpret_cast<const char*> (&fast->fRec9 + 1) - first);

        if (std::memcmp (first, &perSample->fHslider0, length) == 0)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "states differ after " << samplesRun << " samples";
    }

    const mydsp& fastEngine() const { return *fast; }

private:
    std::unique_ptr<mydsp> fast = std::make_unique<mydsp>();
    std::unique_ptr<mydsp> perSample = std::make_unique<mydsp>();
    long samplesRun = 0;
};

std::vector<float> noise (int length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> level (-0.5f, 0.5f);
    std::vector<float> v (static_cast<size_t> (length));
    for (auto& s : v)
        s = level (rng);
    return v;
}

/** Runs the whole of left/right through the twins in blocks of the sizes nextBlock gives. */
template <typename NextBlock>
::testing::AssertionResult runInBlocks (TwinEngines& twins, const std::vector<float>& left, const std::vector<float>& right, NextBlock nextBlock)
{
    const int length = int (left.size());
    for (int start = 0; start < length;)
    {
        const int count = std::min (nextBlock(), length - start);
        if (auto result = twins.run (left.data() + start, right.data() + start, count); ! result)
            return result << " (block of " << count << " at " << start << ")";
        start += count;
    }
    return ::testing::AssertionSuccess();
}

// After a clear the shifter phase reaches 0 at sample 22832; runs longer than that cross
// its wrap at least once.
constexpr int pastPhaseWrap = 30000;
} // namespace

TEST (MydspIdentity, EveryBlockSizeFrom1To64)
{
    const auto left = noise (pastPhaseWrap, 1u), right = noise (pastPhaseWrap, 2u);

    for (int blockSize = 1; blockSize <= 64; ++blockSize)
    {
        TwinEngines twins (48000);
        twins.setControls ({ 8.0f, 7.0f, 4.0f, 0.6f });
        ASSERT_TRUE (runInBlocks (twins, left, right, [=] { return blockSize; })) << "blocks of " << blockSize;
        ASSERT_TRUE (twins.sameState()) << "blocks of " << blockSize;
    }
}

TEST (MydspIdentity, LargeBlockSizes)
{
    const auto left = noise (3 * pastPhaseWrap, 3u), right = noise (3 * pastPhaseWrap, 4u);

    for (int blockSize : { 127, 128, 129, 511, 512, 513, 728, 729, 730, 1023, 1024, 2049, 4095, 4096 })
    {
        TwinEngines twins (44100);
        twins.setControls ({ 9.5f, 10.0f, 6.0f, 1.0f });
        ASSERT_TRUE (runInBlocks (twins, left, right, [=] { return blockSize; })) << "blocks of " << blockSize;
        ASSERT_TRUE (twins.sameState()) << "blocks of " << blockSize;
    }
}

TEST (MydspIdentity, RandomBlocksAndControlsAtEveryRate)
{
    // Corner settings as well as random ones; tone 10 at the low rates hits the corner limit.
    const Controls corners[] = { { 10.0f, 10.0f, 10.0f, 1.0f }, { 0.0f, 0.0f, 0.0f, 0.0f }, { 10.0f, 0.0f, 0.0f, 1.0f }, { 0.0f, 10.0f, 10.0f, 0.5f } };
    const auto left = noise (4 * pastPhaseWrap, 5u), right = noise (4 * pastPhaseWrap, 6u);

    for (int rate : { 8000, 11025, 16000, 22050, 44100, 48000, 88200, 96000, 176400, 192000, 384000 })
    {
        std::mt19937 rng (static_cast<unsigned> (rate));
        std::uniform_int_distribution<int> blockSize (1, 4096), cornerIndex (0, 7);
        std::uniform_real_distribution<float> knob (0.0f, 10.0f);

        TwinEngines twins (rate);
        const auto nextBlock = [&]
        {
            const int pick = cornerIndex (rng);
            twins.setControls (pick < 4 ? corners[pick] : Controls { knob (rng), knob (rng), knob (rng), knob (rng) / 10.0f });
            return blockSize (rng);
        };

        ASSERT_TRUE (runInBlocks (twins, left, right, nextBlock)) << rate << " Hz";
        ASSERT_TRUE (twins.sameState()) << rate << " Hz";
    }
}

TEST (MydspIdentity, AcrossTheWriteCounterWrap)
{
    // The wrap comes after 70000 samples, when every tap reads sound.
    TwinEngines twins (48000, 0xffffffffu - 69999u);
    twins.setControls ({ 9.0f, 8.0f, 5.0f, 0.8f });
    std::mt19937 rng (17);
    std::uniform_int_distribution<int> blockSize (1, 700);
    const auto left = noise (5 * pastPhaseWrap, 7u), right = noise (5 * pastPhaseWrap, 8u);

    ASSERT_TRUE (runInBlocks (twins, left, right, [&] { return blockSize (rng); }));
    EXPECT_TRUE (twins.sameState());
    EXPECT_EQ (twins.fastEngine().IOTA0, std::uint32_t (5 * pastPhaseWrap - 70000));
}

TEST (MydspIdentity, NonFiniteInputSpreadsTheSameWay)
{
    // Without the processor's guard an infinity enters the feedback and turns the tail into
    // NaN; the engine must give the same values on the way, sample for sample.
    for (float bad : { std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN() })
    {
        TwinEngines twins (48000);
        twins.setControls ({ 5.0f, 8.0f, 5.0f, 0.5f });
        auto left = noise (2 * pastPhaseWrap, 9u);
        const auto right = noise (2 * pastPhaseWrap, 10u);
        left[20000] = bad;

        EXPECT_TRUE (runInBlocks (twins, left, right, [] { return 256; })) << bad;
    }
}
