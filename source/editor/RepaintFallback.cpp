#include "editor/RepaintFallback.h"

RepaintFallback::RepaintFallback (juce::Component& componentToWatch)
    : component (componentToWatch)
    , lastSignalMs (juce::Time::getMillisecondCounter())
    , vBlank (&componentToWatch, [this]
              { noteVBlank(); })
{
    startTimerHz (checksPerSecond);
}

RepaintFallback::~RepaintFallback()
{
    stopTimer();
}

void RepaintFallback::noteVBlank()
{
    lastSignalMs = juce::Time::getMillisecondCounter();
    ++vBlankCount;
}

void RepaintFallback::timerCallback()
{
    auto* peer = component.getPeer();

    if (peer == nullptr)
    {
        // Not on screen: a window that appears later gets its full grace period.
        lastSignalMs = juce::Time::getMillisecondCounter();
        return;
    }

    // Unsigned difference: correct across the counter's wrap-around.
    if (juce::Time::getMillisecondCounter() - lastSignalMs < silenceBeforeFallbackMs)
        return;

    // Hands the collected areas to the system and paints them now; with nothing collected it
    // finds nothing to paint.
    peer->performAnyPendingRepaintsNow();
    ++pushCount;
}
