#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <faust/gui/MapUI.h>

#include <array>
#include <atomic>
#include <string>

#include "dsp/mydsp.h"
#include "editor/EditorPictures.h"
#include "processor/StateSerializer.h"

/** The effect as hosts see it: five parameters, the left input run through the
    shimmer reverb in place, and a bypass that freezes the reverb's tail.
*/
class PelorvaneAudioProcessor : public juce::AudioProcessor
{
public:
    PelorvaneAudioProcessor();
    ~PelorvaneAudioProcessor() override;

    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int maximumExpectedSamplesPerBlock) override;
    void releaseResources() override;
    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlock;

    /** The host's own bypass where Bypass is not the host's (see getBypassParameter): the
        left input on both sides, the tail frozen, as with Bypass. */
    void processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midiMessages) override;
    using juce::AudioProcessor::processBlockBypassed;

    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;
    juce::AudioProcessorParameter* getBypassParameter() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    static juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();

private:
    MapUI zoneMap;
    mydsp reverbDsp;

public:
    juce::AudioProcessorValueTreeState parameters;

private:
    StateSerializer stateSerializer;

    // The window's pictures, once a window has decoded them, stay while the instance lives.
    EditorPictures::Keeper editorPictures;

    /** What processBlock reads and writes, resolved once at construction: the parameters'
        values (one atomic float each, inside the parameter objects) and the zones the map
        reaches under the four labels. The map and the container are not changed afterwards,
        so each pointer stays what the look-up by ID or by label would give.
    */
    struct AudioPathTargets
    {
        juce::AudioProcessorParameter* bypass;
        std::atomic<float>* space;
        std::atomic<float>* lumens;
        std::atomic<float>* tone;
        std::atomic<float>* mix;
        FAUSTFLOAT* spaceZone;
        FAUSTFLOAT* lumensZone;
        FAUSTFLOAT* toneZone;
        FAUSTFLOAT* mixZone;
    };

    AudioPathTargets resolveAudioPathTargets();
    FAUSTFLOAT* resolveZone (const std::string& label);

    // Where a label the map does not hold would be written: nowhere that is read.
    FAUSTFLOAT unmappedZone = 0;
    AudioPathTargets targets {};

    void writeZones();
    void runNetwork (float* left, float* right, int numSamples);
    /** Silences a non-finite input and copies the left input over the right; false when the
        block has no channel at all. */
    bool takeLeftInput (juce::AudioBuffer<float>& buffer);
    void runNetworkOnMono (float* channel, int numSamples);
    void keepNetworkFinite (float* left, float* right, int numSamples);

    // The right half of the network's output when the host gives one channel only.
    std::array<float, 256> monoScratch {};

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PelorvaneAudioProcessor)
};
