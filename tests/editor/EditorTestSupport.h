#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

namespace EditorTestSupport
{
/** Runs the message loop until the condition holds or the time is up; returns the condition. */
bool pumpMessagesUntil (const std::function<bool()>& condition, int timeoutMilliseconds = 3000);

/** Runs the message loop for a while. */
void pumpMessages (int milliseconds);

/** A mouse event for calling a component's mouse handlers directly. */
juce::MouseEvent mouseEvent (juce::Component& component,
                             juce::Point<float> position,
                             juce::Point<float> pressPosition,
                             juce::ModifierKeys modifiers,
                             int numberOfClicks = 1);

/** Sends mouse events through a desktop window's peer, so they are hit-tested and routed
    the way real ones are.
*/
class PeerMouse
{
public:
    explicit PeerMouse (juce::Component& onDesktop);

    void press (juce::Point<float> position);
    void drag (juce::Point<float> position);
    void release (juce::Point<float> position);
    void click (juce::Point<float> position);

private:
    void send (juce::Point<float> position, juce::ModifierKeys modifiers);

    juce::Component& window;
    juce::int64 time;
};

/** Mean of the absolute channel differences (0..255) over an area of two images. */
double meanDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area);

/** The largest absolute channel difference (0..255) over an area of two images. */
int largestDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area);

/** Number of pixels in an area that satisfy a condition. */
int countPixels (const juce::Image& image, juce::Rectangle<int> area, const std::function<bool (juce::Colour)>& condition);

/** The image cut into a new image. */
juce::Image crop (const juce::Image& image, juce::Rectangle<int> area);
} // namespace EditorTestSupport
