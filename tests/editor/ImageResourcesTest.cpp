#include <BinaryData.h>

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
struct Resource
{
    const char* name;
    const char* data;
    int size;
    int width;
    int height;
};

const Resource resources[] = {
    { "Background_png", BinaryData::Background_png, BinaryData::Background_pngSize, 1260, 1603 },
    { "knob_strip_png", BinaryData::knob_strip_png, BinaryData::knob_strip_pngSize, 421, 42100 },
    { "basicKnob_strip_png", BinaryData::basicKnob_strip_png, BinaryData::basicKnob_strip_pngSize, 328, 32800 },
    { "stompSwitchUp_png", BinaryData::stompSwitchUp_png, BinaryData::stompSwitchUp_pngSize, 425, 425 },
    { "stompSwitchDown_png", BinaryData::stompSwitchDown_png, BinaryData::stompSwitchDown_pngSize, 425, 425 },
    { "LED_on_png", BinaryData::LED_on_png, BinaryData::LED_on_pngSize, 125, 125 },
    { "LED_off_png", BinaryData::LED_off_png, BinaryData::LED_off_pngSize, 125, 125 },
    { "button1_png", BinaryData::button1_png, BinaryData::button1_pngSize, 413, 89 },
    { "button2_png", BinaryData::button2_png, BinaryData::button2_pngSize, 413, 89 },
};

std::uint32_t bigEndian32 (const char* bytes)
{
    const auto* b = reinterpret_cast<const unsigned char*> (bytes);
    return (std::uint32_t (b[0]) << 24) | (std::uint32_t (b[1]) << 16) | (std::uint32_t (b[2]) << 8) | b[3];
}

class ImageResourcesTest : public ::testing::Test
{
protected:
    static juce::Image decode (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

    juce::ScopedJuceInitialiser_GUI juceInit;
};

/** Pixels that belong to the pointer in one strip frame, as weights. */
using PointerWeight = std::function<double (const juce::Image::BitmapData&, int x, int y)>;

/** The pointer's direction in degrees clockwise from straight up, from the weighted
    centroid of its pixels around the frame's centre.
*/
double pointerAngle (const juce::Image& strip, int frame, const PointerWeight& weight)
{
    const auto size = strip.getWidth();
    const juce::Image::BitmapData pixels (strip, 0, frame * size, size, size);
    const double centre = size / 2.0;
    double sumX = 0.0, sumY = 0.0, total = 0.0;

    for (int y = 0; y < size; ++y)
    {
        for (int x = 0; x < size; ++x)
        {
            const auto w = weight (pixels, x, y);
            sumX += w * (x + 0.5 - centre);
            sumY += w * (y + 0.5 - centre);
            total += w;
        }
    }

    EXPECT_GT (total, 0.0) << "frame " << frame << " shows no pointer";
    return juce::radiansToDegrees (std::atan2 (sumX, -sumY));
}

double brightness (juce::Colour c)
{
    return c.getFloatAlpha() * (c.getRed() + c.getGreen() + c.getBlue()) / 3.0;
}

void expectPointerAngles (const juce::Image& strip, const PointerWeight& weight)
{
    EXPECT_NEAR (pointerAngle (strip, 0, weight), -150.0, 2.0);
    EXPECT_NEAR (pointerAngle (strip, 50, weight), 0.0, 2.0);
    EXPECT_NEAR (pointerAngle (strip, 99, weight), 147.0, 2.0);
}

/** Bounds of the pixels above an alpha level, mapped from image to window coordinates. */
juce::Rectangle<float> opaqueBoundsInWindow (const juce::Image& image, int alphaAbove, juce::Rectangle<float> drawnAt)
{
    int left = image.getWidth(), top = image.getHeight(), right = -1, bottom = -1;

    for (int y = 0; y < image.getHeight(); ++y)
    {
        for (int x = 0; x < image.getWidth(); ++x)
        {
            if (image.getPixelAt (x, y).getAlpha() > alphaAbove)
            {
                left = juce::jmin (left, x);
                right = juce::jmax (right, x);
                top = juce::jmin (top, y);
                bottom = juce::jmax (bottom, y);
            }
        }
    }

    const auto scale = drawnAt.getWidth() / static_cast<float> (image.getWidth());
    return { drawnAt.getX() + left * scale, drawnAt.getY() + top * scale, (right + 1 - left) * scale, (bottom + 1 - top) * scale };
}
} // namespace

TEST_F (ImageResourcesTest, EveryResourceIsAnEightBitRgbaPngOfItsSize)
{
    for (const auto& r : resources)
    {
        SCOPED_TRACE (r.name);

        // IHDR: width, height, bit depth, colour type, compression, filter, interlace.
        ASSERT_GT (r.size, 33);
        EXPECT_EQ (std::memcmp (r.data, "\x89PNG\r\n\x1a\n", 8), 0);
        EXPECT_EQ (bigEndian32 (r.data + 16), std::uint32_t (r.width));
        EXPECT_EQ (bigEndian32 (r.data + 20), std::uint32_t (r.height));
        EXPECT_EQ (r.data[24], 8);
        EXPECT_EQ (r.data[25], 6);
        EXPECT_EQ (r.data[28], 0);

        const auto image = decode (r.data, r.size);
        ASSERT_TRUE (image.isValid());
        EXPECT_EQ (image.getWidth(), r.width);
        EXPECT_EQ (image.getHeight(), r.height);
    }
}

