#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <cstdint>

/** Keeps a window repainting where the display's vertical-blank signal never comes.

    The framework's Windows window collects every repaint and hands it to the system only at
    the next vertical blank of its display, which a thread waiting in DXGI reports. Wine, and
    with it every Wine-based plug-in bridge, never reports one, so such a window draws once and
    then no more. This watches for the signal through a VBlankAttachment on the component and,
    while none has come for silenceBeforeFallbackMs, pushes the window's pending repaints out
    from a timer instead. Where vertical blanks arrive (Windows; Linux, whose window makes them
    from a timer) it only notes them, and the window repaints exactly as before.

    Message thread only: it never touches the audio thread.
*/
class RepaintFallback : private juce::Timer
{
public:
    explicit RepaintFallback (juce::Component& componentToWatch);
    ~RepaintFallback() override;

    /** How long without a vertical blank before repaints are pushed from the timer. */
    static constexpr std::uint32_t silenceBeforeFallbackMs = 250;

    /** How often the timer looks, and so at most how often a silent window is repainted. */
    static constexpr int checksPerSecond = 60;

    /** Vertical blanks seen since construction. */
    std::uint64_t vBlanksSeen() const noexcept { return vBlankCount; }

    /** Times the pending repaints were pushed out because the signal was missing. */
    std::uint64_t repaintsPushed() const noexcept { return pushCount; }

private:
    void noteVBlank();
    void timerCallback() override;

    juce::Component& component;
    std::uint32_t lastSignalMs;
    std::uint64_t vBlankCount = 0;
    std::uint64_t pushCount = 0;

    // Last, so that no vertical blank reaches a half-destroyed fallback.
    juce::VBlankAttachment vBlank;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (RepaintFallback)
};
