#include "editor/EditorBackground.h"

#include <cmath>

void EditorBackground::prepareFor (float scale)
{
    // Other scales draw a copy made from the full-size picture, not one of these.
    if (EditorPictures::hasPicturesFor (scale))
        EditorPictures::decodeInBackground (EditorPictures::backgroundFor (EditorPictures::resolutionFor (scale)));
}

void EditorBackground::draw (juce::Graphics& g, juce::Rectangle<int> area)
{
    if (area.isEmpty())
        return;

    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto resolution = EditorPictures::resolutionFor (scale);

    // At 100 % and 200 %, the picture made for that scale, pixel for pixel.
    if (EditorPictures::hasPicturesFor (scale))
    {
        const auto background = EditorPictures::backgroundFor (resolution);
        EditorPictures::noteBackgroundDrawn (background);
        const auto picture = EditorPictures::get (background);

        if (! picture.isValid() || picture.getBounds() == (area.withZeroOrigin() * resolution))
        {
            g.drawImage (picture, area.toFloat());
            return;
        }
    }

    if (scaledCopyScale != scale || scaledCopyArea != area || ! scaledCopy.isValid())
    {
        scaledCopy = copyAtScale (area, scale);
        scaledCopyScale = scale;
        scaledCopyArea = area;
    }

    // One device pixel per pixel of the copy, so that it is put on screen as it is.
    g.drawImageTransformed (scaledCopy, juce::AffineTransform::scale (1.0f / scale).translated (area.getPosition().toFloat()));
}

juce::Image EditorBackground::copyAtScale (juce::Rectangle<int> area, float scale)
{
    const auto original = EditorPictures::fullSizeBackground();

    if (! original.isValid())
        return {};

    // Drawn as the window draws the full-size picture at this scale; the picture itself is not kept.
    juce::Image copy (juce::Image::RGB, juce::roundToInt ((float) area.getWidth() * scale), juce::roundToInt ((float) area.getHeight() * scale), false);
    juce::Graphics g (copy);
    g.addTransform (juce::AffineTransform::scale (scale));
    g.drawImageWithin (original, 0, 0, area.getWidth(), area.getHeight(), juce::RectanglePlacement::stretchToFit);
    return copy;
}
