#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>

/** The audio to be rendered, from a file or from memory, handed out in host-sized
    stereo blocks: a stereo file as it is, a mono file on both sides (as a host feeds a
    mono track into a stereo effect), a file with more channels by its first two.
*/
class InputSignal
{
public:
    InputSignal (std::unique_ptr<juce::AudioFormatReader> reader, juce::String description);
    InputSignal (juce::AudioBuffer<float> samples, double sampleRate, juce::String description);

    double getSampleRate() const { return sampleRate; }
    juce::int64 getLengthInSamples() const { return length; }
    int getNumChannels() const { return numChannels; }
    const juce::String& getDescription() const { return description; }

    /** Fills the first two channels of `block` with `count` samples from `start`, silence
        past the end. Returns false if the file could not be read.
    */
    bool read (juce::AudioBuffer<float>& block, juce::int64 start, int count);

    /** True once a block read so far had a right channel unlike its left one. */
    bool rightChannelDiffered() const { return rightDiffers; }

private:
    bool readSource (juce::AudioBuffer<float>& block, juce::int64 start, int count);
    void noteDifferingChannels (const juce::AudioBuffer<float>& block, int count);

    std::unique_ptr<juce::AudioFormatReader> reader;
    juce::AudioBuffer<float> memory;
    double sampleRate;
    juce::int64 length;
    int numChannels;
    juce::String description;
    bool rightDiffers = false;
};
