#include "editor/PictureButton.h"

PictureButton::PictureButton (EditorPictures::Control normalLook, EditorPictures::Control downOrOnLook, float clickableAlpha)
    : juce::Button ({}), normal (normalLook), downOrOn (downOrOnLook), alphaThreshold (juce::jlimit (0, 255, juce::roundToInt (clickableAlpha * 255.0f)))
{
}

EditorPictures::Control PictureButton::shownControl (bool shouldDrawButtonAsDown) const
{
    return shouldDrawButtonAsDown || getToggleState() ? downOrOn : normal;
}

void PictureButton::decodeShownPicture (float scale) const
{
    if (EditorPictures::hasPicturesFor (scale))
        EditorPictures::control (shownControl (false), EditorPictures::resolutionFor (scale));
}

void PictureButton::paintButton (juce::Graphics& g, bool, bool shouldDrawButtonAsDown)
{
    const auto scale = g.getInternalContext().getPhysicalPixelScaleFactor();
    const auto control = shownControl (shouldDrawButtonAsDown);

    // At 100 % and 200 %, pixel for pixel.
    if (EditorPictures::hasPicturesFor (scale))
    {
        drawStretched (g, EditorPictures::control (control, EditorPictures::resolutionFor (scale)));
        return;
    }

    // At any other scale, a copy drawn from the full-size picture at that scale once, so that
    // no paint rescales it.
    if (! juce::approximatelyEqual (copiesScale, scale))
    {
        scaledCopies = {};
        copiesScale = scale;
    }

    auto& copy = scaledCopies[control == downOrOn ? 1 : 0];

    if (! copy.isValid())
    {
        copy = juce::Image (juce::Image::ARGB, juce::roundToInt ((float) getWidth() * scale), juce::roundToInt ((float) getHeight() * scale), true);
        juce::Graphics drawn (copy);
        drawn.addTransform (juce::AffineTransform::scale (scale));
        drawStretched (drawn, EditorPictures::fullSizeControl (control));
    }

    g.drawImageTransformed (copy, juce::AffineTransform::scale (1.0f / scale));
}

void PictureButton::drawStretched (juce::Graphics& g, const juce::Image& picture) const
{
    g.drawImage (picture, 0, 0, getWidth(), getHeight(), 0, 0, picture.getWidth(), picture.getHeight());
}

bool PictureButton::hitTest (int x, int y)
{
    if (! juce::Button::hitTest (x, y))
        return false;

    if (alphaThreshold == 0)
        return true;

    // The picture the button shows now; the one for 100 % is enough to tell.
    const auto picture = EditorPictures::control (shownControl (isDown()), 1);

    if (! picture.isValid() || getWidth() <= 0 || getHeight() <= 0)
        return true;

    return picture.getPixelAt (x * picture.getWidth() / getWidth(), y * picture.getHeight() / getHeight()).getAlpha() > alphaThreshold;
}
