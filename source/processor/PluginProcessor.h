#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <faust/gui/MapUI.h>

#include <array>
#include <atomic>
#include <string>

#include "dsp/mydsp.h"
#include "processor/BlockJob.h"
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

    /** The host's own bypass, should a host bypass without Bypass: the left input on both
        sides, the tail frozen, as with Bypass. */
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

private:
    MapUI zoneMap;
    mydsp reverbDsp;

public:
    juce::AudioProcessorValueTreeState parameters;

private:
    StateSerializer stateSerializer;

    // The window's pictures, once a window has decoded them, stay while the instance lives.
    EditorPictures::Keeper editorPictures;

    /** What processBlock reads, resolved once at construction: the parameters' values (one
        atomic float each, inside the parameter objects). The container is not changed
        afterwards, so each pointer stays what the look-up by ID would give.
    */
    struct AudioPathTargets
    {
        juce::AudioProcessorParameter* bypass;
        std::atomic<float>* space;
        std::atomic<float>* lumens;
        std::atomic<float>* tone;
        std::atomic<float>* mix;
    };

    /** Also binds the block job to the zones the map reaches under the four labels. */
    AudioPathTargets resolveAudioPathTargets();

    /** The block itself, as the web page's engine runs it too (BlockJob.h). */
    BlockJob blockJob { reverbDsp };
    AudioPathTargets targets {};

    /** The job's view of the parameters, each read once. */
    BlockJob::Settings readSettings() const;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PelorvaneAudioProcessor)
};
