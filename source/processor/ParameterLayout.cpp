#include "processor/ParameterLayout.h"

#include "processor/PluginParameters.h"

namespace
{
std::unique_ptr<juce::AudioParameterFloat> makeKnobParameter (const KnobParameter& knob)
{
    return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { knob.id, 1 },
                                                        knob.id,
                                                        juce::NormalisableRange<float> (0.0f, knob.maximum, knob.step),
                                                        knob.defaultValue,
                                                        juce::AudioParameterFloatAttributes().withLabel (knob.unit));
}
} // namespace

juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout()
{
    using PluginParameters::bypassId;

    auto bypass = std::make_unique<juce::AudioParameterBool> (
        juce::ParameterID { bypassId, 1 },
        bypassId,
        false,
        juce::AudioParameterBoolAttributes()
            .withStringFromValueFunction ([] (bool on, int) { return juce::String (on ? "Bypassed" : "Active"); })
            .withValueFromStringFunction ([] (const juce::String& text) { return text == "Bypassed"; }));

    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add (std::move (bypass));

    for (const auto& knob : PluginParameters::knobs)
        layout.add (makeKnobParameter (knob));

    return layout;
}
