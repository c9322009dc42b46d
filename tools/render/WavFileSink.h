#pragma once

#include "render/AudioSink.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <memory>

/** The stereo WAV file the rendered audio goes to, 24-bit or 32-bit float.

    A plain WAV file's sizes are 32-bit. The framework's writer finishes a file holding 4 GiB
    of samples or more as RF64 instead, but it decides on the samples alone: samples less
    than a header's worth short of 4 GiB would get a RIFF size that has wrapped round. Such
    a file is ended with a few silent frames that take it to RF64, rather than be malformed
    or lose the end of its audio.
*/
class WavFileSink : public AudioSink
{
public:
    /** Takes over `stream` if a writer could be made for it; returns nullptr otherwise. */
    static std::unique_ptr<WavFileSink> create (std::unique_ptr<juce::FileOutputStream>& stream, double sampleRate, bool floatSamples);

    bool write (const float* const* channels, int numChannels, int numSamples) override;

    struct Ending
    {
        bool rf64 = false;
        int silentFramesAdded = 0;
    };

    /** Completes the header and closes the file. */
    Ending finish();

    /** What the framework's writer counts in the RIFF size besides the samples. */
    static constexpr juce::uint64 riffBytesBesidesSamples = 96;

    /** From this many bytes of samples on, the file is written as RF64. */
    static constexpr juce::uint64 rf64Threshold = juce::uint64 (1) << 32;

    /** Frames of silence that take `bytesOfSamples` clear of a wrapped RIFF size (mostly none). */
    static int silentFramesNeeded (juce::uint64 bytesOfSamples, int frameSize);

private:
    explicit WavFileSink (std::unique_ptr<juce::AudioFormatWriter> formatWriter);

    std::unique_ptr<juce::AudioFormatWriter> writer;
    int bytesPerFrame;
    juce::uint64 sampleBytes = 0;
};
