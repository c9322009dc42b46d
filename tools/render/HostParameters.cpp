#include "render/HostParameters.h"

#include "render/CommandLineOptions.h"

juce::String HostParameters::apply (juce::AudioProcessor& processor, const RenderSettings& settings)
{
    for (const auto& [name, value] : settings.knobValues)
    {
        auto* parameter = find (processor, name);

        if (parameter == nullptr)
            return "the plug-in has no parameter called \"" + name + "\"";

        // The plug-in's own text parsing maps the value onto its range and step, exactly
        // as when a user types it into a host's parameter field.
        parameter->setValueNotifyingHost (parameter->getValueForText (juce::String (value)));
    }

    auto* bypass = findBypass (processor);

    if (bypass == nullptr)
        return "the plug-in has no bypass parameter";

    bypass->setValueNotifyingHost (settings.bypass ? 1.0f : 0.0f);
    return {};
}

juce::String HostParameters::describe (juce::AudioProcessor& processor)
{
    juce::StringArray parts;

    for (const auto& knob : CommandLineOptions::knobs())
    {
        if (auto* parameter = find (processor, knob.parameterName))
        {
            const auto label = parameter->getLabel();
            parts.add (juce::String (knob.parameterName) + " " + parameter->getCurrentValueAsText() + (label.isEmpty() ? "" : " " + label));
        }
    }

    if (auto* bypass = findBypass (processor))
        parts.add (bypass->getValue() >= 0.5f ? "bypassed" : "active");

    return parts.joinIntoString (", ");
}

juce::AudioProcessorParameter* HostParameters::find (juce::AudioProcessor& processor, const juce::String& name)
{
    for (auto* parameter : processor.getParameters())
        if (parameter->getName (128) == name)
            return parameter;

    return nullptr;
}

juce::AudioProcessorParameter* HostParameters::findBypass (juce::AudioProcessor& processor)
{
    if (auto* bypass = processor.getBypassParameter())
        return bypass;

    return find (processor, "Bypass");
}
