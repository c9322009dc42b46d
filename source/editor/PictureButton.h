#pragma once

#include "editor/EditorPictures.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>

/** A button shown as one of two pictures, stretched over the whole button: the second while it
    is held down or toggled on.

    The pictures come in the two resolutions the window is drawn at, at the button's size, so
    they are put on screen pixel for pixel; at any other scale each look is drawn from the
    full-size picture into a copy at that scale once.
    Clicks can be limited to where the picture shown is nearly opaque.
*/
class PictureButton : public juce::Button
{
public:
    /** clickableAlpha: 0 to take clicks anywhere on the button, otherwise the opacity (0 to 1)
        the picture must exceed where it is clicked. */
    PictureButton (EditorPictures::Control normal, EditorPictures::Control downOrOn, float clickableAlpha);

    bool hitTest (int x, int y) override;

    /** Decodes, unless done, the picture the button shows now for a window at this scale. */
    void decodeShownPicture (float scale) const;

private:
    void paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    EditorPictures::Control shownControl (bool shouldDrawButtonAsDown) const;
    void drawStretched (juce::Graphics& g, const juce::Image& picture) const;

    const EditorPictures::Control normal;
    const EditorPictures::Control downOrOn;
    const int alphaThreshold;

    // The two looks drawn at a scale that has no pictures of its own.
    std::array<juce::Image, 2> scaledCopies;
    float copiesScale = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PictureButton)
};
