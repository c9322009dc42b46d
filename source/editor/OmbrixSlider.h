#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** A rotary knob that hides the mouse pointer while it is turned and puts the pointer
    back where the press began, so a long drag never leaves it somewhere else on screen.
*/
class OmbrixSlider : public juce::Slider
{
public:
    OmbrixSlider();
    ~OmbrixSlider() override;

    void mouseDown (const juce::MouseEvent& event) override;
    void mouseUp (const juce::MouseEvent& event) override;

private:
    juce::Point<int> pressPosition;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OmbrixSlider)
};
