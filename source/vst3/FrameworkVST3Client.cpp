// The framework's VST3 client is compiled here instead of from its own source file, which
// CMakeLists.txt marks header-only. Its GetPluginFactory is renamed and left unexported, so
// that the module's only factory entry point is ours (PelorvanePluginFactory.cpp), and its
// audio component and edit controller can be refined below.
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
#include "vst3/MessageThreadView.h"

#include <cstring>

#if JUCE_INTEL
#include <xmmintrin.h>
#endif

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

#if JUCE_VST3_EMULATE_MIDI_CC_WITH_PARAMETERS
// The direct path below takes the host's parameter changes itself and knows no MIDI controller
// parameters: a module that wants MIDI input gets them only from the framework's own path.
constexpr bool frameworkMapsMidiControllers = true;
#else
constexpr bool frameworkMapsMidiControllers = false;
#endif

/** The framework's audio component, made safe against hosts that do not keep to what they
    announced, and cheap per block for the hosts that do.

    Everything a host sees is the framework's own behaviour. But the framework's process call
    costs far more per block than the effect needs at small block sizes: it copies every
    channel into a scratch buffer and back, copies each bus's channel map on every block (a
    heap allocation and release), takes the processor's callback lock, and writes three
    atomics with locked instructions (the edit controller's playing state, the processor's
    offline flag, and the exchange that collects the plug-in's parameter changes for the host).
    So the plain call (one stereo bus in, one out, both switched on by the host and by the
    processor, every channel given, no longer than prepared) is run here, with what the
    framework's call does for it:

    - the process context is kept for the play head (getPosition), as the framework keeps it;
    - the edit controller's playing state is passed on by the framework, whenever it changes;
    - the host's parameter changes take effect at the start of the block: each parameter's
      last point, through the framework's own notification (which keeps them from being echoed
      to the host);
    - the input channels are copied to the output channels and the processor runs on those in
      place, with the same channels, samples, offline flag and suspension check as the
      framework would give it;
    - the parameter changes made on the plug-in's side are handed to the host afterwards, by
      the framework's own hand-over, whenever a parameter has changed since the last one.

    The callback lock is not taken: inside the module nothing else ever takes it (the framework
    takes it only around processBlock, and AudioProcessor::suspendProcessing, which nothing
    here calls), so it excludes nothing, and the audio thread stays free of locks. Every other
    call goes to the framework as it is.
*/
class GuardedVST3Component : public juce::JuceVST3Component
{
public:
    explicit GuardedVST3Component (Steinberg::Vst::IHostApplication* hostApplication)
        : JuceVST3Component (hostApplication)
    {
        // The component holds the framework's processor interface for as long as it lives.
        void* found = nullptr;

        if (queryInterface (juce::JuceAudioProcessor::iid, &found) == Steinberg::kResultOk && found != nullptr)
        {
            frameworkProcessor = static_cast<juce::JuceAudioProcessor*> (found);
            frameworkProcessor->release();
        }

        // Before the edit controller connects, so that it hears of each change first (see
        // ParameterChangeWatch).
        getPluginInstance().addListener (&parameterChanges);
    }

    ~GuardedVST3Component() override
    {
        getPluginInstance().removeListener (&parameterChanges);
    }

    Steinberg::tresult PLUGIN_API activateBus (Steinberg::Vst::MediaType type,
                                               Steinberg::Vst::BusDirection dir,
                                               Steinberg::int32 index,
                                               Steinberg::TBool state) override
    {
        const auto result = JuceVST3Component::activateBus (type, dir, index, state);

        if (result == Steinberg::kResultTrue && type == Steinberg::Vst::kAudio && index == 0)
            (dir == Steinberg::Vst::kInput ? hostInputActive : hostOutputActive) = state != 0;

        updateDirectPath();
        return result;
    }

    Steinberg::tresult PLUGIN_API setActive (Steinberg::TBool state) override
    {
        const auto result = JuceVST3Component::setActive (state);
        updateDirectPath();
        return result;
    }

    // The edit controller the framework tells the playing state to may change with these.
    Steinberg::tresult PLUGIN_API connect (Steinberg::Vst::IConnectionPoint* other) override
    {
        const auto result = JuceVST3Component::connect (other);
        playingStateToPass = true;
        return result;
    }

    Steinberg::tresult PLUGIN_API disconnect (Steinberg::Vst::IConnectionPoint* other) override
    {
        const auto result = JuceVST3Component::disconnect (other);
        playingStateToPass = true;
        return result;
    }

    Steinberg::tresult PLUGIN_API notify (Steinberg::Vst::IMessage* message) override
    {
        const auto result = JuceVST3Component::notify (message);
        playingStateToPass = true;
        return result;
    }

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

