// The web page's parameter arithmetic (source/web/ParameterSteps.h, which the page's engine
// exports and the page's own JavaScript is checked against in the browser) gives exactly the
// values the plug-in's framework parameters store.
#include "web/ParameterSteps.h"

#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <random>

namespace
{
void expectSameAsFramework (juce::RangedAudioParameter& parameter, float maximum, float step)
{
    std::vector<float> values;

    for (int k = -20; k <= 1020; ++k)
    {
        values.push_back (static_cast<float> (k) * maximum / 1000.0f);
        values.push_back (static_cast<float> (k) * maximum / 1000.0f + 1.0e-4f);
    }

    std::mt19937 random (20);
    std::uniform_real_distribution<float> anywhere (-0.1f * maximum, 1.1f * maximum);

    for (int k = 0; k < 20000; ++k)
        values.push_back (anywhere (random));

    for (const auto value : values)
    {
        // As a host, the editor's knobs and the renderer's options set it.
        parameter.setValueNotifyingHost (parameter.convertTo0to1 (value));
        ASSERT_EQ (ParameterSteps::settle (value, maximum, step), parameter.convertFrom0to1 (parameter.getValue())) << value;

        parameter.setValueNotifyingHost (parameter.getValueForText (juce::String (value)));
        ASSERT_EQ (ParameterSteps::settle (juce::String (value).getFloatValue(), maximum, step), parameter.convertFrom0to1 (parameter.getValue())) << value;

        ASSERT_EQ (ParameterSteps::toProportion (value, maximum, step), parameter.convertTo0to1 (value)) << value;
    }
}
} // namespace

TEST (WebParameterSteps, AreTheFrameworksParameterValues)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    testing::internal::CaptureStdout();
    PelorvaneAudioProcessor processor;
    testing::internal::GetCapturedStdout();

    for (const auto* id : { "Space", "Lumens", "Tone" })
        expectSameAsFramework (*processor.parameters.getParameter (id), 10.0f, 0.1f);

    expectSameAsFramework (*processor.parameters.getParameter ("Mix"), 100.0f, 1.0f);
}
