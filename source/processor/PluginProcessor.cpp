#include "processor/PluginProcessor.h"
#include "crash/CrashHandler.h"

#include "processor/HostSettings.h"
#include "processor/PluginConstants.h"

#include "editor/PluginEditor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>

#if JUCE_INTEL
#include <xmmintrin.h>
#endif

namespace
{
constexpr auto bypassName = "Bypass";
constexpr auto spaceName = "Space";
constexpr auto lumensName = "Lumens";
constexpr auto toneName = "Tone";
constexpr auto mixName = "Mix";

// Longest loop through the network in samples: line 4's 8192-sample tap behind the
// two all-passes (729 + 1331) and the one-sample feedback.
constexpr double longestLoopSamples = 8192.0 + 729.0 + 1331.0 + 1.0;

std::unique_ptr<juce::AudioParameterFloat> makeKnobParameter (const char* id, float maximum, float step, float defaultValue, const juce::String& label)
{
    return std::make_unique<juce::AudioParameterFloat> (juce::ParameterID { id, 1 },
                                                        id,
                                                        juce::NormalisableRange<float> (0.0f, maximum, step),
                                                        defaultValue,
                                                        juce::AudioParameterFloatAttributes().withLabel (label));
}

bool isFiniteSample (float sample)
{
    std::uint32_t bits;
    std::memcpy (&bits, &sample, sizeof (bits));
    return (bits & 0x7f800000u) != 0x7f800000u;
}

std::uint32_t nonFiniteBit (const float* sample)
{
    std::uint32_t bits;
    std::memcpy (&bits, sample, sizeof (bits));
    return (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
}

// Branch-free over the block, so the checks cost little next to the network.
bool allFinite (const float* samples, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
        nonFinite |= nonFiniteBit (samples + i);

    return nonFinite == 0;
}

bool allFinite (const float* left, const float* right, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
        nonFinite |= nonFiniteBit (left + i) | nonFiniteBit (right + i);

    return nonFinite == 0;
}

/** Copies source over destination, and tells whether every sample was finite. */
bool copyAllFinite (const float* source, float* destination, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
    {
        nonFinite |= nonFiniteBit (source + i);
        destination[i] = source[i];
    }

    return nonFinite == 0;
}

void silenceNonFinite (float* samples, int count)
{
    for (int i = 0; i < count; ++i)
        if (! isFiniteSample (samples[i]))
            samples[i] = 0.0f;
}

#if JUCE_INTEL
/** Flush-to-zero and denormals-are-zero for its lifetime, with the register as it was
    afterwards, as juce::ScopedNoDenormals; but the register is only written where that
    changes it. Each write stalls the processor about as long as a small block's other set-up
    takes, and hosts whose audio threads run in this mode already (many do) need none: there
    the register is only read again at the end, in case the block raised an exception flag.
*/
class FlushDenormalsInScope
{
public:
    FlushDenormalsInScope()
    {
        if (! wasOn)
            _mm_setcsr (previous | flushBits);
    }

    ~FlushDenormalsInScope()
    {
        if (! wasOn || _mm_getcsr() != previous)
            _mm_setcsr (previous);
    }

private:
    static constexpr unsigned int flushBits = 0x8040; // FTZ and DAZ
    const unsigned int previous = _mm_getcsr();
    const bool wasOn = (previous & flushBits) == flushBits;

    JUCE_DECLARE_NON_COPYABLE (FlushDenormalsInScope)
};
#else
using FlushDenormalsInScope = juce::ScopedNoDenormals;
#endif
} // namespace

PelorvaneAudioProcessor::PelorvaneAudioProcessor()
    : AudioProcessor (BusesProperties()
                          .withInput ("Input", juce::AudioChannelSet::stereo(), false)
                          .withOutput ("Output", juce::AudioChannelSet::stereo(), false)),
      parameters (*this, nullptr, "PARAMETERS", createParameterLayout()),
      stateSerializer (parameters)
{
    std::cout << juce::SystemStats::getJUCEVersion() << std::endl;

    // VST3 hosts switch the buses on themselves. The framework's Standalone app opens its
    // audio device with as many channels as the buses have switched on, so it would open
    // none and play nothing.
    if (wrapperType == wrapperType_Standalone)
        enableAllBuses();

    reverbDsp.buildUserInterface (&zoneMap);
    targets = resolveAudioPathTargets();
    parameters.state = juce::ValueTree ("Pelorvane");

    // The container leaves the new records without values until a parameter moves;
    // a block saved before that must hold them all the same.
    stateSerializer.writeValuesIntoRecords();

    CrashHandler::install();
}

PelorvaneAudioProcessor::~PelorvaneAudioProcessor()
{
    juce::ImageCache::releaseUnusedImages();
}

juce::AudioProcessorValueTreeState::ParameterLayout PelorvaneAudioProcessor::createParameterLayout()
{
    auto bypass = std::make_unique<juce::AudioParameterBool> (
        juce::ParameterID { bypassName, 1 },
        bypassName,
        false,
        juce::AudioParameterBoolAttributes()
            .withStringFromValueFunction ([] (bool on, int) { return juce::String (on ? "Bypassed" : "Active"); })
            .withValueFromStringFunction ([] (const juce::String& text) { return text == "Bypassed"; }));

    juce::AudioProcessorValueTreeState::ParameterLayout layout;
    layout.add (std::move (bypass),
                makeKnobParameter (spaceName, 10.0f, 0.1f, 5.0f, {}),
                makeKnobParameter (lumensName, 10.0f, 0.1f, 5.0f, {}),
                makeKnobParameter (toneName, 10.0f, 0.1f, 5.0f, {}),
                makeKnobParameter (mixName, 100.0f, 1.0f, 50.0f, "%"));
    return layout;
}

const juce::String PelorvaneAudioProcessor::getName() const
{
    return PluginConstants::pluginName;
}

void PelorvaneAudioProcessor::prepareToPlay (double sampleRate, int)
{
    // Truncated to whole hertz, as the engine takes it; the engine limits the range itself.
    reverbDsp.init (static_cast<int> (HostSettings::usableSampleRate (sampleRate)));
}

void PelorvaneAudioProcessor::releaseResources()
{
}

bool PelorvaneAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    // The block handling reads and writes two channels; anything else could hand it fewer.
    return layouts.getMainInputChannelSet() == juce::AudioChannelSet::stereo()
        && layouts.getMainOutputChannelSet() == juce::AudioChannelSet::stereo();
}

void PelorvaneAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    const FlushDenormalsInScope noDenormals;

    if (! takeLeftInput (buffer))
        return;

    if (targets.bypass->getValue() >= 0.5f)
        return;

    writeZones();

    const auto numSamples = buffer.getNumSamples();

    if (buffer.getNumChannels() > 1)
        runNetwork (buffer.getWritePointer (0), buffer.getWritePointer (1), numSamples);
    else
        runNetworkOnMono (buffer.getWritePointer (0), numSamples);
}

void PelorvaneAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    takeLeftInput (buffer);
}

bool PelorvaneAudioProcessor::takeLeftInput (juce::AudioBuffer<float>& buffer)
{
    // A host may hand over fewer channels than the two buses have (a bus switched off, a
    // device with one output): no channel means nothing to do, one is input and left output.
    const auto numChannels = buffer.getNumChannels();

    if (numChannels == 0)
        return false;

    const auto numSamples = buffer.getNumSamples();

    // A buffer the framework marked as cleared holds silence on both channels already.
    if (numSamples > 0 && ! buffer.hasBeenCleared())
    {
        // The left input over the right, and NaN or infinity taken as silence: it is no
        // signal, and it would stay in the feedback network until the next prepare and reach
        // the host on the dry path. One pass does both, as the blocks a live host sends are
        // short enough for every pass to count.
        auto* left = buffer.getWritePointer (0);
        auto* right = numChannels > 1 ? buffer.getWritePointer (1) : nullptr;
        const bool finite = right != nullptr ? copyAllFinite (left, right, numSamples) : allFinite (left, numSamples);

        if (! finite)
        {
            silenceNonFinite (left, numSamples);

            if (right != nullptr)
                silenceNonFinite (right, numSamples);
        }
    }

    return true;
}

void PelorvaneAudioProcessor::runNetworkOnMono (float* channel, int numSamples)
{
    // The network's right output has nowhere to go; it is worked out in a scratch block of
    // fixed size, so a mono block runs in pieces. The network gives the same samples whatever
    // the pieces' lengths.
    auto* right = monoScratch.data();
    int done = 0;

    do
    {
        const auto length = juce::jmin (numSamples - done, static_cast<int> (monoScratch.size()));
        std::copy (channel + done, channel + done + length, right);
        runNetwork (channel + done, right, length);
        done += length;
    } while (done < numSamples);
}

