#include "editor/OmbrixSliderLookAndFeel.h"

#include <cmath>

OmbrixSliderLookAndFeel::OmbrixSliderLookAndFeel()
    : drawsOwnStrip (false)
{
}

OmbrixSliderLookAndFeel::OmbrixSliderLookAndFeel (const void* stripData, int stripDataSize)
    : knobStrip (juce::ImageCache::getFromMemory (stripData, stripDataSize)), drawsOwnStrip (true)
{
}

OmbrixSliderLookAndFeel::~OmbrixSliderLookAndFeel() = default;

int OmbrixSliderLookAndFeel::frameIndexFor (double value, double minimum, double maximum)
{
    return static_cast<int> (std::ceil ((value - minimum) / (maximum - minimum) * (numFrames - 1)));
}

void OmbrixSliderLookAndFeel::drawRotarySlider (juce::Graphics& g, int, int, int width, int height, float, float, float, juce::Slider& slider)
{
    if (! drawsOwnStrip)
    {
        drawDerivedFrame (g, frameIndexFor (slider.getValue(), slider.getMinimum(), slider.getMaximum()), width, height);
        return;
    }

    if (! knobStrip.isValid())
    {
        drawMissingStripNotice (g, width, height);
        return;
    }

    drawFrame (g, frameIndexFor (slider.getValue(), slider.getMinimum(), slider.getMaximum()));
}

void OmbrixSliderLookAndFeel::drawFrame (juce::Graphics& g, int frameIndex) const
{
    const auto frameWidth = knobStrip.getWidth();
    const auto frameHeight = knobStrip.getHeight() / numFrames;

    // Always at the knob's top-left corner and a quarter of the strip's size, whatever the
    // knob's bounds, so the pointer stays registered with the knob body in the background.
    g.drawImage (knobStrip,
                 0,
                 0,
                 frameWidth / 4,
                 frameHeight / 4,
                 0,
                 frameIndex * frameHeight,
                 frameWidth,
                 frameHeight);
}

void OmbrixSliderLookAndFeel::drawDerivedFrame (juce::Graphics& g, int frameIndex, int width, int height)
{
    // The frame made for the display's scale, so that it lands on the screen pixel for pixel.
    const auto resolution = EditorPictures::resolutionFor (g.getInternalContext().getPhysicalPixelScaleFactor());
    const auto frame = EditorPictures::knobFrame (frameIndex, resolution);

    if (! frame.isValid())
    {
        drawMissingStripNotice (g, width, height);
        return;
    }

    // A quarter of the strip's frame size, at the knob's top-left corner, as drawFrame draws it.
    g.drawImage (frame, 0, 0, frame.getWidth() / resolution, frame.getHeight() / resolution, 0, 0, frame.getWidth(), frame.getHeight());
}

void OmbrixSliderLookAndFeel::drawMissingStripNotice (juce::Graphics& g, int width, int height)
{
    const auto area = juce::Rectangle<float> (static_cast<float> (width) * 0.65f * 0.5f + 1.0f,
                                              static_cast<float> (height) * 0.5f,
                                              static_cast<float> (width) * 0.35f,
                                              static_cast<float> (height) * 0.5f)
                          .getSmallestIntegerContainer();

    g.setColour (juce::Colour (0xffffffff));
    g.drawFittedText ("No Image", area, juce::Justification::centred, 1, 0.0f);
}

void OmbrixSliderLookAndFeel::drawLabel (juce::Graphics& g, juce::Label& label)
{
    g.setColour (juce::Colour (0xff000000));
    g.fillRoundedRectangle (label.getLocalBounds().toFloat(), 0.5f);

    // While the text is being edited the label's editor shows it.
    if (label.isBeingEdited())
        return;

    const auto font = getLabelFont (label);
    g.setColour (juce::Colour (0xffffffff));
    g.setFont (font);

    const auto textArea = getLabelBorderSize (label).subtractedFrom (label.getLocalBounds());
    const auto maxLines = juce::jmax (1, static_cast<int> (static_cast<float> (textArea.getHeight()) / font.getHeight()));

    g.drawFittedText (label.getText(), textArea, label.getJustificationType(), maxLines, label.getMinimumHorizontalScale());
}
