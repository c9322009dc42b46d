// The framework's VST3 client is compiled here instead of from its own source file, which
// CMakeLists.txt marks header-only. Its GetPluginFactory is renamed and left unexported, so
// that the module's only factory entry point is ours (PelorvanePluginFactory.cpp), and its
// audio component can be refined below.
#include <pluginterfaces/base/fplatform.h>

#undef SMTG_EXPORT_SYMBOL
#define SMTG_EXPORT_SYMBOL
#define GetPluginFactory frameworkGetPluginFactory

#include "processor/PluginConstants.h"

#define JucePlugin_PreferredChannelConfigurations { PluginConstants::preferredInputChannels, PluginConstants::preferredOutputChannels }

#include <juce_audio_plugin_client/juce_audio_plugin_client_VST3.cpp>

#undef GetPluginFactory

#include "processor/HostSettings.h"
#include "vst3/BlockSplitter.h"
#include "vst3/FrameworkVST3Client.h"

namespace
{
constexpr bool sameText (const char* a, const char* b)
{
    return *a == *b && (*a == '\0' || sameText (a + 1, b + 1));
}

static_assert (sameText (JucePlugin_Name, PluginConstants::pluginName), "PRODUCT_NAME in CMakeLists.txt differs from PluginConstants");
static_assert (sameText (JucePlugin_Manufacturer, PluginConstants::vendorName), "COMPANY_NAME in CMakeLists.txt differs from PluginConstants");
static_assert (sameText (JucePlugin_VersionString, PluginConstants::versionString), "VERSION in CMakeLists.txt differs from PluginConstants");
static_assert (sameText (JucePlugin_Vst3Category, PluginConstants::vst3SubCategory), "VST3_CATEGORIES in CMakeLists.txt differs from PluginConstants");
static_assert (JucePlugin_ManufacturerCode == PluginConstants::manufacturerCode, "PLUGIN_MANUFACTURER_CODE in CMakeLists.txt differs from PluginConstants");
static_assert (JucePlugin_PluginCode == PluginConstants::pluginCode, "PLUGIN_CODE in CMakeLists.txt differs from PluginConstants");

/** The framework's audio component, made safe against hosts that do not keep to what they
    announced. Everything a well-behaved host sees is the framework's own behaviour.
*/
class GuardedVST3Component : public juce::JuceVST3Component
{
public:
    using JuceVST3Component::JuceVST3Component;

    // This framework version answers a request for more buses than the component has with
    // `return false`, which hosts read as kResultOk.
    Steinberg::tresult PLUGIN_API setBusArrangements (Steinberg::Vst::SpeakerArrangement* inputs,
                                                      Steinberg::int32 numIns,
                                                      Steinberg::Vst::SpeakerArrangement* outputs,
                                                      Steinberg::int32 numOuts) override
    {
        if (numIns > getBusCount (Steinberg::Vst::kAudio, Steinberg::Vst::kInput)
            || numOuts > getBusCount (Steinberg::Vst::kAudio, Steinberg::Vst::kOutput))
            return Steinberg::kResultFalse;

        return JuceVST3Component::setBusArrangements (inputs, numIns, outputs, numOuts);
    }

    // The framework converts the rate to whole numbers and sizes its buffers by the block
    // size; both must be values it can use.
    Steinberg::tresult PLUGIN_API setupProcessing (Steinberg::Vst::ProcessSetup& announced) override
    {
        auto usable = announced;
        usable.sampleRate = HostSettings::usableSampleRate (announced.sampleRate);
        usable.maxSamplesPerBlock = HostSettings::usableBlockSize (announced.maxSamplesPerBlock);

        const auto result = JuceVST3Component::setupProcessing (usable);

        if (result == Steinberg::kResultTrue)
        {
            preparedBlockSize = usable.maxSamplesPerBlock;
            bytesPerSample = usable.symbolicSampleSize == Steinberg::Vst::kSample64 ? 8 : 4;
        }

        return result;
    }

    Steinberg::tresult PLUGIN_API process (Steinberg::Vst::ProcessData& data) override
    {
        auto checked = withConsistentCounts (data);

        if (checked.numSamples < 0)
            return Steinberg::kInvalidArgument;

        const int blockSize = preparedBlockSize;

        if (checked.numSamples <= blockSize)
            return JuceVST3Component::process (checked);

        // A bus layout this large is refused by the framework too: silence, settings kept.
        if (! BlockSplitter::fits (checked))
        {
            BlockSplitter::silenceOutputs (checked, bytesPerSample);
            auto flush = BlockSplitter::withoutAudio (checked);
            return JuceVST3Component::process (flush);
        }

        return splitter.process (checked, blockSize, bytesPerSample, [this] (Steinberg::Vst::ProcessData& piece)
                                 { return JuceVST3Component::process (piece); });
    }

private:
    // Bus counts without buses to go with them would be read through a null pointer.
    static Steinberg::Vst::ProcessData withConsistentCounts (const Steinberg::Vst::ProcessData& data)
    {
        auto checked = data;

        if (checked.inputs == nullptr || checked.numInputs < 0)
            checked.numInputs = 0;

        if (checked.outputs == nullptr || checked.numOutputs < 0)
            checked.numOutputs = 0;

        return checked;
    }

    // What the framework has prepared for; until the host's first setup, its own default.
    std::atomic<int> preparedBlockSize { HostSettings::fallbackBlockSize };
    std::atomic<int> bytesPerSample { 4 };
    BlockSplitter splitter;
};
} // namespace

Steinberg::IPluginFactory* FrameworkVST3Client::getPluginFactory()
{
    return frameworkGetPluginFactory();
}

Steinberg::tresult FrameworkVST3Client::createAudioComponent (Steinberg::Vst::IHostApplication* host, const Steinberg::TUID targetIID, void** obj)
{
    // What the framework's own factory sets up around every object it creates.
    const juce::ScopedJuceInitialiser_GUI libraryInitialiser;
   #if JUCE_LINUX || JUCE_BSD
    const juce::SharedResourcePointer<juce::MessageThread> messageThread;
   #endif

    *obj = nullptr;
    auto* component = new GuardedVST3Component (host);
    const auto result = component->queryInterface (targetIID, obj);
    component->release();

    return result == Steinberg::kResultOk ? Steinberg::kResultOk : Steinberg::kNoInterface;
}

std::string FrameworkVST3Client::describeCompatibleClasses()
{
    const juce::ScopedJuceInitialiser_GUI libraryInitialiser;
   #if JUCE_LINUX || JUCE_BSD
    const juce::SharedResourcePointer<juce::MessageThread> messageThread;
   #endif

    // A newer client lists the classes the processor's VST3ClientExtensions name; this
    // framework's extensions cannot name any, so the list stays empty. The processor is
    // still built and destroyed, as hosts see a newer client do.
    const auto processor = juce::createPluginFilterOfType (juce::AudioProcessor::wrapperType_VST3);
    const juce::Array<juce::var> replacedClasses;

    return juce::JSON::toString (replacedClasses, true).toStdString();
}
