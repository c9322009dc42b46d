#include "editor/RepaintFallback.h"

#include "EditorTestSupport.h"

#include <gtest/gtest.h>

// Where vertical blanks arrive (the Linux window makes them from a timer, Windows from the
// display), the fallback only notes them and leaves the repainting to the window.
TEST (RepaintFallbackTest, StaysIdleWhileVerticalBlanksArrive)
{
    juce::ScopedJuceInitialiser_GUI juceInit;
    juce::Component window;
    RepaintFallback fallback (window);

    window.setBounds (0, 0, 200, 100);
    window.addToDesktop (0);
    window.setVisible (true);
    ASSERT_NE (window.getPeer(), nullptr);

    // Well past the silence after which the fallback would step in.
    for (int i = 0; i < 30; ++i)
    {
        window.repaint();
        EditorTestSupport::pumpMessages (20);
    }

    EXPECT_GT (fallback.vBlanksSeen(), 10u);
    EXPECT_EQ (fallback.repaintsPushed(), 0u);
}
