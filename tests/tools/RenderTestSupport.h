#pragma once

#include <juce_audio_formats/juce_audio_formats.h>

#include <map>

/** Helpers shared by the renderer's tests: running the built tool, writing and reading
    audio files, and rendering through the processor directly for comparison.
*/
namespace rendertest
{
juce::File renderTool();
juce::File vst3Bundle();

struct RunResult
{
    int exitCode = -1;
    juce::String output; // standard output and standard error together
};

RunResult runRenderer (const juce::StringArray& arguments);

/** A folder of its own under the system's temporary folder, removed on destruction. */
class ScratchFolder
{
public:
    ScratchFolder();
    ~ScratchFolder();

    juce::File file (const juce::String& name) const { return folder.getChildFile (name); }
    juce::StringArray fileNames() const;

private:
    juce::File folder;
};

void writeWav (const juce::File& file, const juce::AudioBuffer<float>& samples, double sampleRate, int bitsPerSample = 32);

/** Writes with the given format (WAV, AIFF, FLAC ...). */
void writeAudio (juce::AudioFormat& format, const juce::File& file, const juce::AudioBuffer<float>& samples, double sampleRate, int bitsPerSample);

/** Damages a file the way a recorder that crashed leaves it: the header intact, the end missing. */
void removeLastBytes (const juce::File& file, juce::int64 count);

/** Makes a WAV file's header claim a data chunk of `bytes`, whatever the file holds. */
void declareWavDataBytes (const juce::File& wavFile, juce::uint32 bytes);

struct AudioFile
{
    juce::AudioBuffer<float> samples;
    double sampleRate = 0.0;
    int bitsPerSample = 0;
    bool usesFloatingPoint = false;
};

AudioFile readAudio (const juce::File& file);

/** A test signal: a decaying 440 Hz tone on the left, noise on the right. */
juce::AudioBuffer<float> toneAndNoise (int length, double sampleRate, int channels = 2);

/** Knob values by parameter name and the bypass switch, as given to the renderer. */
struct EffectSettings
{
    std::map<juce::String, float> knobs;
    bool bypass = false;
};

/** Runs `input` through a PelorvaneAudioProcessor driven directly: prepared at the rate,
    parameters set to plain values, `blockSize` blocks, then `tailSeconds` of silence.
*/
juce::AudioBuffer<float> processDirectly (const juce::AudioBuffer<float>& input, double sampleRate, const EffectSettings& settings, int blockSize, double tailSeconds);

/** Index one past the last sample at or above `thresholdDb` on either channel. */
int endOfSignal (const juce::AudioBuffer<float>& samples, float thresholdDb);

bool sameSamples (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b, int length);
} // namespace rendertest
