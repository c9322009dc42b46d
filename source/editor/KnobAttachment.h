#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/MessageThreadWatch.h"

#include <atomic>

/** Binds a knob to a host parameter without ever posting from the thread that changes it.

    The knob takes the parameter's range, step and text, a double-click returns it to the
    parameter's default, and every drag (and every step made with the keyboard or a screen
    reader) reaches the host as one change gesture.

    A change made on the message thread moves the knob at once. A change made on any other
    thread (host automation on the audio thread) only sets a flag, one atomic store: no
    allocation, no lock, no message. The owner's timer calls showChangesMadeElsewhere() to
    let the knob follow at display rate.
*/
class KnobAttachment : private juce::AudioProcessorParameter::Listener,
                       private juce::Slider::Listener
{
public:
    /** Message thread only, like the destructor. */
    KnobAttachment (juce::RangedAudioParameter& parameterToFollow, juce::Slider& knobToDrive, const MessageThreadWatch& messageThreadToAsk);
    ~KnobAttachment() override;

    /** Message thread: moves the knob to the parameter if another thread changed it since. */
    void showChangesMadeElsewhere();

private:
    void parameterValueChanged (int parameterIndex, float newValue) override;
    void parameterGestureChanged (int, bool) override {}

    void sliderValueChanged (juce::Slider*) override;
    void sliderDragStarted (juce::Slider*) override;
    void sliderDragEnded (juce::Slider*) override;

    void setUpKnob();
    void showParameterValue();

    juce::RangedAudioParameter& parameter;
    juce::Slider& knob;

    const MessageThreadWatch& messageThread;
    std::atomic<bool> changedElsewhere { false };
    bool showingParameterValue = false;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KnobAttachment)
};
