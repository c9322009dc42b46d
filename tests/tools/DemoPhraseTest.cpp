#include "render/DemoPhrase.h"

#include <gtest/gtest.h>

TEST (DemoPhrase, IsAFewSecondsOfMonoPeakingAtMinusSixDecibels)
{
    const auto phrase = DemoPhrase::synthesize();

    ASSERT_EQ (phrase.getNumChannels(), 1);
    EXPECT_EQ (phrase.getNumSamples(), static_cast<int> (DemoPhrase::sampleRate * DemoPhrase::lengthSeconds));
    EXPECT_NEAR (juce::Decibels::gainToDecibels (phrase.getMagnitude (0, 0, phrase.getNumSamples())), -6.0f, 0.01f);

    // Sounding from the first note to the end, which is faded to silence.
    EXPECT_GT (phrase.getRMSLevel (0, 0, 4800), 0.01f);
    EXPECT_GT (phrase.getRMSLevel (0, phrase.getNumSamples() - 24000, 4800), 0.001f);
    EXPECT_LT (std::abs (phrase.getSample (0, phrase.getNumSamples() - 1)), 1.0e-5f);
}

TEST (DemoPhrase, IsTheSameEveryTime)
{
    const auto a = DemoPhrase::synthesize();
    const auto b = DemoPhrase::synthesize();

    for (int i = 0; i < a.getNumSamples(); ++i)
        ASSERT_EQ (a.getSample (0, i), b.getSample (0, i)) << i;
}