void PelorvaneAudioProcessor::runNetwork (float* left, float* right, int numSamples)
{
    // The network reads both inputs of a frame before writing its outputs, so it runs in place.
    float* channels[] = { left, right };
    reverbDsp.compute (numSamples, channels, channels);

    keepNetworkFinite (left, right, numSamples);
}

void PelorvaneAudioProcessor::writeZones()
{
    // Each parameter read once, in this order, and written to its zone as setParamValue would
    // write it by label.
    *targets.spaceZone = targets.space->load();
    *targets.lumensZone = targets.lumens->load();
    *targets.toneZone = targets.tone->load();
    *targets.mixZone = targets.mix->load() * 0.01f;
}

PelorvaneAudioProcessor::AudioPathTargets PelorvaneAudioProcessor::resolveAudioPathTargets()
{
    return { parameters.getParameter (bypassName),
             parameters.getRawParameterValue (spaceName),
             parameters.getRawParameterValue (lumensName),
             parameters.getRawParameterValue (toneName),
             parameters.getRawParameterValue (mixName),
             resolveZone ("space"),
             resolveZone ("lumens"),
             resolveZone ("tone"),
             resolveZone ("mix") };
}

FAUSTFLOAT* PelorvaneAudioProcessor::resolveZone (const std::string& label)
{
    // The zone setParamValue finds for the text: full paths first, then short names, then labels.
    for (auto* map : { &zoneMap.getFullpathMap(), &zoneMap.getShortnameMap(), &zoneMap.getLabelMap() })
        if (const auto found = map->find (label); found != map->end())
            return found->second;

    // The map's own complaint, once instead of on every block.
    std::fprintf (stderr, "ERROR : setParamValue '%s' not found\n", label.c_str());
    return &unmappedZone;
}

void PelorvaneAudioProcessor::keepNetworkFinite (float* left, float* right, int numSamples)
{
    if (allFinite (left, right, numSamples))
        return;

    // The feedback network overflowed (only absurdly loud input at full Space gets here):
    // restart it from silence rather than let the host receive infinities for ever.
    reverbDsp.instanceClear();
    silenceNonFinite (left, numSamples);
    silenceNonFinite (right, numSamples);
}

double PelorvaneAudioProcessor::getTailLengthSeconds() const
{
    const auto space = parameters.getRawParameterValue (spaceName)->load();
    const double gain = 0.5 + 0.05 * space;

    if (gain >= 1.0)
        return std::numeric_limits<double>::infinity();

    const double sampleRate = getSampleRate() > 0.0 ? getSampleRate() : 44100.0;
    const double loopsFor60dB = -3.0 / std::log10 (gain);
    return loopsFor60dB * longestLoopSamples / sampleRate;
}

bool PelorvaneAudioProcessor::acceptsMidi() const { return false; }
bool PelorvaneAudioProcessor::producesMidi() const { return false; }

juce::AudioProcessorParameter* PelorvaneAudioProcessor::getBypassParameter() const
{
    // The framework's LV2 client sets the host's bypass parameter from the host's on/off port
    // on every block, which would undo the footswitch and any automation of Bypass. There the
    // host's switch bypasses through processBlockBypassed and Bypass stays the pedal's own.
    if (wrapperType == wrapperType_LV2)
        return nullptr;

    // The framework's VST3 layer asks for it on every block.
    return targets.bypass;
}

juce::AudioProcessorEditor* PelorvaneAudioProcessor::createEditor()
{
    return new PelorvaneAudioProcessorEditor (*this);
}

bool PelorvaneAudioProcessor::hasEditor() const { return true; }

int PelorvaneAudioProcessor::getNumPrograms() { return 1; }
int PelorvaneAudioProcessor::getCurrentProgram() { return 0; }
void PelorvaneAudioProcessor::setCurrentProgram (int) {}

const juce::String PelorvaneAudioProcessor::getProgramName (int index)
{
    // Validators reject a plug-in whose only program has no name.
    return index == 0 ? "Default" : juce::String();
}

void PelorvaneAudioProcessor::changeProgramName (int, const juce::String&) {}

void PelorvaneAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    stateSerializer.save (destData);
}

void PelorvaneAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    stateSerializer.restore (data, sizeInBytes);
}

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new PelorvaneAudioProcessor();
}
