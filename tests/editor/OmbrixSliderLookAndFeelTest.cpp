#include "editor/OmbrixSlider.h"
#include "editor/OmbrixSliderLookAndFeel.h"

#include "EditorTestSupport.h"

#include <BinaryData.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace EditorTestSupport;

namespace
{
class KnobDrawingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
        knob.setTextBoxStyle (juce::Slider::NoTextBox, true, 100, 15);
        knob.setRange (0.0, 10.0, 0.1);
        knob.setValue (5.0);
        parent.setSize (200, 200);
        parent.addAndMakeVisible (knob);
        knob.setBounds (20, 30, 90, 90);
    }

    void use (std::unique_ptr<OmbrixSliderLookAndFeel> newLookAndFeel)
    {
        lookAndFeel = std::move (newLookAndFeel);
        knob.setLookAndFeel (lookAndFeel.get());
    }

    void TearDown() override { knob.setLookAndFeel (nullptr); }

    juce::Image snapshot() { return parent.createComponentSnapshot (parent.getLocalBounds(), true, 1.0f); }

    /** What the parent should show: one strip frame, 105 px square at the knob's corner. */
    juce::Image expectedFrame (int frame)
    {
        const auto strip = juce::ImageCache::getFromMemory (BinaryData::knob_strip_png, BinaryData::knob_strip_pngSize);
        juce::Image image (juce::Image::ARGB, 200, 200, true);
        juce::Graphics g (image);
        g.drawImage (strip, 20, 30, 105, 105, 0, frame * 421, 421, 421);
        return image;
    }

    juce::ScopedJuceInitialiser_GUI juceInit;
    std::unique_ptr<OmbrixSliderLookAndFeel> lookAndFeel;
    juce::Component parent;
    OmbrixSlider knob;
};
} // namespace

TEST (OmbrixSliderLookAndFeelFrames, OnlyTheMinimumShowsFrameZero)
{
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (0.0, 0.0, 10.0), 0);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (0.1, 0.0, 10.0), 1);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (1.0, 0.0, 100.0), 1);
}

TEST (OmbrixSliderLookAndFeelFrames, MiddleAndMaximum)
{
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (5.0, 0.0, 10.0), 50);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (50.0, 0.0, 100.0), 50);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (9.9, 0.0, 10.0), 99);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (10.0, 0.0, 10.0), 99);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (100.0, 0.0, 100.0), 99);
    EXPECT_EQ (OmbrixSliderLookAndFeel::frameIndexFor (-2.0, -4.0, 0.0), 50);
}

TEST_F (KnobDrawingTest, DrawsTheValuesFrameAtTheKnobsCornerWhateverItsSize)
{
    use (std::make_unique<OmbrixSliderLookAndFeel>());

    for (const auto value : { 0.0, 5.0, 10.0 })
    {
        SCOPED_TRACE (value);
        knob.setValue (value);
        const auto expected = expectedFrame (OmbrixSliderLookAndFeel::frameIndexFor (value, 0.0, 10.0));

        knob.setBounds (20, 30, 90, 90);
        EXPECT_LT (meanDifference (snapshot(), expected, parent.getLocalBounds()), 0.01);

        // Smaller bounds neither move nor shrink nor clip the pointer.
        knob.setBounds (20, 30, 40, 40);
        EXPECT_LT (meanDifference (snapshot(), expected, parent.getLocalBounds()), 0.01);
    }
}

TEST_F (KnobDrawingTest, StripThatDoesNotDecodeShowsNoImageInWhite)
{
    std::vector<char> corrupted (BinaryData::knob_strip_png, BinaryData::knob_strip_png + BinaryData::knob_strip_pngSize);
    for (size_t i = 0; i < 16; ++i)
        corrupted[i] = 0;

    use (std::make_unique<OmbrixSliderLookAndFeel> (corrupted.data(), static_cast<int> (corrupted.size())));

    const auto image = snapshot();
    const auto textArea = juce::Rectangle<int> (30, 45, 32, 45).translated (20, 30);
    const auto isWhiteInk = [] (juce::Colour c) { return c.getAlpha() > 0 && c.getRed() == c.getGreen() && c.getGreen() == c.getBlue(); };

    EXPECT_GT (countPixels (image, textArea, [] (juce::Colour c) { return c.getAlpha() > 200; }), 10);
    EXPECT_EQ (countPixels (image, textArea, isWhiteInk), countPixels (image, textArea, [] (juce::Colour c) { return c.getAlpha() > 0; }));

    const auto anything = [] (juce::Colour c) { return c.getAlpha() > 0; };
    EXPECT_EQ (countPixels (image, parent.getLocalBounds(), anything), countPixels (image, textArea, anything));
}

TEST_F (KnobDrawingTest, ValueBoxIsWhiteTextOnBlackWhateverTheLabelsColours)
{
    OmbrixSliderLookAndFeel boxLookAndFeel;
    juce::Label box;
    box.setLookAndFeel (&boxLookAndFeel);
    box.setColour (juce::Label::backgroundColourId, juce::Colours::red);
    box.setColour (juce::Label::textColourId, juce::Colours::green);
    box.setColour (juce::Label::outlineColourId, juce::Colours::blue);
    box.setJustificationType (juce::Justification::centred);
    box.setText ("5.0", juce::dontSendNotification);
    box.setSize (90, 15);

    const auto image = box.createComponentSnapshot (box.getLocalBounds(), true, 1.0f);
    box.setLookAndFeel (nullptr);

    const auto grey = [] (juce::Colour c) { return c.getRed() == c.getGreen() && c.getGreen() == c.getBlue(); };
    const auto all = image.getBounds();

    EXPECT_EQ (countPixels (image, all, grey), all.getWidth() * all.getHeight());
    EXPECT_GT (countPixels (image, all, [] (juce::Colour c) { return c.getBrightness() > 0.9f; }), 10);
    EXPECT_EQ (image.getPixelAt (1, 1), juce::Colour (0xff000000));
    EXPECT_EQ (image.getPixelAt (88, 13), juce::Colour (0xff000000));
    // Corners of radius 0.5 leave the corner pixels almost fully covered.
    EXPECT_GT (image.getPixelAt (0, 0).getAlpha(), 180);
}
