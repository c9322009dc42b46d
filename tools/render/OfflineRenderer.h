#pragma once

#include "render/AudioSink.h"
#include "render/InputSignal.h"
#include "render/TailGate.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <vector>

/** Drives a processor the way a host renders offline: prepared at the input's rate, fed
    one fixed-size stereo block after another, kept running after the input has ended
    until the tail dies away or reaches its limit, then released.
*/
class OfflineRenderer
{
public:
    struct Options
    {
        int blockSize = 512;
        double tailLimitSeconds = 30.0;
        float tailThresholdDb = -90.0f;
    };

    struct Outcome
    {
        juce::int64 inputLength = 0;
        juce::int64 outputLength = 0;
        juce::int64 renderedLength = 0; // including the quiet stretch that proved the tail over
        bool tailCutByLimit = false;
        bool cancelled = false;
        juce::String error; // empty when everything was read and written
    };

    /** Told how far rendering has got; returning false cancels it. */
    using ProgressCallback = std::function<bool (juce::int64 renderedSamples, juce::int64 inputLength)>;

    OfflineRenderer (juce::AudioProcessor& processor, const Options& options);

    /** Renders `input` completely. What the effect is fed (the left channel) goes to
        `inputSinks`, what it puts out (both channels, tail trimmed) to `outputSinks`.
    */
    Outcome render (InputSignal& input,
                    const std::vector<AudioSink*>& inputSinks,
                    const std::vector<AudioSink*>& outputSinks,
                    const ProgressCallback& progress = {});

    /** Quiet this long after the input proves the tail is over: longer than any delay in
        the reverb network, so nothing stored in it can come back.
    */
    static int quietWindowSamples();

private:
    TailGate::Limits limitsFor (const InputSignal& input) const;

    /** Feeds one block through the processor; returns an error message, or nothing. */
    juce::String renderBlock (InputSignal& input, juce::AudioBuffer<float>& block, TailGate& gate, AudioSink& fedInput, AudioSink& output);

    juce::AudioProcessor& processor;
    Options options;
};
