#pragma once

#include "render/AudioSink.h"

#include <juce_core/juce_core.h>

#include <vector>

/** Peak and RMS over every channel of what passes through it, and on request a copy of
    the channels' average for drawing.
*/
class SignalMeter : public AudioSink
{
public:
    explicit SignalMeter (bool keepSignal = false)
        : keepsSignal (keepSignal) {}

    bool write (const float* const* channels, int numChannels, int numSamples) override;

    float getPeak() const { return peak; }
    double getRms() const;
    juce::int64 getLengthInSamples() const { return length; }

    static juce::String toDecibelText (double gain);

    /** The channels' average, sample by sample; empty unless asked for. */
    const std::vector<float>& getSignal() const { return signal; }

private:
    bool keepsSignal;
    float peak = 0.0f;
    double sumOfSquares = 0.0;
    juce::int64 values = 0;
    juce::int64 length = 0;
    std::vector<float> signal;
};
