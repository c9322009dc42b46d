#include "render/SignalMeter.h"

#include <algorithm>
#include <cmath>

bool SignalMeter::write (const float* const* channels, int numChannels, int numSamples)
{
    for (int channel = 0; channel < numChannels; ++channel)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            const float sample = channels[channel][i];
            peak = std::max (peak, std::abs (sample));
            sumOfSquares += static_cast<double> (sample) * sample;
        }
    }

    values += static_cast<juce::int64> (numChannels) * numSamples;
    length += numSamples;

    if (keepsSignal && numChannels > 0)
    {
        for (int i = 0; i < numSamples; ++i)
        {
            float sum = 0.0f;
            for (int channel = 0; channel < numChannels; ++channel)
                sum += channels[channel][i];

            signal.push_back (sum / static_cast<float> (numChannels));
        }
    }

    return true;
}

double SignalMeter::getRms() const
{
    return values > 0 ? std::sqrt (sumOfSquares / static_cast<double> (values)) : 0.0;
}

juce::String SignalMeter::toDecibelText (double gain)
{
    if (gain <= 0.0)
        return "-inf dBFS";

    return juce::String (20.0 * std::log10 (gain), 1) + " dBFS";
}
