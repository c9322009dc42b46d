// The web page's engine (source/web/WebEngine.h, compiled natively here as it is to WebAssembly
// for the page) gives the plug-in processor's samples, block for block, at the AudioWorklet's
// 128-sample quantum: processed, bypassed with the tail frozen, and with settings changed
// between blocks. The browser tests compare its WebAssembly build with pelorvane-render.
#include "web/WebEngine.h"

#include "demo/DemoPhraseSamples.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
struct Step
{
    int blocks;
    float space, lumens, tone, mix;
    bool bypass;
};

void setPlain (PelorvaneAudioProcessor& processor, const char* id, float value)
{
    auto& parameter = *processor.parameters.getParameter (id);
    parameter.setValueNotifyingHost (parameter.convertTo0to1 (value));
}

float plain (PelorvaneAudioProcessor& processor, const char* id)
{
    return processor.parameters.getRawParameterValue (id)->load();
}
} // namespace

TEST (WebEngine, GivesTheProcessorsSamplesAtTheWorkletsQuantum)
{
    const juce::ScopedJuceInitialiser_GUI juce;
    testing::internal::CaptureStdout();
    PelorvaneAudioProcessor processor;
    testing::internal::GetCapturedStdout();

    for (const double rate : { 44100.0, 48000.0 })
    {
        processor.setRateAndBufferSizeDetails (rate, 128);
        processor.prepareToPlay (rate, 128);
        auto* engine = pelorvane_create (rate);
        ASSERT_NE (engine, nullptr);

        std::vector<float> input (static_cast<std::size_t> (DemoPhraseSamples::length));
        DemoPhraseSamples::synthesize (input.data());

        const Step steps[] = { { 400, 7.0f, 8.0f, 3.7f, 40.0f, false },
                               { 300, 7.0f, 8.0f, 3.7f, 40.0f, true },
                               { 400, 9.9f, 10.0f, 0.0f, 100.0f, false },
                               { 200, 2.3f, 0.0f, 10.0f, 0.0f, false } };
        std::size_t position = 0;
        juce::AudioBuffer<float> block (2, 128);
        juce::MidiBuffer midi;

        for (const auto& step : steps)
        {
            setPlain (processor, "Space", step.space);
            setPlain (processor, "Lumens", step.lumens);
            setPlain (processor, "Tone", step.tone);
            setPlain (processor, "Mix", step.mix);
            processor.parameters.getParameter ("Bypass")->setValueNotifyingHost (step.bypass ? 1.0f : 0.0f);
            pelorvane_set (engine, plain (processor, "Space"), plain (processor, "Lumens"), plain (processor, "Tone"), plain (processor, "Mix"), step.bypass ? 1 : 0);

            for (int b = 0; b < step.blocks; ++b, position += 128)
            {
                for (int i = 0; i < 128; ++i)
                {
                    const float x = input[(position + static_cast<std::size_t> (i)) % input.size()];
                    block.setSample (0, i, x);
                    block.setSample (1, i, -0.5f * x); // the right input, which both discard
                    pelorvane_left (engine)[i] = x;
                }

                processor.processBlock (block, midi);
                pelorvane_process (engine, 128);

                for (int i = 0; i < 128; ++i)
                {
                    ASSERT_EQ (pelorvane_left (engine)[i], block.getSample (0, i)) << rate << " Hz, sample " << position + static_cast<std::size_t> (i);
                    ASSERT_EQ (pelorvane_right (engine)[i], block.getSample (1, i)) << rate << " Hz, sample " << position + static_cast<std::size_t> (i);
                }
            }
        }

        pelorvane_destroy (engine);
    }
}

TEST (WebEngine, HasTheRenderersDemoPhrase)
{
    std::vector<float> phrase (static_cast<std::size_t> (pelorvane_demo_length()));
    pelorvane_demo (phrase.data());
    EXPECT_EQ (pelorvane_demo_sample_rate(), 48000.0);
    EXPECT_EQ (phrase.size(), 192000u);

    std::vector<float> again (phrase.size());
    DemoPhraseSamples::synthesize (again.data());
    EXPECT_EQ (phrase, again);
}

TEST (WebEngine, SettlesValuesAsTheParametersDo)
{
    EXPECT_EQ (pelorvane_settle (5.03f, 10.0f, 0.1f), 5.0f);
    EXPECT_EQ (pelorvane_settle (49.6f, 100.0f, 1.0f), 50.0f);
    EXPECT_EQ (pelorvane_settle (12.0f, 10.0f, 0.1f), 10.0f);
    EXPECT_EQ (pelorvane_settle (-1.0f, 100.0f, 1.0f), 0.0f);
}
