#include "render/ProgressBar.h"

#include <unistd.h>

ProgressBar::ProgressBar (std::FILE* output, double rate, juce::int64 length)
    : stream (output), sampleRate (rate), inputLength (length), enabled (isatty (fileno (output)) != 0 && static_cast<double> (length) / rate > minimumInputSeconds)
{
}

ProgressBar::~ProgressBar()
{
    clear();
}

void ProgressBar::update (juce::int64 renderedSamples)
{
    if (! enabled)
        return;

    const auto now = juce::Time::getMillisecondCounter();

    if (shown && now - lastDrawn < 100)
        return;

    lastDrawn = now;
    shown = true;
    std::fprintf (stream, "\r%s\033[K", format (renderedSamples, inputLength, sampleRate, 40).toRawUTF8());
    std::fflush (stream);
}

void ProgressBar::clear()
{
    if (! shown)
        return;

    shown = false;
    std::fputs ("\r\033[K", stream);
    std::fflush (stream);
}

juce::String ProgressBar::format (juce::int64 renderedSamples, juce::int64 length, double rate, int barWidth)
{
    const auto seconds = [rate] (juce::int64 samples)
    { return juce::String (static_cast<double> (samples) / rate, 1) + " s"; };

    if (renderedSamples >= length)
        return "Rendering the tail: " + seconds (renderedSamples - length) + " after the input";

    const double fraction = length > 0 ? static_cast<double> (renderedSamples) / static_cast<double> (length) : 1.0;
    const int filled = juce::jlimit (0, barWidth, static_cast<int> (fraction * barWidth));

    return "Rendering [" + juce::String::repeatedString ("#", filled) + juce::String::repeatedString ("-", barWidth - filled) + "] "
           + juce::String (juce::roundToInt (fraction * 100.0)).paddedLeft (' ', 3) + "%  "
           + seconds (renderedSamples) + " of " + seconds (length);
}
