#include "EditorTestSupport.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

namespace juce
{
// The framework's own single-step dispatch, which its modal loops are built on.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
/** The framework looks up the window-manager atoms it uses (WM_PROTOCOLS, WM_STATE ...)
    without creating them and passes them to the server even when the look-up failed. On
    an X server without a window manager nobody has created them, so a window's setup fails
    with BadAtom, which ends a process that has no X error handler of its own. Creating
    them before the framework connects avoids that. The connection stays open: a bare
    server forgets its atoms when its last client leaves. A server that is resetting
    because another client just left refuses connections for a moment, hence the retries.
*/
struct BareXServerPreparation
{
    BareXServerPreparation()
    {
        if (display == nullptr)
            return;

        for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE", "_NET_WM_PING", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_FRAME_EXTENTS" })
            XInternAtom (display, name, False);
    }

    ~BareXServerPreparation()
    {
        if (display != nullptr)
            XCloseDisplay (display);
    }

    static Display* openDisplay()
    {
        if (std::getenv ("DISPLAY") == nullptr)
            return nullptr;

        for (int attempt = 0; attempt < 50; ++attempt)
        {
            if (auto* opened = XOpenDisplay (nullptr))
                return opened;

            std::this_thread::sleep_for (std::chrono::milliseconds (20));
        }

        return nullptr;
    }

    Display* display = openDisplay();
};

const BareXServerPreparation bareXServerPreparation;
} // namespace

namespace EditorTestSupport
{
bool pumpMessagesUntil (const std::function<bool()>& condition, int timeoutMilliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + static_cast<juce::uint32> (timeoutMilliseconds);

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > end)
            return false;

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }

    return true;
}

void pumpMessages (int milliseconds)
{
    pumpMessagesUntil ([] { return false; }, milliseconds);
}

juce::MouseEvent mouseEvent (juce::Component& component,
                             juce::Point<float> position,
                             juce::Point<float> pressPosition,
                             juce::ModifierKeys modifiers,
                             int numberOfClicks)
{
    const auto now = juce::Time::getCurrentTime();
    return juce::MouseEvent (juce::Desktop::getInstance().getMainMouseSource(),
                             position,
                             modifiers,
                             juce::MouseInputSource::defaultPressure,
                             juce::MouseInputSource::defaultOrientation,
                             juce::MouseInputSource::defaultRotation,
                             juce::MouseInputSource::defaultTiltX,
                             juce::MouseInputSource::defaultTiltY,
                             &component,
                             &component,
                             now,
                             pressPosition,
                             now,
                             numberOfClicks,
                             position != pressPosition);
}

PeerMouse::PeerMouse (juce::Component& onDesktop)
    : window (onDesktop), time (juce::Time::currentTimeMillis())
{
}

void PeerMouse::press (juce::Point<float> position)
{
    send (position, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
}

void PeerMouse::drag (juce::Point<float> position)
{
    send (position, juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier));
}

void PeerMouse::release (juce::Point<float> position)
{
    send (position, juce::ModifierKeys());
}

void PeerMouse::click (juce::Point<float> position)
{
    press (position);
    release (position);
}

void PeerMouse::send (juce::Point<float> position, juce::ModifierKeys modifiers)
{
    time += 20;
    window.getPeer()->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse,
                                        position,
                                        modifiers,
                                        juce::MouseInputSource::defaultPressure,
                                        juce::MouseInputSource::defaultOrientation,
                                        time);
}

double meanDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
{
    double total = 0.0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
    {
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto p = a.getPixelAt (x, y);
            const auto q = b.getPixelAt (x, y);
            total += std::abs (p.getRed() - q.getRed()) + std::abs (p.getGreen() - q.getGreen())
                   + std::abs (p.getBlue() - q.getBlue()) + std::abs (p.getAlpha() - q.getAlpha());
        }
    }

    return total / (4.0 * area.getWidth() * area.getHeight());
}

int largestDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
{
    int largest = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
    {
        for (int x = area.getX(); x < area.getRight(); ++x)
        {
            const auto p = a.getPixelAt (x, y);
            const auto q = b.getPixelAt (x, y);
            largest = juce::jmax (largest, juce::jmax (std::abs (p.getRed() - q.getRed()), std::abs (p.getGreen() - q.getGreen()),
                                                       std::abs (p.getBlue() - q.getBlue()), std::abs (p.getAlpha() - q.getAlpha())));
        }
    }

    return largest;
}

int countPixels (const juce::Image& image, juce::Rectangle<int> area, const std::function<bool (juce::Colour)>& condition)
{
    int count = 0;

    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            if (condition (image.getPixelAt (x, y)))
                ++count;

    return count;
}

juce::Image crop (const juce::Image& image, juce::Rectangle<int> area)
{
    return image.getClippedImage (area).createCopy();
}
} // namespace EditorTestSupport
