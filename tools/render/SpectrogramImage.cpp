#include "render/SpectrogramImage.h"

#include <juce_dsp/juce_dsp.h>

#include <cmath>

namespace
{
constexpr int leftMargin = 72;
constexpr int rightMargin = 96;
constexpr int titleHeight = 26;
constexpr int panelGap = 12;
constexpr int bottomMargin = 44;

const auto background = juce::Colour (0xff101014);
const auto textColour = juce::Colour (0xffd8d8d8);

/** Turns one stretch of a signal into a column of levels, one per pixel row, with a Hann
    window about 40 ms long and the rows spread logarithmically over the frequency range.
*/
class ColumnAnalyser
{
public:
    ColumnAnalyser (double sampleRate, int rows, double lowFrequency, double highFrequency)
        : fft (fftOrderFor (sampleRate)), size (fft.getSize()), window (static_cast<size_t> (size)), frame (static_cast<size_t> (2 * size))
    {
        juce::dsp::WindowingFunction<float>::fillWindowingTables (window.data(), static_cast<size_t> (size), juce::dsp::WindowingFunction<float>::hann, false);

        double windowSum = 0.0;
        for (auto w : window)
            windowSum += w;

        // A full-scale sine then reads 0 dB.
        scale = static_cast<float> (2.0 / windowSum);
        mapRows (sampleRate, rows, lowFrequency, highFrequency);
    }

    /** Levels in dB for the rows of the frame centred on `centre`, top row first. */
    void analyse (const std::vector<float>& signal, juce::int64 centre, std::vector<float>& levels)
    {
        const auto start = centre - size / 2;
        const auto length = static_cast<juce::int64> (signal.size());

        std::fill (frame.begin(), frame.end(), 0.0f);
        for (int i = 0; i < size; ++i)
            if (start + i >= 0 && start + i < length)
                frame[static_cast<size_t> (i)] = window[static_cast<size_t> (i)] * signal[static_cast<size_t> (start + i)];

        fft.performFrequencyOnlyForwardTransform (frame.data(), true);

        levels.resize (rowBins.size());
        for (size_t row = 0; row < rowBins.size(); ++row)
            levels[row] = juce::Decibels::gainToDecibels (scale * magnitudeFor (rowBins[row]), SpectrogramImage::floorDb);
    }

private:
    struct RowBins
    {
        int first, last; // bins inside the row, when it is wider than a bin
        double fractionalBin; // otherwise the row's centre, between two bins
    };

    static int fftOrderFor (double sampleRate)
    {
        return juce::jlimit (9, 14, juce::roundToInt (std::log2 (sampleRate * 0.04)));
    }

    void mapRows (double sampleRate, int rows, double lowFrequency, double highFrequency)
    {
        const double binWidth = sampleRate / size;
        const auto frequencyAt = [=] (double row)
        { return highFrequency * std::pow (lowFrequency / highFrequency, row / rows); };

        for (int row = 0; row < rows; ++row)
        {
            const int first = static_cast<int> (std::ceil (frequencyAt (row + 1) / binWidth));
            const int last = juce::jmin (size / 2, static_cast<int> (std::floor (frequencyAt (row) / binWidth)));
            rowBins.push_back ({ first, last, frequencyAt (row + 0.5) / binWidth });
        }
    }

    float magnitudeFor (const RowBins& bins) const
    {
        if (bins.first <= bins.last)
        {
            float peak = 0.0f;
            for (int bin = bins.first; bin <= bins.last; ++bin)
                peak = std::max (peak, frame[static_cast<size_t> (bin)]);
            return peak;
        }

        const int below = juce::jlimit (0, size / 2 - 1, static_cast<int> (bins.fractionalBin));
        const auto fraction = static_cast<float> (bins.fractionalBin - below);
        return frame[static_cast<size_t> (below)] * (1.0f - fraction) + frame[static_cast<size_t> (below + 1)] * fraction;
    }

