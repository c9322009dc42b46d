#include "lv2/PelorvaneLV2.h"

#include "processor/HostSettings.h"
#include "processor/ParameterSteps.h"

#include <faust/gui/MapUI.h>

#include <algorithm>
#include <cmath>

PelorvaneLV2::PelorvaneLV2 (double sampleRate)
    : engineRate (static_cast<int> (HostSettings::usableSampleRate (sampleRate)))
{
    // The map is needed only to find the zones; the job keeps their addresses.
    MapUI zones;
    network.buildUserInterface (&zones);
    job.bindZones (zones);
    network.init (engineRate);
}

void PelorvaneLV2::connectPort (std::uint32_t port, void* data)
{
    using namespace LV2Ports;

    if (port == audioInLeft || port == audioInRight)
        inputs[port - audioInLeft] = static_cast<const float*> (data);
    else if (port == audioOutLeft || port == audioOutRight)
        outputs[port - audioOutLeft] = static_cast<float*> (data);
    else if (port >= firstKnob && port < count)
        controls[port - firstKnob] = static_cast<const float*> (data);
}

void PelorvaneLV2::activate()
{
    network.instanceClear();
}

BlockJob::Settings PelorvaneLV2::readControls() const
{
    using namespace PluginParameters;
    float values[knobCount];

    for (int k = 0; k < knobCount; ++k)
    {
        const auto* port = controls[(size_t) k];
        values[k] = port != nullptr ? ParameterSteps::settle (*port, knobs[k]) : knobs[k].defaultValue;
    }

    // A toggle is on above zero; no port, or no number at all, leaves the effect on.
    const auto* enabledPort = controls[LV2Ports::enabled - LV2Ports::firstKnob];
    const bool enabled = enabledPort == nullptr || ! std::isfinite (*enabledPort) || *enabledPort > 0.0f;

    BlockJob::Settings settings;
    settings.bypass = ! enabled;
    settings.space = values[space];
    settings.lumens = values[lumens];
    settings.tone = values[tone];
    settings.mix = values[mix];
    return settings;
}

void PelorvaneLV2::run (std::uint32_t numSamples)
{
    const auto settings = readControls();

    for (std::uint32_t done = 0; done < numSamples;)
    {
        const auto length = static_cast<int> (std::min<std::uint32_t> (numSamples - done, pieceLength));
        runPiece (done, length, settings);
        done += static_cast<std::uint32_t> (length);
    }
}

void PelorvaneLV2::runPiece (std::uint32_t offset, int length, const BlockJob::Settings& settings)
{
    // Both inputs are read before any output is written: a host may hand the same buffer to both.
    for (size_t c = 0; c < 2; ++c)
    {
        auto* piece = scratch[c].data();

        if (inputs[c] != nullptr)
            std::copy (inputs[c] + offset, inputs[c] + offset + length, piece);
        else
            std::fill (piece, piece + length, 0.0f);
    }

    float* channels[] = { scratch[0].data(), scratch[1].data() };
    job.process (channels, 2, length, settings);

    for (size_t c = 0; c < 2; ++c)
        if (outputs[c] != nullptr)
            std::copy (channels[c], channels[c] + length, outputs[c] + offset);
}
