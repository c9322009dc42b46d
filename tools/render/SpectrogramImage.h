#pragma once

#include <juce_graphics/juce_graphics.h>

#include <vector>

/** A picture of two signals' spectrograms, the input above the output, on one time axis
    (seconds) and one logarithmic frequency axis, so that octaves are equally spaced and
    the shimmer's octave-up partials sit a fixed distance above the notes that made them.
    Level is shown from -100 dBFS (black) to 0 dBFS (pale yellow), with a scale beside it.
*/
class SpectrogramImage
{
public:
    static constexpr int width = 1200;
    static constexpr int height = 800;

    struct Panel
    {
        const std::vector<float>& signal;
        juce::String title;
    };

    static juce::Image draw (const Panel& top, const Panel& bottom, double sampleRate);

    static constexpr float floorDb = -100.0f;

    /** Where the top (0) or bottom (1) panel's spectrogram is drawn. */
    static juce::Rectangle<int> plotBounds (int panel);

    /** The pixel row of a frequency and the pixel column of a time within a plot. */
    static int rowForFrequency (juce::Rectangle<int> plot, double hertz, double sampleRate);
    static int columnForTime (juce::Rectangle<int> plot, double seconds, double totalSeconds);

private:
    static void drawPanel (juce::Graphics& g, juce::Image& image, const Panel& panel, juce::Rectangle<int> plot, double sampleRate, juce::int64 totalLength);
    static void drawFrequencyAxis (juce::Graphics& g, juce::Rectangle<int> plot, double sampleRate);
    static void drawTimeAxis (juce::Graphics& g, juce::Rectangle<int> topPlot, juce::Rectangle<int> bottomPlot, double seconds);
    static void drawLevelScale (juce::Graphics& g, juce::Rectangle<int> area);

    static double lowestFrequency();
    static double highestFrequency (double sampleRate);
    static juce::Colour colourForLevel (float decibels);
};