TEST_F (ImageResourcesTest, SecondRequestReturnsTheCachedImage)
{
    const auto first = decode (BinaryData::LED_on_png, BinaryData::LED_on_pngSize);
    const auto second = decode (BinaryData::LED_on_png, BinaryData::LED_on_pngSize);

    EXPECT_TRUE (first.isValid());
    EXPECT_EQ (first, second); // same pixel data, not a second decode
}

TEST_F (ImageResourcesTest, BackgroundIsOpaque)
{
    const auto image = decode (BinaryData::Background_png, BinaryData::Background_pngSize);
    const juce::Image::BitmapData pixels (image, juce::Image::BitmapData::readOnly);
    int translucent = 0;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            translucent += pixels.getPixelColour (x, y).getAlpha() < 255 ? 1 : 0;

    EXPECT_EQ (translucent, 0);
}

TEST_F (ImageResourcesTest, KnobStripFramesPointAtTheirAngles)
{
    const auto strip = decode (BinaryData::knob_strip_png, BinaryData::knob_strip_pngSize);
    ASSERT_EQ (strip.getHeight(), 100 * strip.getWidth());

    expectPointerAngles (strip, [] (const juce::Image::BitmapData& p, int x, int y) { return (double) p.getPixelColour (x, y).getAlpha(); });
}

TEST_F (ImageResourcesTest, KnobStripPointerStaysInsideTheKnob)
{
    const auto strip = decode (BinaryData::knob_strip_png, BinaryData::knob_strip_pngSize);
    const auto size = strip.getWidth();
    const juce::Image::BitmapData pixels (strip, juce::Image::BitmapData::readOnly);
    int outside = 0, inside = 0;

    for (int y = 0; y < strip.getHeight(); ++y)
    {
        for (int x = 0; x < size; ++x)
        {
            if (pixels.getPixelColour (x, y).getAlpha() == 0)
                continue;

            const auto frameY = y % size;
            const bool within = x >= 53 && x <= 367 && frameY >= 53 && frameY <= 349;
            (within ? inside : outside)++;
        }
    }

    EXPECT_EQ (outside, 0);
    EXPECT_GT (inside, 0);
}

TEST_F (ImageResourcesTest, CompleteKnobStripFramesPointAtTheirAngles)
{
    const auto strip = decode (BinaryData::basicKnob_strip_png, BinaryData::basicKnob_strip_pngSize);
    const auto size = strip.getWidth();
    ASSERT_EQ (strip.getHeight(), 100 * size);

    // The disc is the same in every frame; the pointer is what is brighter than the average frame.
    std::vector<double> average (static_cast<size_t> (size * size), 0.0);
    const juce::Image::BitmapData all (strip, juce::Image::BitmapData::readOnly);

    for (int y = 0; y < strip.getHeight(); ++y)
        for (int x = 0; x < size; ++x)
            average[static_cast<size_t> ((y % size) * size + x)] += brightness (all.getPixelColour (x, y)) / 100.0;

    expectPointerAngles (strip, [&] (const juce::Image::BitmapData& p, int x, int y) {
        return juce::jmax (0.0, brightness (p.getPixelColour (x, y)) - average[static_cast<size_t> (y * size + x)]);
    });
}

TEST_F (ImageResourcesTest, FootswitchBodyIsTheClickableRegionInBothStates)
{
    // Where the window draws the switch, and the body the window's hit test expects.
    const juce::Rectangle<float> drawnAt (225.0f, 441.0f, 180.0f, 180.0f);
    const juce::Rectangle<float> expectedBody (263.0f, 479.0f, 104.0f, 104.0f);

    for (const auto* name : { "up", "down" })
    {
        SCOPED_TRACE (name);
        const bool up = std::string (name) == "up";
        const auto image = up ? decode (BinaryData::stompSwitchUp_png, BinaryData::stompSwitchUp_pngSize)
                              : decode (BinaryData::stompSwitchDown_png, BinaryData::stompSwitchDown_pngSize);

        const auto body = opaqueBoundsInWindow (image, 230, drawnAt);
        EXPECT_NEAR (body.getX(), expectedBody.getX(), 4.0f);
        EXPECT_NEAR (body.getY(), expectedBody.getY(), 4.0f);
        EXPECT_NEAR (body.getRight(), expectedBody.getRight(), 4.0f);
        EXPECT_NEAR (body.getBottom(), expectedBody.getBottom(), 4.0f);

        // Transparent surround: the corners of the square take no clicks.
        EXPECT_EQ (image.getPixelAt (0, 0).getAlpha(), 0);
        EXPECT_EQ (image.getPixelAt (424, 424).getAlpha(), 0);
    }
}

TEST_F (ImageResourcesTest, LampPicturesShareTheirRegistration)
{
    const auto on = decode (BinaryData::LED_on_png, BinaryData::LED_on_pngSize);
    const auto off = decode (BinaryData::LED_off_png, BinaryData::LED_off_pngSize);
    const juce::Rectangle<float> unscaled (0.0f, 0.0f, 125.0f, 125.0f);

    // The lamp's housing is the opaque part of both pictures; the glow may spread further.
    const auto onBody = opaqueBoundsInWindow (on, 230, unscaled);
    const auto offBody = opaqueBoundsInWindow (off, 230, unscaled);
    EXPECT_NEAR (onBody.getCentreX(), offBody.getCentreX(), 1.5f);
    EXPECT_NEAR (onBody.getCentreY(), offBody.getCentreY(), 1.5f);

    const auto lit = on.getPixelAt (62, 62);
    const auto dark = off.getPixelAt (62, 62);
    EXPECT_GT (brightness (lit), brightness (dark) + 40.0);
}
