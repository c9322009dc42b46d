#include "RenderTestSupport.h"

#include "processor/PluginProcessor.h"

#include <cmath>
#include <cstring>

namespace rendertest
{
juce::File renderTool()
{
    return juce::File (PELORVANE_RENDER_TOOL);
}

juce::File vst3Bundle()
{
    return juce::File (PELORVANE_VST3_BUNDLE);
}

RunResult runRenderer (const juce::StringArray& arguments)
{
    juce::StringArray command (renderTool().getFullPathName());
    command.addArray (arguments);

    juce::ChildProcess process;
    RunResult result;

    if (! process.start (command, juce::ChildProcess::wantStdOut | juce::ChildProcess::wantStdErr))
        return result;

    result.output = process.readAllProcessOutput();
    process.waitForProcessToFinish (120000);
    result.exitCode = static_cast<int> (process.getExitCode());
    return result;
}

ScratchFolder::ScratchFolder()
    : folder (juce::File::getSpecialLocation (juce::File::tempDirectory)
                  .getNonexistentChildFile ("pelorvane-render-test", {}, false))
{
    folder.createDirectory();
}

ScratchFolder::~ScratchFolder()
{
    folder.deleteRecursively();
}

juce::StringArray ScratchFolder::fileNames() const
{
    juce::StringArray names;
    for (const auto& entry : juce::RangedDirectoryIterator (folder, false, "*", juce::File::findFilesAndDirectories))
        names.add (entry.getFile().getFileName());

    names.sort (false);
    return names;
}

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& samples, double sampleRate, int bitsPerSample)
{
    juce::WavAudioFormat wav;
    writeAudio (wav, file, samples, sampleRate, bitsPerSample);
}

void writeAudio (juce::AudioFormat& format, const juce::File& file, const juce::AudioBuffer<float>& samples, double sampleRate, int bitsPerSample)
{
    file.deleteFile();
    auto stream = std::make_unique<juce::FileOutputStream> (file);
    std::unique_ptr<juce::AudioFormatWriter> writer (format.createWriterFor (stream.get(), sampleRate, static_cast<unsigned int> (samples.getNumChannels()), bitsPerSample, {}, 0));

    if (writer == nullptr)
        return;

    stream.release();
    writer->writeFromAudioSampleBuffer (samples, 0, samples.getNumSamples());
}

void removeLastBytes (const juce::File& file, juce::int64 count)
{
    juce::FileOutputStream stream (file);
    stream.setPosition (file.getSize() - count);
    stream.truncate();
}

void declareWavDataBytes (const juce::File& wavFile, juce::uint32 bytes)
{
    juce::MemoryBlock contents;
    wavFile.loadFileAsData (contents);
    auto* data = static_cast<char*> (contents.getData());

    for (size_t i = 12; i + 8 <= contents.getSize(); ++i)
    {
        if (std::memcmp (data + i, "data", 4) == 0)
        {
            const auto littleEndian = juce::ByteOrder::swapIfBigEndian (bytes);
            std::memcpy (data + i + 4, &littleEndian, 4);
            wavFile.replaceWithData (contents.getData(), contents.getSize());
            return;
        }
    }
}

AudioFile readAudio (const juce::File& file)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

    AudioFile result;

    if (reader == nullptr)
        return result;

    result.sampleRate = reader->sampleRate;
    result.bitsPerSample = static_cast<int> (reader->bitsPerSample);
    result.usesFloatingPoint = reader->usesFloatingPointData;
    result.samples.setSize (static_cast<int> (reader->numChannels), static_cast<int> (reader->lengthInSamples));
    reader->read (&result.samples, 0, result.samples.getNumSamples(), 0, true, true);
    return result;
}

juce::AudioBuffer<float> toneAndNoise (int length, double sampleRate, int channels)
{
    juce::AudioBuffer<float> samples (channels, length);
    juce::Random random (42);

    for (int i = 0; i < length; ++i)
    {
        const auto time = i / sampleRate;
        samples.setSample (0, i, 0.5f * static_cast<float> (std::exp (-3.0 * time) * std::sin (2.0 * juce::MathConstants<double>::pi * 440.0 * time)));

        for (int channel = 1; channel < channels; ++channel)
            samples.setSample (channel, i, 0.3f * (random.nextFloat() - 0.5f));
    }

    return samples;
}

juce::AudioBuffer<float> processDirectly (const juce::AudioBuffer<float>& input, double sampleRate, const EffectSettings& settings, int blockSize, double tailSeconds)
{
    PelorvaneAudioProcessor processor;

    for (const auto& [name, value] : settings.knobs)
    {
        auto* parameter = processor.parameters.getParameter (name);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    processor.parameters.getParameter ("Bypass")->setValueNotifyingHost (settings.bypass ? 1.0f : 0.0f);
    processor.prepareToPlay (sampleRate, blockSize);

    const int length = input.getNumSamples() + static_cast<int> (tailSeconds * sampleRate);
    juce::AudioBuffer<float> output (2, length);
    output.clear();

    for (int channel = 0; channel < 2; ++channel)
        output.copyFrom (channel, 0, input, juce::jmin (channel, input.getNumChannels() - 1), 0, input.getNumSamples());

    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;

    for (int start = 0; start < length; start += blockSize)
    {
        const int count = juce::jmin (blockSize, length - start);
        block.clear();

        for (int channel = 0; channel < 2; ++channel)
            block.copyFrom (channel, 0, output, channel, start, count);

        processor.processBlock (block, midi);

        for (int channel = 0; channel < 2; ++channel)
            output.copyFrom (channel, start, block, channel, 0, count);
    }

    return output;
}

int endOfSignal (const juce::AudioBuffer<float>& samples, float thresholdDb)
{
    const float threshold = juce::Decibels::decibelsToGain (thresholdDb);

    for (int i = samples.getNumSamples() - 1; i >= 0; --i)
        for (int channel = 0; channel < samples.getNumChannels(); ++channel)
            if (std::abs (samples.getSample (channel, i)) >= threshold)
                return i + 1;

    return 0;
}

bool sameSamples (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int length)
{
    if (a.getNumChannels() != b.getNumChannels() || a.getNumSamples() < length || b.getNumSamples() < length)
        return false;

    for (int channel = 0; channel < a.getNumChannels(); ++channel)
        if (std::memcmp (a.getReadPointer (channel), b.getReadPointer (channel), sizeof (float) * static_cast<size_t> (length)) != 0)
            return false;

    return true;
}
} // namespace rendertest
