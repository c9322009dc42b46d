// Loads the built VST3 bundle through the framework's own VST3 hosting, as a JUCE-based host
// does, and compares what it shows and plays with the processor linked in directly.

#include "processor/PluginProcessor.h"

#include "X11HostSetup.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 256;

juce::File bundleDirectory()
{
    // The module sits in Pelorvane.vst3/Contents/<architecture>/.
    return juce::File (PELORVANE_VST3_MODULE).getParentDirectory().getParentDirectory().getParentDirectory();
}

juce::AudioBuffer<float> noise (int numSamples, unsigned seed)
{
    juce::AudioBuffer<float> buffer (2, numSamples);
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> level (-0.5f, 0.5f);

    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (channel, i, level (rng));

    return buffer;
}

void setNormalised (juce::AudioProcessor& processor, int index, float value)
{
    processor.getParameters()[index]->setValueNotifyingHost (value);
}

juce::AudioBuffer<float> processBlock (juce::AudioProcessor& processor, const juce::AudioBuffer<float>& input)
{
    juce::AudioBuffer<float> block (input);
    juce::MidiBuffer midi;
    processor.processBlock (block, midi);
    return block;
}

bool identical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < a.getNumSamples(); ++i)
            if (a.getSample (channel, i) != b.getSample (channel, i))
                return false;

    return true;
}

class HostedModuleTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        prepareX11ForHosting();
        juceInit = std::make_unique<juce::ScopedJuceInitialiser_GUI>();
    }

    static void TearDownTestSuite()
    {
        juceInit.reset();
    }

    juce::OwnedArray<juce::PluginDescription> scanBundle()
    {
        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, bundleDirectory().getFullPathName());
        return found;
    }

    std::unique_ptr<juce::AudioPluginInstance> loadModule()
    {
        auto found = scanBundle();

        if (found.size() != 1)
            return nullptr;

        juce::String error;
        auto instance = format.createInstanceFromDescription (*found[0], sampleRate, blockSize, error);
        EXPECT_TRUE (error.isEmpty()) << error;
        return instance;
    }

    static std::unique_ptr<juce::ScopedJuceInitialiser_GUI> juceInit;
    juce::VST3PluginFormat format;
};

std::unique_ptr<juce::ScopedJuceInitialiser_GUI> HostedModuleTest::juceInit;

TEST_F (HostedModuleTest, ScanFindsOneEffectWithTheModulesIdentity)
{
    ASSERT_TRUE (bundleDirectory().isDirectory()) << bundleDirectory().getFullPathName();

    const auto found = scanBundle();
    ASSERT_EQ (found.size(), 1);

    const auto& description = *found[0];
    EXPECT_EQ (description.pluginFormatName, "VST3");
    EXPECT_EQ (description.name, "Pelorvane");
    EXPECT_EQ (description.manufacturerName, "Ombrix Audio");
    EXPECT_EQ (description.version, "2.0.0");
    EXPECT_EQ (description.category, "Fx");
    EXPECT_FALSE (description.isInstrument);
    EXPECT_EQ (description.numInputChannels, 2);
    EXPECT_EQ (description.numOutputChannels, 2);
}

TEST_F (HostedModuleTest, HostSeesTheFiveParametersInOrderWithBypassAsTheBypassSwitch)
{
    auto instance = loadModule();
    ASSERT_NE (instance, nullptr);

    EXPECT_EQ (instance->getName(), "Pelorvane");

    const auto parameters = instance->getParameters();
    ASSERT_EQ (parameters.size(), 5);

    const char* names[] = { "Bypass", "Space", "Lumens", "Tone", "Mix" };
    const char* vst3Ids[] = { "2004703496", "80085222", "139731590", "2612626", "77372" };

    for (int i = 0; i < parameters.size(); ++i)
    {
        EXPECT_EQ (parameters[i]->getName (64), names[i]);

        auto* hosted = dynamic_cast<juce::HostedAudioProcessorParameter*> (parameters[i]);
        ASSERT_NE (hosted, nullptr);
        EXPECT_EQ (hosted->getParameterID(), vst3Ids[i]) << names[i];
    }

    EXPECT_EQ (instance->getBypassParameter(), parameters[0]);
}

TEST_F (HostedModuleTest, HostedModuleSoundsExactlyLikeTheLinkedProcessor)
{
    auto hosted = loadModule();
    ASSERT_NE (hosted, nullptr);

    PelorvaneAudioProcessor linked;
    ASSERT_EQ (hosted->getParameters().size(), linked.getParameters().size());

    hosted->prepareToPlay (sampleRate, blockSize);
    linked.prepareToPlay (sampleRate, blockSize);

    // Space, Lumens, Tone, Mix away from their defaults; Bypass (index 0) off.
    const std::vector<std::pair<int, float>> settings { { 1, 0.73f }, { 2, 0.6f }, { 3, 0.41f }, { 4, 0.8f } };

    for (const auto& [index, value] : settings)
    {
        setNormalised (*hosted, index, value);
        setNormalised (linked, index, value);
    }

    constexpr int numBlocks = 24;
    bool heardReverb = false;

    for (int block = 0; block < numBlocks; ++block)
    {
        // Bypass for a stretch in the middle, then silence, so the frozen tail must resume alike.
        const auto bypassed = block >= 10 && block < 14;
        setNormalised (*hosted, 0, bypassed ? 1.0f : 0.0f);
        setNormalised (linked, 0, bypassed ? 1.0f : 0.0f);

        auto input = noise (blockSize, static_cast<unsigned> (block + 1));

        if (block >= 16)
            for (int channel = 0; channel < 2; ++channel)
                juce::FloatVectorOperations::clear (input.getWritePointer (channel), blockSize);

        const auto fromModule = processBlock (*hosted, input);
        const auto fromLinked = processBlock (linked, input);

        ASSERT_TRUE (identical (fromModule, fromLinked)) << "block " << block;

        if (bypassed)
        {
            EXPECT_EQ (fromModule.getSample (0, 5), input.getSample (0, 5)) << "block " << block;
            EXPECT_EQ (fromModule.getSample (1, 5), input.getSample (0, 5)) << "block " << block;
        }
        else if (block >= 16)
        {
            heardReverb = heardReverb || fromModule.getMagnitude (0, blockSize) > 0.0f;
        }
    }

    EXPECT_TRUE (heardReverb) << "the tail after the input stopped was silent";
    hosted->releaseResources();
}
} // namespace