    juce::dsp::FFT fft;
    int size;
    std::vector<float> window;
    std::vector<float> frame;
    std::vector<RowBins> rowBins;
    float scale = 1.0f;
};

juce::String frequencyLabel (double hertz)
{
    return hertz >= 1000.0 ? juce::String (hertz / 1000.0, 0) + " kHz" : juce::String (hertz, 0) + " Hz";
}

/** The smallest step in seconds that keeps time labels at least `minimumGap` pixels apart. */
double timeStep (double seconds, int plotWidth, int minimumGap)
{
    for (double step : { 0.1, 0.2, 0.5, 1.0, 2.0, 5.0, 10.0, 15.0, 30.0, 60.0, 120.0, 300.0, 600.0 })
        if (step / seconds * plotWidth >= minimumGap)
            return step;

    return 1200.0;
}
} // namespace

juce::Image SpectrogramImage::draw (const Panel& top, const Panel& bottom, double sampleRate)
{
    juce::Image image (juce::Image::RGB, width, height, true);
    juce::Graphics g (image);
    g.fillAll (background);

    const auto topPlot = plotBounds (0);
    const auto bottomPlot = plotBounds (1);

    const auto totalLength = static_cast<juce::int64> (juce::jmax (top.signal.size(), bottom.signal.size()));

    drawPanel (g, image, top, topPlot, sampleRate, totalLength);
    drawPanel (g, image, bottom, bottomPlot, sampleRate, totalLength);
    drawTimeAxis (g, topPlot, bottomPlot, static_cast<double> (totalLength) / sampleRate);
    drawLevelScale (g, { topPlot.getRight() + 24, topPlot.getY(), 16, bottomPlot.getBottom() - topPlot.getY() });
    return image;
}

juce::Rectangle<int> SpectrogramImage::plotBounds (int panel)
{
    const int plotWidth = width - leftMargin - rightMargin;
    const int plotHeight = (height - 2 * titleHeight - panelGap - bottomMargin) / 2;
    return { leftMargin, titleHeight + panel * (plotHeight + panelGap + titleHeight), plotWidth, plotHeight };
}

int SpectrogramImage::rowForFrequency (juce::Rectangle<int> plot, double hertz, double sampleRate)
{
    const double high = highestFrequency (sampleRate);
    return plot.getY() + juce::roundToInt (plot.getHeight() * std::log (high / hertz) / std::log (high / lowestFrequency()));
}

int SpectrogramImage::columnForTime (juce::Rectangle<int> plot, double seconds, double totalSeconds)
{
    return plot.getX() + juce::roundToInt (seconds / totalSeconds * plot.getWidth());
}

void SpectrogramImage::drawPanel (juce::Graphics& g, juce::Image& image, const Panel& panel, juce::Rectangle<int> plot, double sampleRate, juce::int64 totalLength)
{
    {
        ColumnAnalyser analyser (sampleRate, plot.getHeight(), lowestFrequency(), highestFrequency (sampleRate));
        juce::Image::BitmapData pixels (image, plot.getX(), plot.getY(), plot.getWidth(), plot.getHeight(), juce::Image::BitmapData::writeOnly);
        std::vector<float> levels;

        for (int column = 0; column < plot.getWidth(); ++column)
        {
            const auto centre = static_cast<juce::int64> ((column + 0.5) * static_cast<double> (totalLength) / plot.getWidth());
            analyser.analyse (panel.signal, centre, levels);

            for (int row = 0; row < plot.getHeight(); ++row)
                pixels.setPixelColour (column, row, colourForLevel (levels[static_cast<size_t> (row)]));
        }
    }

    g.setColour (textColour);
    g.setFont (15.0f);
    g.drawText (panel.title, plot.getX(), plot.getY() - titleHeight, plot.getWidth(), titleHeight - 4, juce::Justification::bottomLeft, true);
    g.setColour (textColour.withAlpha (0.5f));
    g.drawRect (plot.expanded (1));
    drawFrequencyAxis (g, plot, sampleRate);
}

