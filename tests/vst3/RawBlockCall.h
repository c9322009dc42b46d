#pragma once

#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstprocesscontext.h>

/** One process call as a host's audio engine makes it, set up once and reused block after
    block without allocating: a stereo bus in and a stereo bus out (separate buffers), the
    parameter-change lists in and out, and the process context of a running transport that
    moves on with every block.
*/
class RawBlockCall
{
public:
    RawBlockCall (double sampleRate, Steinberg::Vst::IParameterChanges* changesIn, Steinberg::Vst::IParameterChanges* changesOut)
    {
        using Context = Steinberg::Vst::ProcessContext;

        input.numChannels = 2;
        input.channelBuffers32 = inputChannels;
        output.numChannels = 2;
        output.channelBuffers32 = outputChannels;

        context.state = Context::kPlaying | Context::kTempoValid | Context::kTimeSigValid | Context::kProjectTimeMusicValid | Context::kContTimeValid;
        context.sampleRate = sampleRate;
        context.tempo = 120.0;
        context.timeSigNumerator = 4;
        context.timeSigDenominator = 4;

        data.processMode = Steinberg::Vst::kRealtime;
        data.symbolicSampleSize = Steinberg::Vst::kSample32;
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &input;
        data.outputs = &output;
        data.inputParameterChanges = changesIn;
        data.outputParameterChanges = changesOut;
        data.processContext = &context;
    }

    /** The call for the next block; the transport moves on by the block's length. */
    Steinberg::Vst::ProcessData& next (const float* inLeft, const float* inRight, float* outLeft, float* outRight, int numSamples)
    {
        inputChannels[0] = const_cast<float*> (inLeft);
        inputChannels[1] = const_cast<float*> (inRight);
        outputChannels[0] = outLeft;
        outputChannels[1] = outRight;
        data.numSamples = numSamples;

        context.projectTimeSamples = position;
        context.continousTimeSamples = position;
        context.projectTimeMusic = double (position) / context.sampleRate * context.tempo / 60.0;
        position += numSamples;
        return data;
    }

private:
    float* inputChannels[2] {};
    float* outputChannels[2] {};
    Steinberg::Vst::AudioBusBuffers input, output;
    Steinberg::Vst::ProcessContext context {};
    Steinberg::Vst::ProcessData data;
    Steinberg::int64 position = 0;
};
