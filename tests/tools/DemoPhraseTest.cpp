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

namespace
{
// The phrase as the renderer made it with the framework's buffer operations before its samples
// moved to framework-free code (DemoPhraseSamples), which the web page's engine compiles too.
juce::AudioBuffer<float> phraseThroughFramework()
{
    struct Note
    {
        double startSeconds;
        int midiNote;
        float level;
    };

    const Note notes[] { { 0.00, 45, 0.9f }, { 0.30, 52, 0.8f }, { 0.60, 57, 0.8f }, { 0.90, 60, 0.7f },
                         { 1.20, 64, 0.7f }, { 1.50, 71, 0.6f }, { 2.10, 45, 0.6f }, { 2.11, 52, 0.5f },
                         { 2.12, 57, 0.5f }, { 2.13, 60, 0.45f }, { 2.14, 64, 0.45f }, { 2.15, 71, 0.4f } };
    const double rate = 48000.0;
    juce::AudioBuffer<float> buffer (1, static_cast<int> (rate * 4.0));
    buffer.clear();

    for (const auto& note : notes)
    {
        const double frequency = juce::MidiMessage::getMidiNoteInHertz (note.midiNote);
        const double decaySeconds = juce::jlimit (0.4, 1.5, 150.0 / frequency);
        const double twoPi = juce::MathConstants<double>::twoPi;
        const int start = static_cast<int> (note.startSeconds * rate);
        auto* samples = buffer.getWritePointer (0);

        for (int i = start; i < buffer.getNumSamples(); ++i)
        {
            const double t = (i - start) / rate;
            const double attack = t < 0.004 ? 0.5 - 0.5 * std::cos (juce::MathConstants<double>::pi * t / 0.004) : 1.0;
            const double fundamental = std::sin (twoPi * frequency * t) * std::exp (-t / decaySeconds);
            const double third = std::sin (twoPi * 3.0 * frequency * t) * std::exp (-3.0 * t / decaySeconds);
            samples[i] += static_cast<float> (note.level * attack * (fundamental + 0.12f * third));
        }
    }

    const int fadeLength = static_cast<int> (0.25 * rate);
    buffer.applyGainRamp (buffer.getNumSamples() - fadeLength, fadeLength, 1.0f, 0.0f);

    const float peak = buffer.getMagnitude (0, buffer.getNumSamples());
    if (peak > 0.0f)
        buffer.applyGain (juce::Decibels::decibelsToGain (-6.0f) / peak);

    return buffer;
}
} // namespace

TEST (DemoPhrase, HasTheSamplesTheFrameworkMadeBefore)
{
    const auto phrase = DemoPhrase::synthesize();
    const auto reference = phraseThroughFramework();

    ASSERT_EQ (phrase.getNumSamples(), reference.getNumSamples());

    for (int i = 0; i < phrase.getNumSamples(); ++i)
        ASSERT_EQ (phrase.getSample (0, i), reference.getSample (0, i)) << i;
}
