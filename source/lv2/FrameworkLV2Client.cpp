// The framework's LV2 client is compiled here instead of from its own source file, which
// CMakeLists.txt marks header-only. Its entry points are renamed and kept inside the module: the
// bundle's are the ones at the end, which give hosts the framework's plug-in behind a guard
// against hosts that do not keep to what they announced, and the framework's editor as it is.
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#undef LV2_SYMBOL_EXPORT
#define LV2_SYMBOL_EXPORT LV2_SYMBOL_EXTERN
#define lv2_descriptor frameworkLv2Descriptor
#define lv2ui_descriptor frameworkLv2uiDescriptor

#include <juce_audio_plugin_client/juce_audio_plugin_client_LV2.cpp>

#undef lv2_descriptor
#undef lv2ui_descriptor
#undef LV2_SYMBOL_EXPORT
#define LV2_SYMBOL_EXPORT LV2_SYMBOL_EXTERN __attribute__ ((visibility ("default")))

#include "processor/HostSettings.h"
#include "processor/PluginConstants.h"

#include <algorithm>
#include <array>
#include <climits>
#include <vector>

namespace
{
using juce::lv2_client::LV2PluginInstance;
using juce::lv2_client::PortIndices;
using juce::lv2_client::PortKind;

/** The framework's plug-in instance, made safe against hosts that run blocks longer than the
    maximum they announced and hosts that leave ports unconnected (LV2 asks them not to; some
    do). The framework's own instance would allocate on the audio thread for a longer block, and
    read or write through a null pointer for an unconnected audio input or event output.

    Longer blocks are run in pieces of the announced size, sounding exactly as if the host had
    sent them so; the host's events take effect with the first piece, as they would at the
    start of the block. Unconnected audio ports get silence in and a scratch block out, an
    unconnected event output a scratch sequence. Nothing here allocates after instantiation.

    It is the framework's instance as well (its base, at the same address), so the framework's
    state interface and editor, which are handed this instance, work on it as on their own.
*/
class GuardedLV2Instance : public LV2PluginInstance
{
public:
    GuardedLV2Instance (double sampleRate, int blockSize, const char* bundlePath, LV2_URID_Map map)
        : LV2PluginInstance (sampleRate, blockSize, bundlePath, map),
          maxBlock (static_cast<uint32_t> (blockSize))
    {
        for (auto& scratch : audioScratch)
            scratch.assign (static_cast<size_t> (blockSize), 0.0f);

        for (uint32_t port = 0; port < numAudioPorts; ++port)
            connect (port, nullptr);

        connect (eventsOutPort, nullptr);
    }

    void connect (uint32_t port, void* data)
    {
        if (port < numAudioPorts)
        {
            hostAudio[port] = static_cast<float*> (data);
            data = data != nullptr ? data : audioScratch[port].data();
        }
        else if (port == eventsInPort)
        {
            hostEventsIn = data;
        }
        else if (port == eventsOutPort)
        {
            hostEventsOut = static_cast<LV2_Atom_Sequence*> (data);
            data = data != nullptr ? data : emptyEventScratch();
        }

        LV2PluginInstance::connect (port, data);
    }

    void run (uint32_t numSamples)
    {
        if (hostEventsOut == nullptr)
            emptyEventScratch();

        if (numSamples <= maxBlock)
            LV2PluginInstance::run (numSamples);
        else
            runInPieces (numSamples);
    }

private:
    static constexpr uint32_t numAudioInputs = PluginConstants::preferredInputChannels;
    static constexpr uint32_t numAudioPorts = numAudioInputs + PluginConstants::preferredOutputChannels;

    static uint32_t portFor (PortKind kind)
    {
        return static_cast<uint32_t> (PortIndices (numAudioInputs, PluginConstants::preferredOutputChannels).getPortIndexFor (kind));
    }

