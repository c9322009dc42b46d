#pragma once

#include "processor/PluginParameters.h"

#include <cstdint>

/** The LV2 plug-in's ports by index, as its data declares them and hosts connect them: stereo
    audio in and out, then one input control port per knob of PluginParameters::knobs (symbol
    and all), then the host's on/off switch.
*/
namespace LV2Ports
{
enum Index : std::uint32_t
{
    audioInLeft,
    audioInRight,
    audioOutLeft,
    audioOutRight,
    firstKnob,
    enabled = firstKnob + PluginParameters::knobCount,
    count
};

struct AudioPort
{
    const char* symbol;
    const char* name;
    bool isInput;
};

inline constexpr AudioPort audio[] = {
    { "in_l", "Left In", true },
    { "in_r", "Right In", true },
    { "out_l", "Left Out", false },
    { "out_r", "Right Out", false },
};

inline constexpr auto enabledSymbol = "enabled";
inline constexpr auto enabledName = "Enabled";
} // namespace LV2Ports
