#pragma once

#include <juce_graphics/juce_graphics.h>

#include <functional>

/** The pedal window's pictures, decoded once per process and shared by every window.

    The window draws pictures derived at build time from the embedded full-size ones at exactly
    the sizes it shows them (tools/pictures): the background, the knob pointer's frames and the
    controls' pictures at 100 % and at 200 %, so that nothing is scaled while drawing at those scales. Only what a
    window draws is decoded, when the first window needs it; the knob pointer one frame at a time.

    Decoded pictures stay for as long as a Keeper exists: every plug-in instance holds one, so
    closing and reopening a window decodes nothing again, and the last instance to go frees them.
    An instance whose window is never opened costs nothing here.

    A window about to be shown can have its background decoded on a thread of its own meanwhile
    (decodeInBackground); asking for a picture that is being decoded waits for it, so a window
    always draws complete.
*/
class EditorPictures
{
public:
    enum class Picture
    {
        background1x,
        background2x
    };

    /** The footswitch, the lamp and the link buttons, in each look they have. */
    enum class Control
    {
        switchUp,
        switchDown,
        lampOn,
        lampOff,
        shareButton,
        boardButton
    };

    /** Keeps decoded pictures for as long as it lives; decodes nothing itself. */
    class Keeper
    {
    public:
        Keeper();
        ~Keeper();

        JUCE_DECLARE_NON_COPYABLE (Keeper)
    };

    /** Which derived pictures to draw at a scale (device pixels per window pixel): 1 for 100 %
        and below, 2 above, so that a high-resolution display gets the sharp ones. */
    static int resolutionFor (float scale);

    /** Whether the window at this scale has pictures of its own (100 % and 200 %), put on
        screen pixel for pixel. */
    static bool hasPicturesFor (float scale);

    /** The background drawn at a resolution. */
    static Picture backgroundFor (int resolution);

    /** A picture, decoded now if that has not happened yet; null if it does not decode. */
    static juce::Image get (Picture picture);

    /** A control's picture at a resolution, at its button's size (twice that at 2), decoded
        now if that has not happened yet; null if it does not decode. */
    static juce::Image control (Control control, int resolution);

    /** A control's full-size picture, decoded anew on every call and kept by nobody here: only
        for drawing a copy at a scale that has no pictures of its own. */
    static juce::Image fullSizeControl (Control control);

    /** The full-size background, decoded anew on every call and kept by nobody here: only for
        drawing a copy at a scale that has no picture of its own. */
    static juce::Image fullSizeBackground();

    /** One frame of the knob pointer (0 to numFrames - 1) at a resolution: a quarter of the
        strip's frame size at 1, half of it at 2. Null if it does not decode. */
    static juce::Image knobFrame (int frameIndex, int resolution);

    /** Notes that a window draws this background. The other one is freed if it was only decoded
        ahead and no window has drawn it: a window decodes the background of the scale it expects
        to open at, and a host may then show it at the other. A background once drawn stays. */
    static void noteBackgroundDrawn (Picture background);

    /** The resolution of the background drawn last in this process; 0 before any. */
    static int lastResolutionDrawn();

    /** Starts decoding the picture on a thread of its own, unless it is decoded or queued;
        returns at once. */
    static void decodeInBackground (Picture picture);

    /** Whether the background thread is at work. */
    static bool isDecodingInBackground();

    /** Called on the background thread before each picture it decodes, while that picture is
        being decoded as far as anyone else can tell. For tests; empty by default. */
    static void setBeforeBackgroundDecode (std::function<void()> callback);

    static constexpr int numFrames = 100;
};
