#include "lv2/PortParameters.h"

#include "lv2/LV2Ports.h"
#include "processor/ParameterLayout.h"
#include "processor/PluginConstants.h"
#include "processor/PluginParameters.h"

#include <cmath>

namespace
{
using PluginParameters::bypassId;
using PluginParameters::knobCount;
using PluginParameters::knobs;
} // namespace

PortParameters::PortParameters (PortWriter writerToUse)
    : AudioProcessor (BusesProperties()),
      parameters (*this, nullptr, "Pelorvane", createParameterLayout()),
      writeToPort (std::move (writerToUse))
{
    parameters.addParameterListener (bypassId, this);

    for (const auto& knob : knobs)
        parameters.addParameterListener (knob.id, this);
}

PortParameters::~PortParameters()
{
    parameters.removeParameterListener (bypassId, this);

    for (const auto& knob : knobs)
        parameters.removeParameterListener (knob.id, this);
}

const juce::String PortParameters::getName() const
{
    return PluginConstants::pluginName;
}

void PortParameters::showPortValue (std::uint32_t portIndex, float value)
{
    if (! std::isfinite (value))
        return;

    juce::RangedAudioParameter* parameter = nullptr;
    auto plainValue = value;

    if (portIndex == LV2Ports::enabled)
    {
        parameter = parameters.getParameter (bypassId);
        plainValue = value >= 0.5f ? 0.0f : 1.0f;
    }
    else if (portIndex >= LV2Ports::firstKnob && portIndex < LV2Ports::enabled)
    {
        parameter = parameters.getParameter (knobs[portIndex - LV2Ports::firstKnob].id);
    }

    if (parameter == nullptr)
        return;

    const juce::ScopedValueSetter<bool> showing (showingPortValue, true);
    parameter->setValueNotifyingHost (parameter->convertTo0to1 (plainValue));
}

void PortParameters::parameterChanged (const juce::String& parameterID, float newValue)
{
    if (showingPortValue)
        return;

    if (parameterID == bypassId)
    {
        writeToPort (LV2Ports::enabled, 1.0f - newValue);
        return;
    }

    for (int k = 0; k < knobCount; ++k)
        if (parameterID == knobs[k].id)
            writeToPort (LV2Ports::firstKnob + static_cast<std::uint32_t> (k), newValue);
}
