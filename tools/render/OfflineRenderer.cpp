#include "render/OfflineRenderer.h"

#include "dsp/mydsp.h"

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

TailGate::Limits OfflineRenderer::limitsFor (const InputSignal& input) const
{
    const double sampleRate = input.getSampleRate();

    TailGate::Limits limits;
    limits.inputLength = input.getLengthInSamples();
    limits.maxTailSamples = static_cast<juce::int64> (std::llround (options.tailLimitSeconds * sampleRate));
    limits.quietWindow = quietWindowSamples();
    limits.threshold = juce::Decibels::decibelsToGain (options.tailThresholdDb);
    limits.maxBlockSize = options.blockSize;
    limits.recentSamples = juce::jmax (1, static_cast<int> (0.1 * sampleRate));
    return limits;
}

OfflineRenderer::Outcome OfflineRenderer::render (InputSignal& input,
                                                  const std::vector<AudioSink*>& inputSinks,
                                                  const std::vector<AudioSink*>& outputSinks,
                                                  const ProgressCallback& progress)
{
    TailGate gate (limitsFor (input));
    SinkFan fedInput (inputSinks);
    SinkFan output (outputSinks);

    Outcome outcome;
    outcome.inputLength = input.getLengthInSamples();

    processor.setNonRealtime (true);
    processor.setRateAndBufferSizeDetails (input.getSampleRate(), options.blockSize);
    processor.prepareToPlay (input.getSampleRate(), options.blockSize);

    juce::AudioBuffer<float> block (2, options.blockSize);

    while (! gate.isFinished() && outcome.error.isEmpty())
    {
        outcome.error = renderBlock (input, block, gate, fedInput, output);

        if (progress && ! progress (gate.getRenderedLength(), outcome.inputLength))
        {
            outcome.cancelled = true;
            break;
        }
    }

    processor.releaseResources();

    outcome.tailCutByLimit = outcome.error.isEmpty() && ! outcome.cancelled && gate.wasCutByLimit();
    outcome.outputLength = gate.getWrittenLength();
    outcome.renderedLength = gate.getRenderedLength();
    return outcome;
}

juce::String OfflineRenderer::renderBlock (InputSignal& input, juce::AudioBuffer<float>& block, TailGate& gate, AudioSink& fedInput, AudioSink& output)
{
    const int blockSize = block.getNumSamples();
    const juce::int64 position = gate.getRenderedLength();

    if (! input.read (block, position, blockSize))
        return "reading the input failed at sample " + juce::String (position);

    const auto fedCount = static_cast<int> (juce::jlimit<juce::int64> (0, blockSize, input.getLengthInSamples() - position));
    if (fedCount > 0)
        fedInput.write (block.getArrayOfReadPointers(), 1, fedCount);

    juce::MidiBuffer midi;
    processor.processBlock (block, midi);

    const auto count = static_cast<int> (juce::jmin<juce::int64> (blockSize, gate.getRemainingAllowance()));
    if (! gate.push (block, count, output))
        return "writing the output failed";

    return {};
}
