#include "editor/KeyboardAccess.h"

namespace
{
bool isUnmodified (const juce::KeyPress& key, int keyCode)
{
    return key.getKeyCode() == keyCode && ! key.getModifiers().isAnyModifierKeyDown();
}

bool isTab (const juce::KeyPress& key)
{
    const auto modifiers = key.getModifiers().withoutFlags (juce::ModifierKeys::shiftModifier);
    return key.getKeyCode() == juce::KeyPress::tabKey && ! modifiers.isAnyModifierKeyDown();
}
} // namespace

KeyboardAccess::KeyboardAccess (juce::Component& windowToServe, std::vector<Control> controlsInTabOrder)
    : window (windowToServe), controls (std::move (controlsInTabOrder))
{
    // Tab goes round the window's own controls only. The window itself takes the focus when
    // it is activated or its background is clicked, so that Tab then starts at the first control.
    window.setFocusContainerType (juce::Component::FocusContainerType::keyboardFocusContainer);
    window.setWantsKeyboardFocus (true);
    window.addKeyListener (this);
    window.addMouseListener (this, true);

    int order = 0;
    for (const auto& control : controls)
    {
        control.component.setWantsKeyboardFocus (true);
        control.component.setMouseClickGrabsKeyboardFocus (false);
        control.component.setExplicitFocusOrder (++order);
        control.component.addKeyListener (this);
    }

    juce::Desktop::getInstance().addFocusChangeListener (this);
}

KeyboardAccess::~KeyboardAccess()
{
    juce::Desktop::getInstance().removeFocusChangeListener (this);

    for (const auto& control : controls)
        control.component.removeKeyListener (this);

    window.removeMouseListener (this);
    window.removeKeyListener (this);
}

bool KeyboardAccess::keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent)
{
    if (! keyboardInUse)
    {
        keyboardInUse = true;
        updateRing();
    }

    if (originatingComponent == &window)
        return isTab (key) && focusedControl() == nullptr && focusFirstControl (! key.getModifiers().isShiftDown());

    // Buttons answer Enter by themselves, but Space only as a shortcut of the whole window.
    if (auto* button = dynamic_cast<juce::Button*> (originatingComponent))
    {
        if (isUnmodified (key, juce::KeyPress::spaceKey) || isUnmodified (key, juce::KeyPress::returnKey))
        {
            button->triggerClick();
            return true;
        }
    }

    return false;
}

bool KeyboardAccess::focusFirstControl (bool forwards)
{
    if (controls.empty())
        return false;

    auto& control = (forwards ? controls.front() : controls.back()).component;

    if (! control.isShowing())
        return false;

    control.grabKeyboardFocus();
    return true;
}

void KeyboardAccess::mouseDown (const juce::MouseEvent&)
{
    keyboardInUse = false;
    updateRing();
}

void KeyboardAccess::globalFocusChanged (juce::Component*)
{
    updateRing();
}

const KeyboardAccess::Control* KeyboardAccess::focusedControl() const
{
    for (const auto& control : controls)
        if (control.component.hasKeyboardFocus (false))
            return &control;

    return nullptr;
}

juce::Component* KeyboardAccess::controlWithRing() const
{
    if (! keyboardInUse)
        return nullptr;

    const auto* focused = focusedControl();
    return focused != nullptr ? &focused->component : nullptr;
}

void KeyboardAccess::updateRing()
{
    const auto* control = keyboardInUse ? focusedControl() : nullptr;
    const auto area = control != nullptr ? control->ring.expanded (ringThickness).getSmallestIntegerContainer() : juce::Rectangle<int>();

    if (area == areaWithRing)
        return;

    window.repaint (areaWithRing);
    window.repaint (area);
    areaWithRing = area;
}

void KeyboardAccess::paintRing (juce::Graphics& g) const
{
    const auto* control = keyboardInUse ? focusedControl() : nullptr;

    if (control == nullptr)
        return;

    g.setColour (juce::Colour (ringColour));
    g.drawRoundedRectangle (control->ring, control->cornerSize, ringThickness);
}
