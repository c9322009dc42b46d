#include "render/TailGate.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
class Recorder : public AudioSink
{
public:
    bool write (const float* const* channels, int numChannels, int numSamples) override
    {
        EXPECT_EQ (numChannels, 2);
        for (int i = 0; i < numSamples; ++i)
        {
            left.push_back (channels[0][i]);
            right.push_back (channels[1][i]);
        }
        return true;
    }

    std::vector<float> left, right;
};

constexpr float threshold = 0.001f;

TailGate::Limits limits (juce::int64 inputLength, juce::int64 maxTail, int quietWindow)
{
    TailGate::Limits l;
    l.inputLength = inputLength;
    l.maxTailSamples = maxTail;
    l.quietWindow = quietWindow;
    l.threshold = threshold;
    l.maxBlockSize = 4;
    l.recentSamples = 2;
    return l;
}

/** Pushes the signal in blocks of four, right channel silent, until the gate is done. */
Recorder run (TailGate& gate, const std::vector<float>& left)
{
    Recorder recorder;
    juce::AudioBuffer<float> block (2, 4);
    size_t position = 0;

    while (! gate.isFinished())
    {
        block.clear();
        for (int i = 0; i < 4 && position + static_cast<size_t> (i) < left.size(); ++i)
            block.setSample (0, i, left[position + static_cast<size_t> (i)]);

        const auto count = static_cast<int> (juce::jmin<juce::int64> (4, gate.getRemainingAllowance()));
        EXPECT_TRUE (gate.push (block, count, recorder));
        position += static_cast<size_t> (count);
    }

    return recorder;
}
} // namespace

TEST (TailGate, KeepsTheWholeInputEvenWhereItIsSilent)
{
    TailGate gate (limits (6, 100, 8));
    const auto out = run (gate, { 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f });
    EXPECT_EQ (out.left.size(), 6u);
    EXPECT_EQ (gate.getWrittenLength(), 6);
    EXPECT_FALSE (gate.wasCutByLimit());
}

TEST (TailGate, EndsOnTheLastSampleAtTheThreshold)
{
    // Input of two samples; the tail's last loud sample (exactly at the threshold) is at index 5.
    TailGate gate (limits (2, 100, 8));
    const auto out = run (gate, { 0.5f, 0.5f, 0.2f, -0.01f, 0.0005f, -threshold, 0.0009f, 0.0f });
    ASSERT_EQ (out.left.size(), 6u);
    EXPECT_EQ (out.left.back(), -threshold);
    EXPECT_EQ (gate.getRenderedLength(), 16); // stopped once 8 quiet samples followed
}

TEST (TailGate, AQuietGapShorterThanTheWindowIsKept)
{
    std::vector<float> signal { 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.3f };
    TailGate gate (limits (1, 100, 8));
    const auto out = run (gate, signal);
    ASSERT_EQ (out.left.size(), 8u);
    EXPECT_EQ (out.left, signal);
}

TEST (TailGate, TheLimitCutsALoudTail)
{
    std::vector<float> loud (40, 0.25f);
    TailGate gate (limits (4, 10, 8));
    const auto out = run (gate, loud);
    EXPECT_EQ (out.left.size(), 14u);
    EXPECT_EQ (gate.getRenderedLength(), 14);
    EXPECT_TRUE (gate.wasCutByLimit());
}

TEST (TailGate, ATailThatDiedBeforeTheLimitIsNotReportedAsCut)
{
    std::vector<float> signal { 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f };
    TailGate gate (limits (1, 7, 100));
    const auto out = run (gate, signal);
    EXPECT_EQ (out.left.size(), 3u);
    EXPECT_EQ (gate.getRenderedLength(), 8);
    EXPECT_FALSE (gate.wasCutByLimit());
}
