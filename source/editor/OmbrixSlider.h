#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <optional>

/** A rotary knob that hides the mouse pointer while it is turned and puts the pointer
    back where the press began, so a long drag never leaves it somewhere else on screen.

    It takes keyboard focus (but not from a mouse click): the arrow keys move it by one step,
    Page Up and Page Down by a tenth of its range, Home and End to its ends. Each key press
    is one complete drag as far as the slider's listeners can tell.
*/
class OmbrixSlider : public juce::Slider
{
public:
    OmbrixSlider();
    ~OmbrixSlider() override;

    void mouseDown (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;
    bool keyPressed (const juce::KeyPress& key) override;

private:
    std::optional<double> valueForKey (const juce::KeyPress& key) const;

    juce::Point<int> pressPosition;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OmbrixSlider)
};