        const auto result = JuceVST3Component::setBusArrangements (inputs, numIns, outputs, numOuts);
        updateDirectPath();
        return result;
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

        updateDirectPath();
        return result;
    }

    Steinberg::tresult PLUGIN_API process (Steinberg::Vst::ProcessData& data) override
    {
        auto checked = withConsistentCounts (data);

        if (checked.numSamples < 0)
            return Steinberg::kInvalidArgument;

        const int blockSize = preparedBlockSize.load (std::memory_order_relaxed);

        if (checked.numSamples <= blockSize)
            return processPiece (checked);

        // A bus layout this large is refused by the framework too: silence, settings kept.
        if (! BlockSplitter::fits (checked))
        {
            BlockSplitter::silenceOutputs (checked, bytesPerSample);
            auto flush = BlockSplitter::withoutAudio (checked);
            return processByFramework (flush);
        }

        return splitter.process (checked, blockSize, bytesPerSample, [this] (Steinberg::Vst::ProcessData& piece)
                                 { return processPiece (piece); });
    }

    /** The host's transport as the last process call gave it, as the framework reports it. */
    juce::Optional<juce::AudioPlayHead::PositionInfo> getPosition() const override
    {
        using Context = Steinberg::Vst::ProcessContext;
        const auto has = [this] (Steinberg::uint32 flag)
        { return (context.state & flag) != 0; };

        PositionInfo info;
        info.setTimeInSamples (juce::jmax ((juce::int64) 0, context.projectTimeSamples));
        info.setTimeInSeconds (static_cast<double> (*info.getTimeInSamples()) / context.sampleRate);
        info.setIsRecording (has (Context::kRecording));
        info.setIsPlaying (has (Context::kPlaying));
        info.setIsLooping (has (Context::kCycleActive));

        if (has (Context::kTempoValid))
            info.setBpm (context.tempo);

        if (has (Context::kTimeSigValid))
            info.setTimeSignature (juce::AudioPlayHead::TimeSignature { context.timeSigNumerator, context.timeSigDenominator });

        if (has (Context::kCycleValid))
            info.setLoopPoints (juce::AudioPlayHead::LoopPoints { context.cycleStartMusic, context.cycleEndMusic });

        if (has (Context::kProjectTimeMusicValid))
            info.setPpqPosition (context.projectTimeMusic);

        if (has (Context::kBarPositionValid))
            info.setPpqPositionOfLastBarStart (context.barPositionMusic);

        if (has (Context::kSmpteValid))
        {
            const auto frameRate = juce::AudioPlayHead::FrameRate()
                                       .withBaseRate ((int) context.frameRate.framesPerSecond)
                                       .withDrop ((context.frameRate.flags & Steinberg::Vst::FrameRate::kDropRate) != 0)
                                       .withPullDown ((context.frameRate.flags & Steinberg::Vst::FrameRate::kPullDownRate) != 0);
            info.setFrameRate (frameRate);
            info.setEditOriginTime ((double) context.smpteOffsetSubframes / (80.0 * frameRate.getEffectiveRate()));
        }

        if (has (Context::kSystemTimeValid))
            info.setHostTimeNs ((uint64_t) context.systemTime);

        return info;
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

    // A call no longer than prepared: the plain stereo call directly, anything else through the
    // framework.
    Steinberg::tresult processPiece (Steinberg::Vst::ProcessData& data)
    {
        if (directPath.load (std::memory_order_acquire) && isPlainStereoCall (data))
            return processDirectly (data);

        return processByFramework (data);
    }

    Steinberg::tresult processByFramework (Steinberg::Vst::ProcessData& data)
    {
        keepContext (data);
        const auto result = JuceVST3Component::process (data);

        // What the framework told the edit controller, if it is connected.
        if (result == Steinberg::kResultTrue)
            frameworkPlaying = isPlaying (data);

        return result;
    }

    /** One stereo bus each way, every channel given, some samples, and no output channel that
        is another channel's input (the inputs are copied to the outputs one by one).
    */
    static bool isPlainStereoCall (const Steinberg::Vst::ProcessData& data)
    {
        if (data.numSamples <= 0 || data.numInputs != 1 || data.numOutputs != 1
            || data.inputs[0].numChannels != 2 || data.outputs[0].numChannels != 2)
            return false;

        auto** in = data.inputs[0].channelBuffers32;
        auto** out = data.outputs[0].channelBuffers32;

        return in != nullptr && out != nullptr
               && in[0] != nullptr && in[1] != nullptr && out[0] != nullptr && out[1] != nullptr
               && out[0] != in[1] && out[1] != in[0] && out[0] != out[1];
    }

    /** The library's memcpy costs more per call than a short block's copy takes. */
    static void copySamples (const float* source, float* destination, size_t count)
    {
        size_t i = 0;

#if JUCE_INTEL
        for (; i + 4 <= count; i += 4)
            _mm_storeu_ps (destination + i, _mm_loadu_ps (source + i));
#endif

        for (; i < count; ++i)
            destination[i] = source[i];
    }

    static bool isPlaying (const Steinberg::Vst::ProcessData& data)
    {
        return data.processContext != nullptr && (data.processContext->state & Steinberg::Vst::ProcessContext::kPlaying) != 0;
    }

    // What the framework keeps of every call for its play head.
    void keepContext (const Steinberg::Vst::ProcessData& data)
    {
        if (data.processContext != nullptr)
            context = *data.processContext;
        else
            context = {};
    }

    Steinberg::tresult processDirectly (Steinberg::Vst::ProcessData& data)
    {
        keepContext (data);

        // The framework tells the edit controller whether the host plays on every call; here
        // only when that changes, or the controller may have.
        const bool playing = isPlaying (data);

        if (playing != frameworkPlaying || (playingStateToPass.load (std::memory_order_relaxed) && playingStateToPass.exchange (false)))
        {
            Steinberg::Vst::ProcessData contextOnly;
            contextOnly.processMode = data.processMode;
            contextOnly.symbolicSampleSize = data.symbolicSampleSize;
            contextOnly.processContext = data.processContext;

            if (const auto result = JuceVST3Component::process (contextOnly); result != Steinberg::kResultTrue)
                return result;

            frameworkPlaying = playing;
        }

        if (data.inputParameterChanges != nullptr)
            applyParameterChanges (*data.inputParameterChanges);

        const auto numSamples = static_cast<size_t> (data.numSamples);
        auto** in = data.inputs[0].channelBuffers32;
        auto** out = data.outputs[0].channelBuffers32;

        for (int channel = 0; channel < 2; ++channel)
            if (in[channel] != out[channel])
                copySamples (in[channel], out[channel], numSamples);

        // The flag is an atomic that takes a locked instruction to write; it seldom changes.
        auto& processor = getPluginInstance();
        const bool offline = data.processMode == Steinberg::Vst::kOffline;

        if (processor.isNonRealtime() != offline)
            processor.setNonRealtime (offline);

        if (processor.isSuspended())
        {
            for (int channel = 0; channel < 2; ++channel)
                std::memset (out[channel], 0, numSamples * sizeof (float));
        }
        else
        {
            // The processor has its own bypass parameter, so the framework would always call
            // processBlock; the MIDI it is given is empty, as the module takes none.
            buffer.setDataToReferTo (out, 2, data.numSamples);

            if (! midi.isEmpty())
                midi.clear();

            processor.processBlock (buffer, midi);
        }

        // The framework's hand-over of the changes made on the plug-in's side.
        if (auto* changes = data.outputParameterChanges; changes != nullptr && parameterChanges.takePending())
        {
            frameworkProcessor->forAllChangedParameters ([&] (Steinberg::Vst::ParamID paramID, float value)
                                                         {
                                                             Steinberg::int32 queueIndex = 0;

                                                             if (auto* queue = changes->addParameterData (paramID, queueIndex))
                                                             {
                                                                 Steinberg::int32 pointIndex = 0;
                                                                 queue->addPoint (0, value, pointIndex);
                                                             } });
        }

        return Steinberg::kResultTrue;
    }

    /** The host's changes as the framework applies them: each parameter's last point, set
        through the framework's notification, which marks the change as the host's own so that
        the edit controller does not send it back.
    */
    void applyParameterChanges (Steinberg::Vst::IParameterChanges& changes)
    {
        const auto numParameters = changes.getParameterCount();

        for (Steinberg::int32 i = 0; i < numParameters; ++i)
        {
            auto* queue = changes.getParameterData (i);

            if (queue == nullptr)
                continue;

            const auto id = queue->getParameterId();
            const auto numPoints = queue->getPointCount();
            Steinberg::int32 offset = 0;
            Steinberg::Vst::ParamValue value = 0.0;

            if (queue->getPoint (numPoints - 1, offset, value) != Steinberg::kResultTrue)
                continue;

            if (auto* parameter = frameworkProcessor->getParamForVSTParamID (id))
                juce::setValueAndNotifyIfChanged (*parameter, (float) value);
        }
    }

    /** Whether the framework's buffer mapping would hand the processor exactly the host's two
        input channels and copy its two channels to the host's outputs: both main buses
        switched on by the host and by the processor, in stereo, single precision, and a
        processor with a bypass parameter of its own. Set on the host's main thread whenever
        one of these can change; the host does not process meanwhile.
    */
    void updateDirectPath()
    {
        const auto& processor = getPluginInstance();
        const auto* input = processor.getBus (true, 0);
        const auto* output = processor.getBus (false, 0);

        directPath = ! frameworkMapsMidiControllers
                     && frameworkProcessor != nullptr
                     && hostInputActive && hostOutputActive
                     && processor.getBusCount (true) == 1 && processor.getBusCount (false) == 1
                     && input != nullptr && output != nullptr
                     && input->isEnabled() && output->isEnabled()
                     && input->getLastEnabledLayout() == juce::AudioChannelSet::stereo()
                     && output->getLastEnabledLayout() == juce::AudioChannelSet::stereo()
                     && bytesPerSample == 4 && ! processor.isUsingDoublePrecision()
                     && processor.getBypassParameter() != nullptr;
    }

    /** Whether a parameter may have changed since the last hand-over to the host.

        The framework notes a change for the host when its edit controller hears of it off the
        message thread, outside the host's own changes and outside a state restore (this
        plug-in's own code makes none such: its window works on the message thread). The
        controller registers as a listener when it connects, after this one, and the processor
        calls its listeners from the last registered to the first: so this one hears of every
        change after the framework has noted it, and a hand-over that takes the pending mark
        finds the framework's notes of every change before it. Changes the framework does not
        note only cause a hand-over that finds nothing.
    */
    class ParameterChangeWatch : public juce::AudioProcessorListener
    {
    public:
        bool takePending()
        {
            return pending.load (std::memory_order_relaxed) && pending.exchange (false, std::memory_order_acq_rel);
        }

        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override { pending.store (true, std::memory_order_release); }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

    private:
        // Set at first, for whatever came before the watch.
        std::atomic<bool> pending { true };
    };

    // What the framework has prepared for; until the host's first setup, its own default.
    std::atomic<int> preparedBlockSize { HostSettings::fallbackBlockSize };
    std::atomic<int> bytesPerSample { 4 };
    BlockSplitter splitter;

    juce::JuceAudioProcessor* frameworkProcessor = nullptr;
    ParameterChangeWatch parameterChanges;
    bool hostInputActive = false, hostOutputActive = false;
    std::atomic<bool> directPath { false };

    // Audio thread only: the context of the current call, and the playing state the framework
    // last passed to the edit controller.
    Steinberg::Vst::ProcessContext context {};
    bool frameworkPlaying = false;
    std::atomic<bool> playingStateToPass { true };
    juce::AudioBuffer<float> buffer; // refers to the host's output channels, never allocates
    juce::MidiBuffer midi;
};

