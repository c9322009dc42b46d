#include "editor/KnobAttachment.h"

KnobAttachment::KnobAttachment (juce::RangedAudioParameter& parameterToFollow, juce::Slider& knobToDrive, const MessageThreadWatch& messageThreadToAsk)
    : parameter (parameterToFollow), knob (knobToDrive), messageThread (messageThreadToAsk)
{
    setUpKnob();
    showParameterValue();

    parameter.addListener (this);
    knob.addListener (this);
}

KnobAttachment::~KnobAttachment()
{
    knob.removeListener (this);

    // Waits for a notification in progress on another thread; none arrives after this.
    parameter.removeListener (this);
}

void KnobAttachment::setUpKnob()
{
    auto& p = parameter;
    knob.textFromValueFunction = [&p] (double value)
    { return p.getText (p.convertTo0to1 (static_cast<float> (value)), 0); };
    knob.valueFromTextFunction = [&p] (const juce::String& text)
    { return static_cast<double> (p.convertFrom0to1 (p.getValueForText (text))); };
    knob.setDoubleClickReturnValue (true, p.convertFrom0to1 (p.getDefaultValue()));

    // The knob converts and snaps in single precision, exactly as the parameter does, so a
    // value the knob shows is always one the parameter can hold.
    const auto range = p.getNormalisableRange();
    const auto withBounds = [range] (double start, double end)
    {
        auto r = range;
        r.start = static_cast<float> (start);
        r.end = static_cast<float> (end);
        return r;
    };

    juce::NormalisableRange<double> knobRange { range.start,
                                                range.end,
                                                [withBounds] (double start, double end, double proportion)
                                                { return static_cast<double> (withBounds (start, end).convertFrom0to1 (static_cast<float> (proportion))); },
                                                [withBounds] (double start, double end, double value)
                                                { return static_cast<double> (withBounds (start, end).convertTo0to1 (static_cast<float> (value))); },
                                                [withBounds] (double start, double end, double value)
                                                { return static_cast<double> (withBounds (start, end).snapToLegalValue (static_cast<float> (value))); } };
    knobRange.interval = range.interval;
    knobRange.skew = range.skew;
    knobRange.symmetricSkew = range.symmetricSkew;
    knob.setNormalisableRange (knobRange);
}

void KnobAttachment::showParameterValue()
{
    const juce::ScopedValueSetter<bool> showing (showingParameterValue, true);
    knob.setValue (parameter.convertFrom0to1 (parameter.getValue()), juce::sendNotificationSync);
}

void KnobAttachment::showChangesMadeElsewhere()
{
    // Read the parameter now, so that a burst of changes ends on the latest value.
    if (changedElsewhere.exchange (false))
        showParameterValue();
}

void KnobAttachment::parameterValueChanged (int, float)
{
    if (! messageThread.isMessageThread())
    {
        changedElsewhere.store (true);
        return;
    }

    changedElsewhere.store (false);
    showParameterValue();
}

void KnobAttachment::sliderValueChanged (juce::Slider*)
{
    if (showingParameterValue)
        return;

    const auto newValue = parameter.convertTo0to1 (static_cast<float> (knob.getValue()));

    if (parameter.getValue() != newValue)
        parameter.setValueNotifyingHost (newValue);
}

void KnobAttachment::sliderDragStarted (juce::Slider*)
{
    parameter.beginChangeGesture();
}

void KnobAttachment::sliderDragEnded (juce::Slider*)
{
    parameter.endChangeGesture();
}
