#pragma once

#include "dsp/mydsp.h"
#include "lv2/LV2Ports.h"
#include "processor/BlockJob.h"

#include <array>
#include <cstdint>

/** One instance of the LV2 plug-in: the engine run through BlockJob, as the VST3 processor and
    the web page run it, with its ports as the only way in and out. Nothing of the framework.

    run() works on the instance's own stereo scratch, a piece at a time, so that any block
    length, buffers shared between inputs and outputs, and unconnected ports all come to the
    same: an unconnected input is heard as silence, an unconnected output is not written, an
    unconnected control port keeps its default. It allocates nothing, takes no lock and makes
    no system call.
*/
class PelorvaneLV2
{
public:
    explicit PelorvaneLV2 (double sampleRate);

    void connectPort (std::uint32_t port, void* data);

    /** Starts from silence, as after a prepare: the host switched the plug-in on. */
    void activate();

    void run (std::uint32_t numSamples);

    /** The settings the control ports hold, each as the VST3 parameter would store it. */
    BlockJob::Settings readControls() const;

private:
    void runPiece (std::uint32_t offset, int length, const BlockJob::Settings& settings);

    mydsp network;
    BlockJob job { network };
    int engineRate = 0;

    std::array<const float*, 2> inputs {};
    std::array<float*, 2> outputs {};
    std::array<const float*, LV2Ports::count - LV2Ports::firstKnob> controls {};

    static constexpr int pieceLength = 256;
    std::array<std::array<float, pieceLength>, 2> scratch {};
};
