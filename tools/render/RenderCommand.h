#pragma once

#include "render/InputSignal.h"
#include "render/OfflineRenderer.h"
#include "render/RenderSettings.h"
#include "render/SignalMeter.h"
#include "render/WavFileSink.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdio>
#include <functional>
#include <memory>

/** One run of the renderer from settings to files: opens the input (or makes the demo
    phrase), sets up the effect, renders, writes the WAV file and the spectrogram, and
    reports. Output files appear only when everything has succeeded.
*/
class RenderCommand
{
public:
    enum ExitCode
    {
        success = 0,
        failure = 1,
        badCommandLine = 2,
        interrupted = 130
    };

    RenderCommand (const RenderSettings& settings, std::FILE* out, std::FILE* err, std::function<bool()> cancelRequested);

    int run();

    static constexpr double minimumSampleRate = 8000.0;
    static constexpr double maximumSampleRate = 384000.0;

private:
    class PendingFile;

    std::unique_ptr<InputSignal> openInput();
    std::unique_ptr<juce::AudioFormatReader> keepFramesPresent (std::unique_ptr<juce::AudioFormatReader> reader, juce::AudioFormatManager& formats);
    bool checkInput (const InputSignal& input);
    bool openOutputs (PendingFile& wavFile, std::unique_ptr<PendingFile>& pictureFile);
    bool commitOutputs (PendingFile& wavFile, PendingFile* pictureFile);
    void noteChannelHandling (const InputSignal& input);
    void noteRendering (const InputSignal& input, const juce::String& settingsText);
    void noteAfterRendering (const InputSignal& input, const OfflineRenderer::Outcome& outcome, const SignalMeter& output);
    void noteFileFormat (const WavFileSink::Ending& ending);
    std::unique_ptr<juce::AudioProcessor> createEffect (double sampleRate);
    OfflineRenderer::Outcome renderThrough (juce::AudioProcessor& effect, InputSignal& input, SignalMeter& fed, SignalMeter& output, AudioSink& file);
    bool writeSpectrogram (juce::FileOutputStream& stream, const InputSignal& input, const SignalMeter& fed, const SignalMeter& output, const juce::String& settingsText);
    void printSummary (const InputSignal& input, const OfflineRenderer::Outcome& outcome, const SignalMeter& fed, const SignalMeter& output, double seconds);

    int fail (const juce::String& message);
    void note (const juce::String& message);

    RenderSettings settings;
    std::FILE* out;
    std::FILE* err;
    std::function<bool()> cancelRequested;
};
