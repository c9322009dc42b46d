#include "render/OfflineRenderer.h"

#include "dsp/mydsp.h"
#include "render/TailGate.h"

#include <cmath>

namespace
{
/** Passes one block on to several sinks. */
class SinkFan : public AudioSink
{
public:
    explicit SinkFan (const std::vector<AudioSink*>& targets)
        : sinks (targets) {}

    bool write (const float* const* channels, int numChannels, int numSamples) override
    {
        bool written = true;

        for (auto* sink : sinks)
            written = sink->write (channels, numChannels, numSamples) && written;

        return written;
    }

private:
    const std::vector<AudioSink*>& sinks;
};
} // namespace

OfflineRenderer::OfflineRenderer (juce::AudioProcessor& processorToDrive, const Options& renderOptions)
    : processor (processorToDrive), options (renderOptions)
{
}

int OfflineRenderer::quietWindowSamples()
{
    return mydsp::kLine4Size;
}

OfflineRenderer::Outcome OfflineRenderer::render (InputSignal& input,
                                                  const std::vector<AudioSink*>& inputSinks,
                                                  const std::vector<AudioSink*>& outputSinks,
                                                  const ProgressCallback& progress)
{
    const double sampleRate = input.getSampleRate();
    const int blockSize = options.blockSize;

    TailGate::Limits limits;
    limits.inputLength = input.getLengthInSamples();
    limits.maxTailSamples = static_cast<juce::int64> (std::llround (options.tailLimitSeconds * sampleRate));
    limits.quietWindow = quietWindowSamples();
    limits.threshold = juce::Decibels::decibelsToGain (options.tailThresholdDb);
    limits.maxBlockSize = blockSize;
    limits.recentSamples = juce::jmax (1, static_cast<int> (0.1 * sampleRate));
    TailGate gate (limits);

    SinkFan fedInput (inputSinks);
    SinkFan output (outputSinks);

    Outcome outcome;
    outcome.inputLength = limits.inputLength;

    processor.setNonRealtime (true);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    juce::AudioBuffer<float> block (2, blockSize);
    juce::MidiBuffer midi;

    while (! gate.isFinished())
    {
        const juce::int64 position = gate.getRenderedLength();

        if (! input.read (block, position, blockSize))
        {
            outcome.error = "reading the input failed at sample " + juce::String (position);
            break;
        }

        const auto fedCount = static_cast<int> (juce::jlimit<juce::int64> (0, blockSize, limits.inputLength - position));
        if (fedCount > 0)
            fedInput.write (block.getArrayOfReadPointers(), 1, fedCount);

        processor.processBlock (block, midi);
        midi.clear();

        const auto count = static_cast<int> (juce::jmin<juce::int64> (blockSize, gate.getRemainingAllowance()));
        if (! gate.push (block, count, output))
        {
            outcome.error = "writing the output failed";
            break;
        }

        if (progress && ! progress (gate.getRenderedLength(), limits.inputLength))
        {
            outcome.cancelled = true;
            break;
        }
    }

    processor.releaseResources();

    if (outcome.error.isEmpty() && ! outcome.cancelled)
        outcome.tailCutByLimit = gate.wasCutByLimit();

    outcome.outputLength = gate.getWrittenLength();
    outcome.renderedLength = gate.getRenderedLength();
    return outcome;
}
