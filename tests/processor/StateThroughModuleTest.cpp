// Saves and restores the effect through the built VST3 module as the framework host does:
// the component stream holds our block followed by the framework's private data.

#include "processor/PluginProcessor.h"

#include "vst3/X11HostSetup.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace
{
juce::File bundle()
{
    // The module sits in <bundle>/Contents/<architecture>-linux/.
    return juce::File (PELORVANE_VST3_MODULE).getParentDirectory().getParentDirectory().getParentDirectory();
}

/** What the framework's VST3 layer puts after our block: an empty private section. */
juce::MemoryBlock privateDataTail()
{
    juce::MemoryOutputStream out;
    out.writeInt64 (0);
    out.writeInt64 (0);
    out << "JUCEPrivateData";
    return out.getMemoryBlock();
}

juce::MemoryBlock joined (const juce::MemoryBlock& first, const juce::MemoryBlock& second)
{
    auto result = first;
    result.append (second.getData(), second.getSize());
    return result;
}

/** The component's stream inside the framework host's own state format. */
juce::MemoryBlock componentStateOf (const juce::MemoryBlock& hostState)
{
    juce::MemoryBlock component;

    if (auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize()))
        if (auto* element = xml->getChildByName ("IComponent"))
            component.fromBase64Encoding (element->getAllSubText());

    return component;
}

/** A saved host project holding the given component stream, as the framework host writes it. */
juce::MemoryBlock hostStateWith (const juce::MemoryBlock& componentState)
{
    juce::XmlElement state ("VST3PluginState");
    state.createNewChildElement ("IComponent")->addTextElement (componentState.toBase64Encoding());

    juce::MemoryBlock result;
    juce::AudioProcessor::copyXmlToBinary (state, result);
    return result;
}

class StateThroughModuleTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { prepareX11ForHosting(); }

    std::unique_ptr<juce::AudioPluginInstance> loadModule()
    {
        juce::VST3PluginFormat format;
        juce::OwnedArray<juce::PluginDescription> types;
        format.findAllTypesForFile (types, bundle().getFullPathName());

        if (types.isEmpty())
            return {};

        juce::String error;
        auto instance = format.createInstanceFromDescription (*types[0], 48000.0, 512, error);
        EXPECT_TRUE (error.isEmpty()) << error;
        return instance;
    }

    /** The block the processor writes in-process for the given plain values. */
    juce::MemoryBlock blockFor (float bypass, float space, float lumens, float tone, float mix)
    {
        testing::internal::CaptureStdout();
        PelorvaneAudioProcessor processor;
        testing::internal::GetCapturedStdout();

        const float values[] = { bypass, space, lumens, tone, mix };
        for (int i = 0; i < 5; ++i)
        {
            auto& parameter = *dynamic_cast<juce::RangedAudioParameter*> (processor.getParameters()[i]);
            parameter.setValueNotifyingHost (parameter.convertTo0to1 (values[i]));
        }

        juce::MemoryBlock block;
        processor.getStateInformation (block);
        return block;
    }

    static juce::Array<float> normalisedValues (juce::AudioPluginInstance& instance)
    {
        juce::Array<float> values;
        for (auto* parameter : instance.getParameters())
            values.add (parameter->getValue());
        return values;
    }

    static void expectValues (juce::AudioPluginInstance& instance, juce::Array<float> expected)
    {
        const auto values = normalisedValues (instance);
        ASSERT_EQ (values.size(), expected.size());
        for (int i = 0; i < values.size(); ++i)
            EXPECT_NEAR (values[i], expected[i], 1.0e-6f) << instance.getParameters()[i]->getName (32);
    }

    juce::ScopedJuceInitialiser_GUI juceInit;
};
} // namespace

TEST_F (StateThroughModuleTest, ModuleWritesOurBlockThenTheFrameworksPrivateData)
{
    auto instance = loadModule();
    ASSERT_NE (instance, nullptr) << bundle().getFullPathName();

    juce::MemoryBlock hostState;
    instance->getStateInformation (hostState);
    EXPECT_EQ (componentStateOf (hostState), joined (blockFor (0.0f, 5.0f, 5.0f, 5.0f, 50.0f), privateDataTail()));
}

TEST_F (StateThroughModuleTest, SettingsSurviveSaveAndRestoreThroughTheModule)
{
    auto original = loadModule();
    ASSERT_NE (original, nullptr);

    const juce::Array<float> chosen { 1.0f, 0.73f, 0.0f, 0.12f, 0.99f };
    for (int i = 0; i < chosen.size(); ++i)
        original->getParameters()[i]->setValueNotifyingHost (chosen[i]);

    juce::MemoryBlock saved;
    original->getStateInformation (saved);

    auto restored = loadModule();
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (saved.getData(), (int) saved.getSize());
    expectValues (*restored, chosen);

    juce::MemoryBlock savedAgain;
    restored->getStateInformation (savedAgain);
    EXPECT_EQ (componentStateOf (savedAgain), componentStateOf (saved));
    EXPECT_EQ (componentStateOf (saved), joined (blockFor (1.0f, 7.3f, 0.0f, 1.2f, 99.0f), privateDataTail()));

    // The same instance, moved elsewhere and then restored, as validators check it.
    for (auto* parameter : original->getParameters())
        parameter->setValueNotifyingHost (1.0f - parameter->getValue());
    original->setStateInformation (saved.getData(), (int) saved.getSize());
    expectValues (*original, chosen);
}

TEST_F (StateThroughModuleTest, OurBlockIsReadWithOrWithoutThePrivateData)
{
    const auto ours = blockFor (1.0f, 7.3f, 0.0f, 10.0f, 100.0f);

    for (const auto& component : { ours, joined (ours, privateDataTail()) })
    {
        auto instance = loadModule();
        ASSERT_NE (instance, nullptr);

        const auto hostState = hostStateWith (component);
        instance->setStateInformation (hostState.getData(), (int) hostState.getSize());
        expectValues (*instance, { 1.0f, 0.73f, 0.0f, 1.0f, 1.0f });
    }
}

TEST_F (StateThroughModuleTest, ForeignBlockThroughTheModuleChangesNothing)
{
    auto instance = loadModule();
    ASSERT_NE (instance, nullptr);

    instance->getParameters()[1]->setValueNotifyingHost (0.25f);
    const auto before = normalisedValues (*instance);

    const std::string foreignText = "<?xml version=\"1.0\" encoding=\"UTF-8\"?> <PARAMETERS><PARAM id=\"Space\" value=\"9\"/></PARAMETERS>";
    juce::MemoryOutputStream foreign;
    foreign.writeInt (0x21324356);
    foreign.writeInt ((int) foreignText.size());
    foreign.write (foreignText.data(), foreignText.size());
    foreign.writeByte (0);

    const auto hostState = hostStateWith (joined (foreign.getMemoryBlock(), privateDataTail()));
    instance->setStateInformation (hostState.getData(), (int) hostState.getSize());

    EXPECT_EQ (normalisedValues (*instance), before);
}
