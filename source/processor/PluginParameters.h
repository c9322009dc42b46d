#pragma once

#include <cstddef>
#include <iterator>

/** One knob of the pedal as every front end presents it: a linear range from 0 to `maximum`
    on steps of `step` from 0.
*/
struct KnobParameter
{
    const char* id;          // the host parameter's ID and name, as saved states and hosts know it
    const char* symbol;      // the same in lower case: LV2 port symbol, option and page key
    float maximum;
    float step;
    float defaultValue;
    const char* unit;        // the host parameter's label: "%" or nothing
    int decimals;            // digits after the point in the value's text
    const char* meaning;     // what the knob does, in a few words (the renderer's help)
    const char* description; // the same as a title (screen readers, the LV2 port's comment)
};

/** The plug-in's parameters. This table is the only place their facts are written down: the
    processor's parameter layout, the editor, the renderer's options, the preset writer, the
    audio path's defaults, the LV2 plug-in and its data, and the web page (through
    pelorvane-write-plugin-tables) all take them from here. Plain C++, so that the tools that
    build without the framework can read it too.

    Changing an ID, a range or a step changes what saved sessions and presets restore.
*/
namespace PluginParameters
{
/** The pedal's footswitch: a host parameter of two states, off by default. */
inline constexpr auto bypassId = "Bypass";

/** The knobs in the order the pedal, the presets and the LV2 ports list them. */
enum KnobIndex
{
    space,
    lumens,
    tone,
    mix
};

inline constexpr KnobParameter knobs[] = {
    { "Space", "space", 10.0f, 0.1f, 5.0f, "", 1, "decay", "Decay time" },
    { "Lumens", "lumens", 10.0f, 0.1f, 5.0f, "", 1, "share of octave-up shimmer", "Share of octave-up shimmer" },
    { "Tone", "tone", 10.0f, 0.1f, 5.0f, "", 1, "damping: low is dark, high is bright", "Damping of the tail" },
    { "Mix", "mix", 100.0f, 1.0f, 50.0f, "%", 0, "wet/dry balance in percent", "Wet and dry balance" },
};

inline constexpr auto knobCount = static_cast<int> (std::size (knobs));
} // namespace PluginParameters
