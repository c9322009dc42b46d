#pragma once

#include "render/AudioSink.h"

#include <juce_audio_basics/juce_audio_basics.h>

/** Decides where a rendering ends. Everything up to the end of the input is kept; after
    it, output is held back while it stays below the threshold, and let through only if
    something louder follows. Once the tail has stayed quiet for a whole window, or the
    tail limit is reached, rendering is over and the held-back silence is dropped, so the
    written tail ends with its last sample at or above the threshold.
*/
class TailGate
{
public:
    struct Limits
    {
        juce::int64 inputLength = 0;
        juce::int64 maxTailSamples = 0;
        int quietWindow = 1; // quiet samples that prove the tail is over
        float threshold = 0.0f; // linear gain
        int maxBlockSize = 512;
        int recentSamples = 1; // loudness this close to the limit means the limit cut the tail
    };

    explicit TailGate (const Limits& limits);

    /** Takes the next `count` rendered samples (channels 0 and 1 of `block`) and passes on
        to `sink` what is sure to be kept. Returns false if the sink failed.
    */
    bool push (const juce::AudioBuffer<float>& block, int count, AudioSink& sink);

    /** Samples that may still be pushed before the tail limit. */
    juce::int64 getRemainingAllowance() const { return limitEnd - position; }

    bool isFinished() const;
    bool wasCutByLimit() const;

    juce::int64 getRenderedLength() const { return position; }
    juce::int64 getWrittenLength() const { return writtenLength; }

private:
    int findLastLoud (const juce::AudioBuffer<float>& block, int count) const;
    bool flushPending (AudioSink& sink);
    bool pass (const juce::AudioBuffer<float>& buffer, int count, AudioSink& sink);
    void hold (const juce::AudioBuffer<float>& block, int start, int count);

    Limits limits;
    juce::int64 limitEnd;
    juce::int64 position = 0;
    juce::int64 lastLoudEnd = 0;
    juce::int64 writtenLength = 0;
    juce::AudioBuffer<float> pending;
    int pendingLength = 0;
};