void SpectrogramImage::drawFrequencyAxis (juce::Graphics& g, juce::Rectangle<int> plot, double sampleRate)
{
    g.setFont (12.0f);

    for (double hertz : { 50.0, 100.0, 200.0, 500.0, 1000.0, 2000.0, 5000.0, 10000.0, 20000.0 })
    {
        if (hertz < lowestFrequency() || hertz > highestFrequency (sampleRate))
            continue;

        const int y = rowForFrequency (plot, hertz, sampleRate);
        g.setColour (juce::Colours::white.withAlpha (0.18f));
        g.drawHorizontalLine (y, static_cast<float> (plot.getX()), static_cast<float> (plot.getRight()));
        g.setColour (textColour);
        g.drawText (frequencyLabel (hertz), 0, y - 8, leftMargin - 8, 16, juce::Justification::centredRight, false);
    }
}

void SpectrogramImage::drawTimeAxis (juce::Graphics& g, juce::Rectangle<int> topPlot, juce::Rectangle<int> bottomPlot, double seconds)
{
    if (seconds <= 0.0)
        return;

    const double step = timeStep (seconds, bottomPlot.getWidth(), 70);
    g.setFont (12.0f);

    for (int tick = 0; tick * step <= seconds; ++tick)
    {
        const double time = tick * step;
        const int x = columnForTime (bottomPlot, time, seconds);

        g.setColour (textColour.withAlpha (0.7f));
        for (auto plot : { topPlot, bottomPlot })
            g.drawVerticalLine (x, static_cast<float> (plot.getBottom()), static_cast<float> (plot.getBottom() + 5));

        g.setColour (textColour);
        const auto label = juce::String (time, step < 1.0 ? 1 : 0) + " s";
        g.drawText (label, x - 40, bottomPlot.getBottom() + 6, 80, 16, juce::Justification::centredTop, false);
    }

    g.drawText ("time", bottomPlot.getX(), bottomPlot.getBottom() + 24, bottomPlot.getWidth(), 16, juce::Justification::centredTop, false);
}

void SpectrogramImage::drawLevelScale (juce::Graphics& g, juce::Rectangle<int> area)
{
    for (int y = 0; y < area.getHeight(); ++y)
    {
        const float decibels = floorDb * static_cast<float> (y) / static_cast<float> (area.getHeight() - 1);
        g.setColour (colourForLevel (decibels));
        g.fillRect (area.getX(), area.getY() + y, area.getWidth(), 1);
    }

    g.setColour (textColour);
    g.setFont (12.0f);

    for (int decibels = 0; decibels >= static_cast<int> (floorDb); decibels -= 20)
    {
        const int y = area.getY() + juce::roundToInt (area.getHeight() * decibels / floorDb);
        g.drawText (juce::String (decibels) + " dB", area.getRight() + 4, y - 8, rightMargin - 48, 16, juce::Justification::centredLeft, false);
    }
}

double SpectrogramImage::lowestFrequency()
{
    return 40.0;
}

double SpectrogramImage::highestFrequency (double sampleRate)
{
    return juce::jmin (20000.0, sampleRate * 0.5);
}

juce::Colour SpectrogramImage::colourForLevel (float decibels)
{
    // Black through violet, red and orange to pale yellow: loudness reads as heat.
    static const juce::ColourGradient heat = []
    {
        juce::ColourGradient gradient (juce::Colours::black, 0.0f, 0.0f, juce::Colour (0xfffcf8be), 1.0f, 0.0f, false);
        gradient.addColour (0.25, juce::Colour (0xff2c0b5e));
        gradient.addColour (0.5, juce::Colour (0xff9c2a6e));
        gradient.addColour (0.75, juce::Colour (0xfff06a2c));
        return gradient;
    }();

    const auto position = juce::jlimit (0.0f, 1.0f, (decibels - floorDb) / -floorDb);
    return heat.getColourAtPosition (position);
}
