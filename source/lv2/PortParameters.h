#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <cstdint>
#include <functional>

/** The host parameters, without any audio, for the LV2 UI: the same container the plug-in's
    processor keeps (so the pedal window can edit it), reaching the LV2 plug-in only through its
    control ports. A change made in the window is written to its port; a port's value from the
    host moves the parameter without being written back. The knobs' ports carry the values as
    they are; the enabled port is "Bypass" inverted.

    Message thread only (the host's UI thread). Prints nothing and installs nothing: it lives in
    the host's process.
*/
class PortParameters : public juce::AudioProcessor,
                       private juce::AudioProcessorValueTreeState::Listener
{
public:
    using PortWriter = std::function<void (std::uint32_t portIndex, float value)>;

    explicit PortParameters (PortWriter writerToUse);
    ~PortParameters() override;

    /** A control port's value as the host has it; other ports and non-finite values are ignored. */
    void showPortValue (std::uint32_t portIndex, float value);

    juce::AudioProcessorValueTreeState parameters;

    const juce::String getName() const override;
    void prepareToPlay (double, int) override {}
    void releaseResources() override {}
    void processBlock (juce::AudioBuffer<float>&, juce::MidiBuffer&) override {}
    using juce::AudioProcessor::processBlock;
    double getTailLengthSeconds() const override { return 0.0; }
    bool acceptsMidi() const override { return false; }
    bool producesMidi() const override { return false; }
    juce::AudioProcessorEditor* createEditor() override { return nullptr; }
    bool hasEditor() const override { return false; }
    int getNumPrograms() override { return 1; }
    int getCurrentProgram() override { return 0; }
    void setCurrentProgram (int) override {}
    const juce::String getProgramName (int) override { return {}; }
    void changeProgramName (int, const juce::String&) override {}
    void getStateInformation (juce::MemoryBlock&) override {}
    void setStateInformation (const void*, int) override {}

private:
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    const PortWriter writeToPort;
    bool showingPortValue = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PortParameters)
};
