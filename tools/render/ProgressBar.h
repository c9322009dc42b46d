#pragma once

#include <juce_core/juce_core.h>

#include <cstdio>

/** A one-line progress bar on a terminal, redrawn in place a few times a second: the
    share of the input rendered, then how far into the tail rendering has got. Stays
    silent when the stream is not a terminal or the input is short.
*/
class ProgressBar
{
public:
    ProgressBar (std::FILE* stream, double sampleRate, juce::int64 inputLength);
    ~ProgressBar();

    void update (juce::int64 renderedSamples);

    /** Removes the bar so that the next line starts clean. */
    void clear();

    static constexpr double minimumInputSeconds = 5.0;

    static juce::String format (juce::int64 renderedSamples, juce::int64 inputLength, double sampleRate, int barWidth);

private:
    std::FILE* stream;
    double sampleRate;
    juce::int64 inputLength;
    bool enabled;
    bool shown = false;
    juce::uint32 lastDrawn = 0;
};
