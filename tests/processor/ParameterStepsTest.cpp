// The parameter arithmetic that the web page's engine and the LV2 plug-in share
// (source/processor/ParameterSteps.h; the page's own JavaScript is checked against it in the
// browser) gives exactly the values the plug-in's framework parameters store.
#include "processor/ParameterSteps.h"

#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <limits>
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

TEST (ParameterSteps, AreTheFrameworksParameterValues)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    testing::internal::CaptureStdout();
    PelorvaneAudioProcessor processor;
    testing::internal::GetCapturedStdout();

    for (const auto& knob : PluginParameters::knobs)
    {
        expectSameAsFramework (*processor.parameters.getParameter (knob.id), knob.maximum, knob.step);

        // A value that is no number leaves the knob at its default.
        EXPECT_EQ (ParameterSteps::settle (std::numeric_limits<float>::quiet_NaN(), knob), knob.defaultValue);
        EXPECT_EQ (ParameterSteps::settle (-std::numeric_limits<float>::infinity(), knob), knob.defaultValue);
        EXPECT_EQ (ParameterSteps::settle (1.0e30f, knob), knob.maximum);
    }
}