    void runInPieces (uint32_t numSamples)
    {
        // The host sets an event output's size to the space it has before each run.
        const auto capacity = hostEventsOut != nullptr ? hostEventsOut->atom.size : 0u;

        for (uint32_t start = 0; start < numSamples; start += maxBlock)
        {
            const auto length = std::min (maxBlock, numSamples - start);

            for (uint32_t port = 0; port < numAudioPorts; ++port)
                LV2PluginInstance::connect (port, hostAudio[port] != nullptr ? hostAudio[port] + start : audioScratch[port].data());

            if (start > 0)
            {
                LV2PluginInstance::connect (eventsInPort, nullptr);
                LV2PluginInstance::connect (eventsOutPort, emptyEventScratch());
            }

            LV2PluginInstance::run (length);

            if (start > 0 && hostEventsOut != nullptr)
                appendScratchEvents (start, capacity);
        }

        for (uint32_t port = 0; port < numAudioPorts; ++port)
            connect (port, hostAudio[port]);

        connect (eventsInPort, hostEventsIn);
        connect (eventsOutPort, hostEventsOut);
    }

    LV2_Atom_Sequence* emptyEventScratch()
    {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*> (eventScratch.data());
        sequence->atom.size = static_cast<uint32_t> (eventScratch.size() * sizeof (eventScratch[0]) - sizeof (LV2_Atom));
        sequence->atom.type = 0;
        return sequence;
    }

    /** What a later piece told the host, after what the first piece told it, at the piece's time. */
    void appendScratchEvents (uint32_t start, uint32_t capacity)
    {
        const auto* scratch = reinterpret_cast<const LV2_Atom_Sequence*> (eventScratch.data());

        if (scratch->atom.type == 0)
            return;

        for (auto* event = lv2_atom_sequence_begin (&scratch->body);
             ! lv2_atom_sequence_is_end (&scratch->body, scratch->atom.size, event);
             event = lv2_atom_sequence_next (event))
        {
            if (auto* appended = lv2_atom_sequence_append_event (hostEventsOut, capacity, event))
                appended->time.frames += start;
        }
    }

    const uint32_t eventsInPort = portFor (PortKind::seqInput);
    const uint32_t eventsOutPort = portFor (PortKind::seqOutput);
    const uint32_t maxBlock;

    std::array<float*, numAudioPorts> hostAudio {};
    std::array<std::vector<float>, numAudioPorts> audioScratch;
    void* hostEventsIn = nullptr;
    LV2_Atom_Sequence* hostEventsOut = nullptr;
    std::array<uint64_t, 512> eventScratch {}; // 4 KiB, 8-byte aligned as atoms must be
};

/** The framework's conditions for an instance, with the host's sample rate and maximum block
    length made usable: a huge maximum would have the framework allocate gigabytes, zero or a
    negative one leave it no buffer at all.
*/
LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char* bundlePath, const LV2_Feature* const* features)
{
    using namespace juce::lv2_client;

    const auto* map = findMatchingFeatureData<const LV2_URID_Map*> (features, LV2_URID__map);
    const auto* options = findMatchingFeatureData<const LV2_Options_Option*> (features, LV2_OPTIONS__options);

    if (map == nullptr || options == nullptr || ! hasFeature (features, LV2_BUF_SIZE__boundedBlockLength))
        return nullptr;

    const juce::lv2_shared::NumericAtomParser parser { *map };
    const auto announced = parser.parseNumericOption<int64_t> (findMatchingOption (options, map->map (map->handle, LV2_BUF_SIZE__maxBlockLength)));

    if (! announced.hasValue())
        return nullptr;

    const auto blockSize = HostSettings::usableBlockSize (static_cast<int> (std::clamp<int64_t> (*announced, 0, INT_MAX)));
    return new GuardedLV2Instance (HostSettings::usableSampleRate (sampleRate), blockSize, bundlePath, *map);
}

GuardedLV2Instance& guarded (LV2_Handle instance)
{
    return *static_cast<GuardedLV2Instance*> (static_cast<LV2PluginInstance*> (instance));
}
} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    const auto* framework = juce::lv2_client::frameworkLv2Descriptor (index);

    if (framework == nullptr)
        return nullptr;

    // The framework's activation, deactivation and extension data (state, the manifest writer)
    // take the handle as the framework's instance, which it is.
    static const LV2_Descriptor descriptor {
        framework->URI,
        instantiate,
        [] (LV2_Handle instance, uint32_t port, void* data) { guarded (instance).connect (port, data); },
        framework->activate,
        [] (LV2_Handle instance, uint32_t numSamples) { guarded (instance).run (numSamples); },
        framework->deactivate,
        [] (LV2_Handle instance) { delete &guarded (instance); },
        framework->extension_data
    };

    return &descriptor;
}

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor (uint32_t index)
{
    return juce::lv2_client::frameworkLv2uiDescriptor (index);
}
