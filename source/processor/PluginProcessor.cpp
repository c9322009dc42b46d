#include "processor/PluginProcessor.h"
#include "crash/CrashHandler.h"

#include "processor/HostSettings.h"
#include "processor/PluginConstants.h"

#include "editor/PluginEditor.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>

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

// Branch-free over the block, so the check costs little next to the network.
bool allFinite (const float* samples, int count)
{
    std::uint32_t nonFinite = 0;

    for (int i = 0; i < count; ++i)
    {
        std::uint32_t bits;
        std::memcpy (&bits, samples + i, sizeof (bits));
        nonFinite |= (bits & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
    }

    return nonFinite == 0;
}

void silenceNonFinite (float* samples, int count)
{
    for (int i = 0; i < count; ++i)
        if (! isFiniteSample (samples[i]))
            samples[i] = 0.0f;
}
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
    juce::ScopedNoDenormals noDenormals;

    if (! takeLeftInput (buffer))
        return;

    if (parameters.getParameter (bypassName)->getValue() >= 0.5f)
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

    if (numSamples > 0)
    {
        // NaN or infinity is no signal: it would stay in the feedback network until the next
        // prepare and reach the host on the dry path, so it is taken as silence.
        if (! allFinite (buffer.getReadPointer (0), numSamples))
            silenceNonFinite (buffer.getWritePointer (0), numSamples);

        if (numChannels > 1)
            buffer.copyFrom (1, 0, buffer, 0, 0, numSamples);
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
    const auto plainValue = [this] (const char* id) { return parameters.getRawParameterValue (id)->load(); };

    zoneMap.setParamValue ("space", plainValue (spaceName));
    zoneMap.setParamValue ("lumens", plainValue (lumensName));
    zoneMap.setParamValue ("tone", plainValue (toneName));
    zoneMap.setParamValue ("mix", plainValue (mixName) * 0.01f);
}

void PelorvaneAudioProcessor::keepNetworkFinite (float* left, float* right, int numSamples)
{
    if (allFinite (left, numSamples) && allFinite (right, numSamples))
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

    return parameters.getParameter (bypassName);
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
