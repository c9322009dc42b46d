#include "demo/DemoPhraseSamples.h"

#include <algorithm>
#include <cmath>

namespace
{
struct Note
{
    double startSeconds;
    int midiNote;
    float level;
};

// A2 E3 A3 C4 E4 B4 one after another, then all of them together.
constexpr Note phrase[] {
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

constexpr double attackSeconds = 0.004;
constexpr float thirdPartialLevel = 0.12f;
constexpr double pi = 3.141592653589793;
constexpr double twoPi = 2.0 * pi;

double noteInHertz (int midiNote)
{
    return 440.0 * std::pow (2.0, (midiNote - 69) / 12.0);
}

void addPluck (float* samples, double startSeconds, double frequency, float level)
{
    // Low notes ring longer, as on a real instrument; the third partial dies three times faster.
    const double decaySeconds = std::clamp (150.0 / frequency, 0.4, 1.5);
    const int start = static_cast<int> (startSeconds * DemoPhraseSamples::sampleRate);

    for (int i = start; i < DemoPhraseSamples::length; ++i)
    {
        const double t = (i - start) / DemoPhraseSamples::sampleRate;
        const double attack = t < attackSeconds ? 0.5 - 0.5 * std::cos (pi * t / attackSeconds) : 1.0;
        const double fundamental = std::sin (twoPi * frequency * t) * std::exp (-t / decaySeconds);
        const double third = std::sin (twoPi * 3.0 * frequency * t) * std::exp (-3.0 * t / decaySeconds);
        samples[i] += static_cast<float> (level * attack * (fundamental + thirdPartialLevel * third));
    }
}
} // namespace

void DemoPhraseSamples::synthesize (float* samples)
{
    std::fill (samples, samples + length, 0.0f);

    for (const auto& note : phrase)
        addPluck (samples, note.startSeconds, noteInHertz (note.midiNote), note.level);

    // Damp everything over the last quarter second so the phrase ends on silence, not a click:
    // a gain falling in equal single-precision steps from 1 towards 0.
    const int fadeLength = static_cast<int> (0.25 * sampleRate);
    const float step = (0.0f - 1.0f) / static_cast<float> (fadeLength);
    float gain = 1.0f;

    for (int i = length - fadeLength; i < length; ++i)
    {
        samples[i] *= gain;
        gain += step;
    }

    // Peaking at -6 dBFS.
    float peak = 0.0f;

    for (int i = 0; i < length; ++i)
        peak = std::max (peak, std::abs (samples[i]));

    if (peak > 0.0f)
    {
        const float normalise = std::pow (10.0f, -6.0f * 0.05f) / peak;

        if (normalise != 1.0f)
            for (int i = 0; i < length; ++i)
                samples[i] *= normalise;
    }
}
