#include "render/InputSignal.h"

InputSignal::InputSignal (std::unique_ptr<juce::AudioFormatReader> source, juce::String text)
    : reader (std::move (source)), sampleRate (reader->sampleRate), length (reader->lengthInSamples), numChannels (static_cast<int> (reader->numChannels)), description (std::move (text))
{
}

InputSignal::InputSignal (juce::AudioBuffer<float> samples, double rate, juce::String text)
    : memory (std::move (samples)), sampleRate (rate), length (memory.getNumSamples()), numChannels (memory.getNumChannels()), description (std::move (text))
{
}

bool InputSignal::read (juce::AudioBuffer<float>& block, juce::int64 start, int count)
{
    jassert (block.getNumChannels() >= 2 && count <= block.getNumSamples());

    block.clear (0, count);

    const auto available = static_cast<int> (juce::jlimit<juce::int64> (0, count, length - start));

    if (available == 0 || numChannels == 0)
        return true;

    if (! readSource (block, start, available))
        return false;

    if (numChannels == 1)
        block.copyFrom (1, 0, block, 0, 0, available);
    else
        noteDifferingChannels (block, available);

    return true;
}

bool InputSignal::readSource (juce::AudioBuffer<float>& block, juce::int64 start, int count)
{
    const int channelsToRead = juce::jmin (2, numChannels);

    if (reader == nullptr)
    {
        for (int channel = 0; channel < channelsToRead; ++channel)
            block.copyFrom (channel, 0, memory, channel, static_cast<int> (start), count);

        return true;
    }

    return reader->read (block.getArrayOfWritePointers(), channelsToRead, start, count);
}

void InputSignal::noteDifferingChannels (const juce::AudioBuffer<float>& block, int count)
{
    if (rightDiffers)
        return;

    const auto* left = block.getReadPointer (0);
    const auto* right = block.getReadPointer (1);

    for (int i = 0; i < count && ! rightDiffers; ++i)
        rightDiffers = left[i] != right[i];
}
