#include "editor/OmbrixSlider.h"

#include "EditorTestSupport.h"

#include <gtest/gtest.h>

using namespace EditorTestSupport;

namespace
{
class OmbrixSliderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
        knob.setRange (0.0, 10.0, 0.1);
        knob.setValue (5.0);
        knob.setSize (90, 90);
    }

    void press (juce::Point<float> at, juce::ModifierKeys mods = juce::ModifierKeys::leftButtonModifier, int clicks = 1)
    {
        pressedAt = at;
        knob.mouseDown (mouseEvent (knob, at, at, mods, clicks));
    }

    void dragTo (juce::Point<float> to) { knob.mouseDrag (mouseEvent (knob, to, pressedAt, juce::ModifierKeys::leftButtonModifier)); }
    void releaseAt (juce::Point<float> at) { knob.mouseUp (mouseEvent (knob, at, pressedAt, {})); }

    juce::ScopedJuceInitialiser_GUI juceInit;
    OmbrixSlider knob;
    juce::Point<float> pressedAt;
};
} // namespace

TEST_F (OmbrixSliderTest, PointerIsHiddenWhileTurningAndReturnsWherePressed)
{
    const juce::Point<int> pressScreenPosition (100, 120);
    juce::Desktop::setMousePosition (pressScreenPosition);
    ASSERT_EQ (juce::Desktop::getMousePosition(), pressScreenPosition) << "needs an X display that lets the pointer move";

    press ({ 45.0f, 45.0f });
    EXPECT_TRUE (knob.getMouseCursor() == juce::MouseCursor::NoCursor);

    // The hidden pointer travels on while the knob turns up by 2.0 (50 of 250 px).
    juce::Desktop::setMousePosition ({ 400, 300 });
    dragTo ({ 45.0f, -5.0f });
    EXPECT_NEAR (knob.getValue(), 7.0, 1e-9);
    EXPECT_TRUE (knob.getMouseCursor() == juce::MouseCursor::NoCursor);

    releaseAt ({ 45.0f, -5.0f });
    EXPECT_EQ (juce::Desktop::getMousePosition(), pressScreenPosition);
    EXPECT_TRUE (knob.getMouseCursor() == juce::MouseCursor::NormalCursor);
}

TEST_F (OmbrixSliderTest, DoubleClickResetStillRestoresThePointer)
{
    knob.setDoubleClickReturnValue (true, 5.0);
    knob.setValue (8.0);
    juce::Desktop::setMousePosition ({ 150, 90 });

    press ({ 10.0f, 80.0f }, juce::ModifierKeys::leftButtonModifier, 2);
    knob.mouseDoubleClick (mouseEvent (knob, pressedAt, pressedAt, juce::ModifierKeys::leftButtonModifier, 2));
    juce::Desktop::setMousePosition ({ 500, 20 });
    releaseAt (pressedAt);

    EXPECT_DOUBLE_EQ (knob.getValue(), 5.0);
    EXPECT_EQ (juce::Desktop::getMousePosition(), juce::Point<int> (150, 90));
    EXPECT_TRUE (knob.getMouseCursor() == juce::MouseCursor::NormalCursor);
}
