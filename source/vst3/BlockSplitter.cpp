#include "vst3/BlockSplitter.h"

#include <cstring>

using namespace Steinberg;

namespace
{
bool sideFits (const Vst::AudioBusBuffers* buses, int32 numBuses)
{
    if (numBuses > BlockSplitter::maxBusesPerSide)
        return false;

    for (int32 i = 0; i < numBuses; ++i)
        if (buses[i].numChannels > BlockSplitter::maxChannelsPerBus)
            return false;

    return true;
}

// The context of a piece: the host's, moved on by the samples that came before it.
void advance (Vst::ProcessContext& context, int samples)
{
    using Context = Vst::ProcessContext;

    context.projectTimeSamples += samples;

    if ((context.state & Context::kContTimeValid) != 0)
        context.continousTimeSamples += samples;

    if ((context.state & Context::kProjectTimeMusicValid) != 0 && (context.state & Context::kTempoValid) != 0 && context.sampleRate > 0.0)
        context.projectTimeMusic += samples / context.sampleRate * context.tempo / 60.0;
}
} // namespace

bool BlockSplitter::fits (const Vst::ProcessData& data)
{
    return sideFits (data.inputs, data.numInputs) && sideFits (data.outputs, data.numOutputs);
}

Vst::ProcessData BlockSplitter::withoutAudio (const Vst::ProcessData& data)
{
    auto flush = data;
    flush.numSamples = 0;
    flush.numInputs = 0;
    flush.numOutputs = 0;
    flush.inputs = nullptr;
    flush.outputs = nullptr;
    return flush;
}

void BlockSplitter::silenceOutputs (const Vst::ProcessData& data, int bytesPerSample)
{
    if (data.outputs == nullptr || data.numSamples <= 0)
        return;

    for (int32 bus = 0; bus < data.numOutputs; ++bus)
    {
        auto** channels = reinterpret_cast<void**> (data.outputs[bus].channelBuffers32);

        for (int32 channel = 0; channels != nullptr && channel < data.outputs[bus].numChannels; ++channel)
            if (channels[channel] != nullptr)
                std::memset (channels[channel], 0, static_cast<size_t> (bytesPerSample) * static_cast<size_t> (data.numSamples));
    }
}

Vst::AudioBusBuffers* BlockSplitter::Side::offset (const Vst::AudioBusBuffers* hostBuses, int numBuses, int start, int bytesPerSample)
{
    if (hostBuses == nullptr)
        return nullptr;

    for (int bus = 0; bus < numBuses; ++bus)
    {
        const auto& hostBus = hostBuses[bus];
        auto& pieceBus = buses[static_cast<size_t> (bus)];
        pieceBus = hostBus;

        // A bus without channel pointers stays without, for the framework to judge.
        if (hostBus.channelBuffers32 == nullptr)
            continue;

        auto& pointers = channels[static_cast<size_t> (bus)];
        auto** hostChannels = reinterpret_cast<char**> (hostBus.channelBuffers32);

        for (int channel = 0; channel < hostBus.numChannels; ++channel)
            pointers[static_cast<size_t> (channel)] = hostChannels[channel] != nullptr
                                                          ? hostChannels[channel] + static_cast<std::ptrdiff_t> (start) * bytesPerSample
                                                          : nullptr;

        pieceBus.channelBuffers32 = reinterpret_cast<Vst::Sample32**> (pointers.data());
    }

    return buses.data();
}

Vst::ProcessData& BlockSplitter::makePiece (const Vst::ProcessData& data, int start, int length, int bytesPerSample)
{
    const bool first = start == 0;
    const bool last = start + length == data.numSamples;

    piece = data;
    piece.numSamples = length;
    piece.inputs = inputs.offset (data.inputs, data.numInputs, start, bytesPerSample);
    piece.outputs = outputs.offset (data.outputs, data.numOutputs, start, bytesPerSample);

    piece.inputParameterChanges = first ? data.inputParameterChanges : nullptr;
    piece.inputEvents = first ? data.inputEvents : nullptr;
    piece.outputParameterChanges = last ? data.outputParameterChanges : nullptr;
    piece.outputEvents = last ? data.outputEvents : nullptr;

    if (data.processContext != nullptr)
    {
        context = *data.processContext;
        advance (context, start);
        piece.processContext = &context;
    }

    return piece;
}