#if JUCE_MINGW
/** MinGW emulates thread_local: a thread's copy of the client's flag above, which every
    parameter change reads, is allocated at that thread's first access, and for a host's audio
    thread that would be in the middle of a block. Windows calls a module's TLS callbacks on
    every thread that starts while the module is loaded, before the thread runs anything else,
    so the first access is made there. (A thread that was already running when the module was
    loaded still allocates its copy at its first parameter change.)
*/
void NTAPI touchThreadLocalsOnThreadStart (PVOID, DWORD reason, PVOID)
{
    if (reason == DLL_THREAD_ATTACH)
        juce::inParameterChangedCallback = false;
}
#endif

/** The framework's edit controller, handing out its editor views behind MessageThreadView. */
class GuardedVST3EditController : public juce::JuceVST3EditController
{
public:
    using JuceVST3EditController::JuceVST3EditController;

    Steinberg::IPlugView* PLUGIN_API createView (const char* name) override
    {
        auto* view = JuceVST3EditController::createView (name);
        return view != nullptr ? new MessageThreadView (view) : nullptr;
    }
};
} // namespace

#if JUCE_MINGW
// Placed among the C runtime's TLS callbacks (between its .CRT$XLA and .CRT$XLZ markers).
extern "C" __attribute__ ((section (".CRT$XLY"), used)) const PIMAGE_TLS_CALLBACK pelorvaneThreadStartCallback = touchThreadLocalsOnThreadStart;
#endif

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

Steinberg::tresult FrameworkVST3Client::createEditController (Steinberg::Vst::IHostApplication* host, const Steinberg::TUID targetIID, void** obj)
{
    // What the framework's own factory sets up around every object it creates.
    const juce::ScopedJuceInitialiser_GUI libraryInitialiser;
   #if JUCE_LINUX || JUCE_BSD
    const juce::SharedResourcePointer<juce::MessageThread> messageThread;
   #endif

    *obj = nullptr;
    auto* controller = new GuardedVST3EditController (host);
    const auto result = controller->queryInterface (targetIID, obj);
    controller->release();

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
