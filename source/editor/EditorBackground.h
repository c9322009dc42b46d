#pragma once

#include "editor/EditorPictures.h"

#include <juce_graphics/juce_graphics.h>

/** Draws the window's background at whatever scale the window is shown.

    At 100 % and 200 % it puts the picture derived for that scale on screen pixel for pixel; at
    any other scale (or size) it draws the full-size picture once into a copy at that scale and
    from then on draws the copy, so that no paint rescales the background.
*/
class EditorBackground
{
public:
    /** Starts decoding, meanwhile, the picture a window at this scale draws. */
    void prepareFor (float scale);

    void draw (juce::Graphics& g, juce::Rectangle<int> area);

private:
    static juce::Image copyAtScale (juce::Rectangle<int> area, float scale);

    juce::Image scaledCopy;
    float scaledCopyScale = 0.0f;
    juce::Rectangle<int> scaledCopyArea;
};
