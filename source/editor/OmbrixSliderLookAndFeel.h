#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/EditorPictures.h"

/** Draws a knob as one frame of a 100-frame pointer film strip (the knob body is part of
    the window's background) and a knob's value box as white text on black.
*/
class OmbrixSliderLookAndFeel : public juce::LookAndFeel_V4
{
public:
    /** Uses the pointer frames derived from the embedded knob strip at the sizes they are drawn,
        decoded one by one as knobs show them. */
    OmbrixSliderLookAndFeel();

    /** Uses the strip encoded in the given bytes; if they do not decode, knobs say "No Image". */
    OmbrixSliderLookAndFeel (const void* stripData, int stripDataSize);

    ~OmbrixSliderLookAndFeel() override;

    void drawLabel (juce::Graphics& g, juce::Label& label) override;

    void drawRotarySlider (juce::Graphics& g,
                           int x,
                           int y,
                           int width,
                           int height,
                           float sliderPosProportional,
                           float rotaryStartAngle,
                           float rotaryEndAngle,
                           juce::Slider& slider) override;

    static constexpr int numFrames = 100;

    /** The strip frame for a value: linear in the value, and only the exact minimum gets frame 0. */
    static int frameIndexFor (double value, double minimum, double maximum);

private:
    void drawFrame (juce::Graphics& g, int frameIndex) const;
    static void drawDerivedFrame (juce::Graphics& g, int frameIndex, int width, int height);
    static void drawMissingStripNotice (juce::Graphics& g, int width, int height);

    // Set only when the look-and-feel was given a strip of its own.
    juce::Image knobStrip;
    const bool drawsOwnStrip;
    EditorPictures::Keeper pictureKeeper;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OmbrixSliderLookAndFeel)
};
