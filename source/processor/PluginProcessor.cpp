#include "processor/PluginProcessor.h"
#include "crash/CrashHandler.h"

#include "processor/HostSettings.h"
#include "processor/PluginConstants.h"
#include "processor/ParameterLayout.h"
#include "processor/PluginParameters.h"

#include "editor/PluginEditor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <limits>

namespace
{
using PluginParameters::bypassId;
using PluginParameters::knobs;

// Longest loop through the network in samples: line 4's 8192-sample tap behind the
// two all-passes (729 + 1331) and the one-sample feedback.
constexpr double longestLoopSamples = 8192.0 + 729.0 + 1331.0 + 1.0;
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
    // A buffer the framework marked as cleared holds silence on both channels already, and
    // keeps its mark where the block leaves it untouched (bypassed).
    const bool silent = buffer.hasBeenCleared();
    const auto settings = readSettings();

    if (silent && settings.bypass)
        return;

    blockJob.process (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), buffer.getNumSamples(), settings, silent);
}

void PelorvaneAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    if (buffer.hasBeenCleared())
        return;

    blockJob.processBypassed (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), buffer.getNumSamples());
}

BlockJob::Settings PelorvaneAudioProcessor::readSettings() const
{
    // Each parameter read once; the knobs only when the network is to run.
    BlockJob::Settings settings;
    settings.bypass = targets.bypass->getValue() >= 0.5f;

    if (! settings.bypass)
    {
        settings.space = targets.space->load();
        settings.lumens = targets.lumens->load();
        settings.tone = targets.tone->load();
        settings.mix = targets.mix->load();
    }

    return settings;
}

PelorvaneAudioProcessor::AudioPathTargets PelorvaneAudioProcessor::resolveAudioPathTargets()
{
    // The map's own complaint for a label it lacks, once instead of on every block.
    blockJob.bindZones (zoneMap, [] (const char* label) { std::fprintf (stderr, "ERROR : setParamValue '%s' not found\n", label); });

    using namespace PluginParameters;
    return { parameters.getParameter (bypassId),
             parameters.getRawParameterValue (knobs[space].id),
             parameters.getRawParameterValue (knobs[lumens].id),
             parameters.getRawParameterValue (knobs[tone].id),
             parameters.getRawParameterValue (knobs[mix].id) };
}

double PelorvaneAudioProcessor::getTailLengthSeconds() const
{
    const auto space = parameters.getRawParameterValue (knobs[PluginParameters::space].id)->load();
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
