#include "editor/OmbrixSlider.h"

OmbrixSlider::OmbrixSlider()
{
    // The pointer frame is drawn larger than the knob's bounds.
    setPaintingIsUnclipped (true);

    // Reachable with Tab; a click turns the knob as before and moves no focus.
    setWantsKeyboardFocus (true);
    setMouseClickGrabsKeyboardFocus (false);
}

OmbrixSlider::~OmbrixSlider() = default;

void OmbrixSlider::mouseDown (const juce::MouseEvent& event)
{
    juce::Slider::mouseDown (event);
    setMouseCursor (juce::MouseCursor::NoCursor);
    pressPosition = juce::Desktop::getMousePosition();
}

void OmbrixSlider::mouseUp (const juce::MouseEvent& event)
{
    juce::Slider::mouseUp (event);
    juce::Desktop::setMousePosition (pressPosition);
    setMouseCursor (juce::MouseCursor::NormalCursor);
}

bool OmbrixSlider::keyPressed (const juce::KeyPress& key)
{
    // A key during a mouse drag would end the drag's gesture half-way.
    if (! isEnabled() || isMouseButtonDown())
        return false;

    const auto newValue = valueForKey (key);

    if (! newValue.has_value())
        return false;

    // One gesture per key press, so that hosts record each step as one automation edit.
    const ScopedDragNotification gesture (*this);
    setValue (*newValue, juce::sendNotificationSync);
    return true;
}

std::optional<double> OmbrixSlider::valueForKey (const juce::KeyPress& key) const
{
    if (key.getModifiers().isAnyModifierKeyDown())
        return {};

    const auto step = getInterval() > 0.0 ? getInterval() : (getMaximum() - getMinimum()) * 0.01;
    const auto page = (getMaximum() - getMinimum()) * 0.1;
    const auto code = key.getKeyCode();

    if (code == juce::KeyPress::upKey || code == juce::KeyPress::rightKey)
        return getValue() + step;
    if (code == juce::KeyPress::downKey || code == juce::KeyPress::leftKey)
        return getValue() - step;
    if (code == juce::KeyPress::pageUpKey)
        return getValue() + page;
    if (code == juce::KeyPress::pageDownKey)
        return getValue() - page;
    if (code == juce::KeyPress::homeKey)
        return getMinimum();
    if (code == juce::KeyPress::endKey)
        return getMaximum();

    return {};
}
