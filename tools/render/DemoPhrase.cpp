#include "render/DemoPhrase.h"

#include <cmath>
#include <vector>

namespace
{
struct Note
{
    double startSeconds;
    int midiNote;
    float level;
};

// A2 E3 A3 C4 E4 B4 one after another, then all of them together.
const std::vector<Note>& phrase()
{
    static const std::vector<Note> notes {
        { 0.00, 45, 0.9f },
        { 0.30, 52, 0.8f },
        { 0.60, 57, 0.8f },
        { 0.90, 60, 0.7f },
        { 1.20, 64, 0.7f },
        { 1.50, 71, 0.6f },
        { 2.10, 45, 0.6f },
        { 2.11, 52, 0.5f },
        { 2.12, 57, 0.5f },
        { 2.13, 60, 0.45f },
        { 2.14, 64, 0.45f },
        { 2.15, 71, 0.4f },
    };
    return notes;
}

constexpr double attackSeconds = 0.004;
constexpr float thirdPartialLevel = 0.12f;
} // namespace

juce::AudioBuffer<float> DemoPhrase::synthesize()
{
    juce::AudioBuffer<float> buffer (1, static_cast<int> (sampleRate * lengthSeconds));
    buffer.clear();

    for (const auto& note : phrase())
        addPluck (buffer, note.startSeconds, juce::MidiMessage::getMidiNoteInHertz (note.midiNote), note.level);

    // Damp everything over the last quarter second so the phrase ends on silence, not a click.
    const int fadeLength = static_cast<int> (0.25 * sampleRate);
    buffer.applyGainRamp (buffer.getNumSamples() - fadeLength, fadeLength, 1.0f, 0.0f);

    const float peak = buffer.getMagnitude (0, buffer.getNumSamples());
    if (peak > 0.0f)
        buffer.applyGain (juce::Decibels::decibelsToGain (-6.0f) / peak);

    return buffer;
}

void DemoPhrase::addPluck (juce::AudioBuffer<float>& buffer, double startSeconds, double frequency, float level)
{
    // Low notes ring longer, as on a real instrument; the third partial dies three times faster.
    const double decaySeconds = juce::jlimit (0.4, 1.5, 150.0 / frequency);
    const double twoPi = juce::MathConstants<double>::twoPi;
    const int start = static_cast<int> (startSeconds * sampleRate);
    auto* samples = buffer.getWritePointer (0);

    for (int i = start; i < buffer.getNumSamples(); ++i)
    {
        const double t = (i - start) / sampleRate;
        const double attack = t < attackSeconds ? 0.5 - 0.5 * std::cos (juce::MathConstants<double>::pi * t / attackSeconds) : 1.0;
        const double fundamental = std::sin (twoPi * frequency * t) * std::exp (-t / decaySeconds);
        const double third = std::sin (twoPi * 3.0 * frequency * t) * std::exp (-3.0 * t / decaySeconds);
        samples[i] += static_cast<float> (level * attack * (fundamental + thirdPartialLevel * third));
    }
}
