#pragma once

#include "vst3/VST3SdkHeaders.h"

#include <algorithm>
#include <array>

/** Cuts a host's process call into calls no longer than the block size the host announced
    in its processing setup. Some hosts send longer blocks (offline bounces, block size
    changed without a new setup); the framework's buffers only hold the announced size.

    Each piece sees the host's buffers from its own offset on. The host's parameter changes
    and events go with the first piece, so they take effect at the start of the block as
    they would without the split; changes for the host are collected with the last piece.
    All storage is held here, so the audio thread never allocates.
*/
class BlockSplitter
{
public:
    /** More buses or channels than this is a layout the component never accepts. */
    static constexpr int maxBusesPerSide = 4;
    static constexpr int maxChannelsPerBus = 32;

    /** Whether every bus of the call fits the storage for the pieces. */
    static bool fits (const Steinberg::Vst::ProcessData& data);

    /** The call with its audio left out: the framework then only takes the parameter changes. */
    static Steinberg::Vst::ProcessData withoutAudio (const Steinberg::Vst::ProcessData& data);

    /** Writes silence to every output channel the host handed over. */
    static void silenceOutputs (const Steinberg::Vst::ProcessData& data, int bytesPerSample);

    /** Calls processPiece with each piece in turn; stops at the first result that is not
        kResultOk and returns it.
    */
    template <typename ProcessPiece>
    Steinberg::tresult process (const Steinberg::Vst::ProcessData& data, int maxPieceLength, int bytesPerSample, ProcessPiece&& processPiece)
    {
        Steinberg::tresult result = Steinberg::kResultOk;

        for (int start = 0; start < data.numSamples && result == Steinberg::kResultOk; start += maxPieceLength)
        {
            const auto length = std::min (maxPieceLength, data.numSamples - start);
            result = processPiece (makePiece (data, start, length, bytesPerSample));
        }

        return result;
    }

private:
    struct Side
    {
        std::array<Steinberg::Vst::AudioBusBuffers, maxBusesPerSide> buses;
        std::array<std::array<void*, maxChannelsPerBus>, maxBusesPerSide> channels;

        Steinberg::Vst::AudioBusBuffers* offset (const Steinberg::Vst::AudioBusBuffers* hostBuses, int numBuses, int start, int bytesPerSample);
    };

    Steinberg::Vst::ProcessData& makePiece (const Steinberg::Vst::ProcessData& data, int start, int length, int bytesPerSample);

    Side inputs, outputs;
    Steinberg::Vst::ProcessContext context {};
    Steinberg::Vst::ProcessData piece;
};
