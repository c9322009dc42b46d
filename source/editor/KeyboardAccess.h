#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <vector>

/** Keyboard access to a window's controls.

    Tab and Shift+Tab move the keyboard focus through the controls in the order given, round
    and round, and into the window when nothing in it has the focus yet. Space and Enter click
    a focused button. While the keyboard is in use, a ring that the window draws over its
    children marks the focused control. A mouse press hides the ring, and a click on a control
    never gives it the focus (a click on the background gives it to the window), so the
    window looks and behaves as before for whoever uses the mouse alone: Space after a click
    on the footswitch still reaches the host, not the switch.

    Message thread only.
*/
class KeyboardAccess : private juce::KeyListener,
                       private juce::MouseListener,
                       private juce::FocusChangeListener
{
public:
    /** A control and the ring drawn around it, in the window's coordinates. */
    struct Control
    {
        juce::Component& component;
        juce::Rectangle<float> ring;
        float cornerSize; // half the ring's smaller side makes a circle
    };

    KeyboardAccess (juce::Component& windowToServe, std::vector<Control> controlsInTabOrder);
    ~KeyboardAccess() override;

    /** Draws the ring, if one is shown; the window calls this from paintOverChildren. */
    void paintRing (juce::Graphics& g) const;

    /** The control the ring is drawn around, or nullptr while none is. */
    juce::Component* controlWithRing() const;

    static constexpr float ringThickness = 2.5f;
    static constexpr juce::uint32 ringColour = 0xffffc14d;

private:
    bool keyPressed (const juce::KeyPress& key, juce::Component* originatingComponent) override;
    void mouseDown (const juce::MouseEvent&) override;
    void globalFocusChanged (juce::Component*) override;

    const Control* focusedControl() const;
    bool focusFirstControl (bool forwards);
    void updateRing();

    juce::Component& window;
    const std::vector<Control> controls;
    bool keyboardInUse = false;
    juce::Rectangle<int> areaWithRing;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (KeyboardAccess)
};
