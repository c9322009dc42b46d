#pragma once

#include "processor/PluginParameters.h"

#include <algorithm>
#include <cmath>

/** What a knob parameter of the plug-in (range 0 to maximum, a step, linear) stores
    when it is given a value: the framework's single-precision arithmetic written out without
    the framework, so that the web page's knobs and its render settings, and the LV2 plug-in's
    control ports, land on exactly the values the VST3 plug-in's parameters (and the renderer's
    options) do. Tested against the framework's own parameter objects
    (tests/processor/ParameterStepsTest.cpp).
*/
namespace ParameterSteps
{
/** The nearest step from the range's start, kept within the range. */
inline float snap (float value, float maximum, float step)
{
    const float start = 0.0f;

    if (step > 0.0f)
        value = start + step * std::floor ((value - start) / step + 0.5f);

    return (value <= start || maximum <= start) ? start : (value >= maximum ? maximum : value);
}

/** The value as a position from 0 to 1 in the range, after snapping. */
inline float toProportion (float value, float maximum, float step)
{
    const float start = 0.0f;
    return std::clamp ((snap (value, maximum, step) - start) / (maximum - start), 0.0f, 1.0f);
}

/** The value at a position from 0 to 1 in the range, snapped. */
inline float fromProportion (float proportion, float maximum, float step)
{
    const float start = 0.0f;
    proportion = std::clamp (proportion, 0.0f, 1.0f);
    return snap (start + (maximum - start) * proportion, maximum, step);
}

/** What the parameter holds once set to `value` (through its 0-to-1 form, as hosts, the
    editor's knobs and the renderer's options set it). */
inline float settle (float value, float maximum, float step)
{
    return fromProportion (toProportion (value, maximum, step), maximum, step);
}

/** What the knob's parameter holds once set to `value`; a value that is no number at all (a
    host's or a page's garbage) leaves the knob at its default. */
inline float settle (float value, const KnobParameter& knob)
{
    return settle (std::isfinite (value) ? value : knob.defaultValue, knob.maximum, knob.step);
}
} // namespace ParameterSteps
