#include "editor/PictureButton.h"

PictureButton::PictureButton (EditorPictures::Control normalLook, EditorPictures::Control downOrOnLook, float clickableAlpha)
    : juce::Button ({}), normal (normalLook), downOrOn (downOrOnLook), alphaThreshold (juce::jlimit (0, 255, juce::roundToInt (clickableAlpha * 255.0f)))
{
}

EditorPictures::Control PictureButton::shownControl (bool shouldDrawButtonAsDown) const
{
    return shouldDrawButtonAsDown || getToggleState() ? downOrOn : normal;
}

void PictureButton::decodeShownPicture (int resolution) const
{
    EditorPictures::control (shownControl (false), resolution);
}

void PictureButton::paintButton (juce::Graphics& g, bool, bool shouldDrawButtonAsDown)
{
    const auto resolution = EditorPictures::resolutionFor (g.getInternalContext().getPhysicalPixelScaleFactor());
    const auto picture = EditorPictures::control (shownControl (shouldDrawButtonAsDown), resolution);

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
