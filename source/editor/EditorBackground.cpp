#include "editor/EditorBackground.h"

#include <cmath>

void EditorBackground::prepareFor (float scale)
{
    EditorPictures::decodeInBackground (EditorPictures::backgroundFor (EditorPictures::resolutionFor (scale)));
}

void EditorBackground::draw (juce::Graphics& g, juce::Rectangle<int> area)
{
    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto picture = EditorPictures::get (EditorPictures::backgroundFor (EditorPictures::resolutionFor (scale)));

    if (! picture.isValid() || area.isEmpty())
        return;

    // Device pixels per window pixel that the picture was made for.
    const auto pictureScale = (float) picture.getWidth() / (float) area.getWidth();
    const auto fitsExactly = std::abs (pictureScale - scale) < 1.0e-3f
                             && picture.getHeight() == juce::roundToInt ((float) area.getHeight() * pictureScale);

    if (fitsExactly)
    {
        g.drawImage (picture, area.toFloat());
        return;
    }

    if (scaledCopyScale != scale || scaledCopyArea != area || ! scaledCopy.isValid())
    {
        scaledCopy = copyAtScale (picture, area, scale);
        scaledCopyScale = scale;
        scaledCopyArea = area;
    }

    g.drawImage (scaledCopy, area.toFloat());
}

juce::Image EditorBackground::copyAtScale (const juce::Image& picture, juce::Rectangle<int> area, float scale)
{
    const auto width = juce::jmax (1, juce::roundToInt ((float) area.getWidth() * scale));
    const auto height = juce::jmax (1, juce::roundToInt ((float) area.getHeight() * scale));
    juce::Image copy (juce::Image::RGB, width, height, false);
    juce::Graphics g (copy);
    g.drawImageWithin (picture, 0, 0, width, height, juce::RectanglePlacement::stretchToFit);
    return copy;
}
