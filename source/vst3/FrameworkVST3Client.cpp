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

/** The framework's audio component. This framework version answers a request for more buses
    than the component has with `return false`, which hosts read as kResultOk; such a request
    is refused here before the framework's own checks run.
*/
class BusCheckedVST3Component : public juce::JuceVST3Component
{
public:
    using JuceVST3Component::JuceVST3Component;

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
    auto* component = new BusCheckedVST3Component (host);
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
