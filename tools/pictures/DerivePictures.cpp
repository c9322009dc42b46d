// Derives, from the pedal's full-size pictures, the pictures the window draws at 100 % and 200 %,
// drawn exactly as the window used to draw the full-size ones at those scales (same calls, same
// resampling), so that the window can now put them on screen pixel for pixel:
//
//   Background_630.png    the background at 100 % (630 x 801), opaque RGB
//   Background_1260.png   the background at 200 % (1260 x 1602), opaque RGB
//   knob_strip_105.pngs   the knob pointer's 100 frames at 100 % (105 x 105 each)
//   knob_strip_210.pngs   the same at 200 % (210 x 210 each)
//   <control>_<width>.png the footswitch (up, down), the lamp (on, off) and the two link buttons
//                         at 100 % and 200 %, named after the full-size picture and the width
//                         drawn: stompSwitchUp_180.png, stompSwitchUp_360.png, ...
//
// A .pngs file is its frames' PNG files one after the other, frame 0 first, so that a window
// decodes only the frames it shows.
//
//   PelorvanePictureTool RESOURCES_FOLDER OUTPUT_FOLDER

#include <juce_graphics/juce_graphics.h>

#include <iostream>

namespace
{
// The window's size in its own (logical) pixels, and the strip's frame count.
constexpr int windowWidth = 630;
constexpr int windowHeight = 801;
constexpr int numFrames = 100;

/** A control's full-size picture and the size its button has in the window. */
struct Control
{
    const char* name;
    int width;
    int height;
};

constexpr Control controls[] = {
    { "stompSwitchUp", 180, 180 },
    { "stompSwitchDown", 180, 180 },
    { "LED_on", 50, 50 },
    { "LED_off", 50, 50 },
    { "button1", 206, 44 },
    { "button2", 206, 44 },
};

juce::Image load (const juce::File& file)
{
    juce::FileInputStream stream (file);
    return stream.openedOk() ? juce::PNGImageFormat().decodeImage (stream) : juce::Image();
}

bool writePng (const juce::Image& image, juce::OutputStream& stream)
{
    return juce::PNGImageFormat().writeImageToStream (image, stream);
}

bool save (const juce::MemoryBlock& bytes, const juce::File& file)
{
    return file.replaceWithData (bytes.getData(), bytes.getSize());
}

/** A picture drawn by `draw` into a context of `scale` device pixels per window pixel. */
template <typename Draw>
juce::Image drawnAt (int scale, int width, int height, Draw&& draw)
{
    juce::Image image (juce::Image::ARGB, width * scale, height * scale, true, juce::SoftwareImageType());
    juce::Graphics g (image);
    g.addTransform (juce::AffineTransform::scale ((float) scale));
    draw (g);
    return image;
}

/** The background as the window's paint drew it: stretched over the whole window. */
juce::Image background (const juce::Image& original, int scale)
{
    const auto drawn = drawnAt (scale, windowWidth, windowHeight, [&] (juce::Graphics& g)
                                { g.drawImageWithin (original, 0, 0, windowWidth, windowHeight, juce::RectanglePlacement::stretchToFit); });

    return drawn.convertedToFormat (juce::Image::RGB);
}

/** Every frame of the strip as the knob's look-and-feel drew it: a quarter of the frame's size at
    the knob's top-left corner. */
juce::MemoryBlock knobFrames (const juce::Image& strip, int scale)
{
    const auto frameWidth = strip.getWidth();
    const auto frameHeight = strip.getHeight() / numFrames;
    juce::MemoryBlock bytes;
    juce::MemoryOutputStream stream (bytes, false);

    for (int k = 0; k < numFrames; ++k)
    {
        const auto frame = drawnAt (scale, frameWidth / 4, frameHeight / 4, [&] (juce::Graphics& g)
                                    { g.drawImage (strip, 0, 0, frameWidth / 4, frameHeight / 4, 0, k * frameHeight, frameWidth, frameHeight); });

        if (! writePng (frame, stream))
            return {};
    }

    stream.flush();
    return bytes;
}

/** A control's picture as its button drew it: stretched over the whole button. */
juce::Image control (const juce::Image& original, const Control& button, int scale)
{
    const auto fit = juce::RectanglePlacement (juce::RectanglePlacement::stretchToFit)
                         .getTransformToFit (original.getBounds().toFloat(), juce::Rectangle<float> ((float) button.width, (float) button.height));

    return drawnAt (scale, button.width, button.height, [&] (juce::Graphics& g)
                    { g.drawImageTransformed (original, fit, false); });
}

bool saveImage (const juce::Image& image, const juce::File& file)
{
    juce::MemoryBlock bytes;
    juce::MemoryOutputStream stream (bytes, false);

    if (! writePng (image, stream))
        return false;

    stream.flush();
    return save (bytes, file);
}

bool saveControls (const juce::File& resources, const juce::File& folder)
{
    for (const auto& button : controls)
    {
        const auto original = load (resources.getChildFile (juce::String (button.name) + ".png"));

        if (! original.isValid())
        {
            std::cerr << "PelorvanePictureTool: cannot read " << button.name << ".png\n";
            return false;
        }

        for (const auto scale : { 1, 2 })
        {
            const auto name = juce::String (button.name) + "_" + juce::String (button.width * scale) + ".png";

            if (! saveImage (control (original, button, scale), folder.getChildFile (name)))
                return false;
        }
    }

    return true;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 3)
    {
        std::cerr << "usage: PelorvanePictureTool RESOURCES_FOLDER OUTPUT_FOLDER\n";
        return 2;
    }

    const auto cwd = juce::File::getCurrentWorkingDirectory();
    const auto resources = cwd.getChildFile (argv[1]);
    const auto folder = cwd.getChildFile (argv[2]);
    const auto backgroundFile = resources.getChildFile ("Background.png");
    const auto stripFile = resources.getChildFile ("knob_strip.png");

    const auto original = load (backgroundFile);
    const auto strip = load (stripFile);

    if (! original.isValid() || ! strip.isValid() || strip.getHeight() % numFrames != 0)
    {
        std::cerr << "PelorvanePictureTool: cannot read " << (original.isValid() ? stripFile : backgroundFile).getFullPathName() << "\n";
        return 1;
    }

    const auto ok = folder.createDirectory().wasOk()
                    && saveImage (background (original, 1), folder.getChildFile ("Background_630.png"))
                    && saveImage (background (original, 2), folder.getChildFile ("Background_1260.png"))
                    && save (knobFrames (strip, 1), folder.getChildFile ("knob_strip_105.pngs"))
                    && save (knobFrames (strip, 2), folder.getChildFile ("knob_strip_210.pngs"))
                    && saveControls (resources, folder);

    if (! ok)
    {
        std::cerr << "PelorvanePictureTool: cannot write into " << folder.getFullPathName() << "\n";
        return 1;
    }

    return 0;
}
