#include "render/WavFileSink.h"

std::unique_ptr<WavFileSink> WavFileSink::create (std::unique_ptr<juce::FileOutputStream>& stream, double sampleRate, bool floatSamples)
{
    // 32-bit WAV data is written as IEEE float.
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (stream.get(), sampleRate, 2, floatSamples ? 32 : 24, {}, 0));

    if (writer == nullptr)
        return nullptr;

    stream.release(); // now owned by the writer
    return std::unique_ptr<WavFileSink> (new WavFileSink (std::move (writer)));
}

WavFileSink::WavFileSink (std::unique_ptr<juce::AudioFormatWriter> formatWriter)
    : writer (std::move (formatWriter)), bytesPerFrame (writer->getNumChannels() * writer->getBitsPerSample() / 8)
{
}

bool WavFileSink::write (const float* const* channels, int numChannels, int numSamples)
{
    if (! writer->writeFromFloatArrays (channels, numChannels, numSamples))
        return false;

    sampleBytes += static_cast<juce::uint64> (numSamples) * static_cast<juce::uint64> (bytesPerFrame);
    return true;
}

WavFileSink::Ending WavFileSink::finish()
{
    Ending ending;
    ending.silentFramesAdded = silentFramesNeeded (sampleBytes, bytesPerFrame);

    if (ending.silentFramesAdded > 0)
    {
        juce::AudioBuffer<float> silence (2, ending.silentFramesAdded);
        silence.clear();
        write (silence.getArrayOfReadPointers(), 2, ending.silentFramesAdded);
    }

    ending.rf64 = sampleBytes >= rf64Threshold;
    writer.reset();
    return ending;
}

int WavFileSink::silentFramesNeeded (juce::uint64 bytesOfSamples, int frameSize)
{
    const auto largestPlainRiffSize = rf64Threshold - 1;

    if (bytesOfSamples >= rf64Threshold || bytesOfSamples + riffBytesBesidesSamples <= largestPlainRiffSize)
        return 0;

    const auto missing = rf64Threshold - bytesOfSamples;
    const auto frameBytes = static_cast<juce::uint64> (frameSize);
    return static_cast<int> ((missing + frameBytes - 1) / frameBytes);
}
