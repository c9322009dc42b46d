#include "editor/EditorPictures.h"
#include "editor/OmbrixSlider.h"
#include "editor/OmbrixSliderLookAndFeel.h"
#include "editor/PluginEditor.h"
#include "processor/PluginConstants.h"
#include "processor/PluginProcessor.h"

#include "EditorTestSupport.h"

#include <BinaryData.h>

#include <gtest/gtest.h>

#include <atomic>
#include <malloc.h>
#include <memory>
#include <thread>
#include <vector>

using namespace EditorTestSupport;

namespace
{
const juce::Rectangle<int> knobBounds[] = { { 196, 139, 90, 90 }, { 331, 139, 90, 90 }, { 196, 266, 90, 90 }, { 331, 266, 90, 90 } };
const juce::Rectangle<int> footswitchBounds (225, 441, 180, 180);
const juce::Rectangle<int> lampBounds (375, 504, 50, 50);
const juce::Rectangle<int> shareButtonBounds (60, 730, 206, 44);
const juce::Rectangle<int> boardButtonBounds (360, 730, 206, 44);
const juce::Point<float> switchBodyCentre (315.0f, 531.0f);

enum ChildIndex
{
    spaceIndex,
    lumensIndex,
    toneIndex,
    mixIndex,
    footswitchIndex,
    lampIndex,
    shareIndex,
    boardIndex
};

juce::Image decode (const char* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

void drawInto (juce::Graphics& g, const juce::Image& image, juce::Rectangle<int> area)
{
    g.drawImage (image, area.getX(), area.getY(), area.getWidth(), area.getHeight(), 0, 0, image.getWidth(), image.getHeight());
}

/** The window as it should look with every knob at its default. */
juce::Image expectedWindow (bool bypassed, bool lampHeld = false, bool withPointers = true)
{
    juce::Image image (juce::Image::ARGB, 630, 801, true);
    juce::Graphics g (image);
    g.drawImageWithin (decode (BinaryData::Background_png, BinaryData::Background_pngSize), 0, 0, 630, 801, juce::RectanglePlacement::stretchToFit);

    const auto strip = decode (BinaryData::knob_strip_png, BinaryData::knob_strip_pngSize);
    for (const auto& knob : knobBounds)
        if (withPointers)
            g.drawImage (strip, knob.getX(), knob.getY(), 105, 105, 0, 50 * 421, 421, 421);

    drawInto (g, bypassed ? decode (BinaryData::stompSwitchDown_png, BinaryData::stompSwitchDown_pngSize) : decode (BinaryData::stompSwitchUp_png, BinaryData::stompSwitchUp_pngSize), footswitchBounds);
    drawInto (g, bypassed && ! lampHeld ? decode (BinaryData::LED_off_png, BinaryData::LED_off_pngSize) : decode (BinaryData::LED_on_png, BinaryData::LED_on_pngSize), lampBounds);
    drawInto (g, decode (BinaryData::button1_png, BinaryData::button1_pngSize), shareButtonBounds);
    drawInto (g, decode (BinaryData::button2_png, BinaryData::button2_pngSize), boardButtonBounds);
    return image;
}

juce::Label* valueBoxOf (juce::Component& knob)
{
    for (auto* child : knob.getChildren())
        if (auto* label = dynamic_cast<juce::Label*> (child))
            return label;

    return nullptr;
}

void saveArtefact (const juce::Image& image, const char* fileName)
{
    const auto file = juce::File (PELORVANE_ARTEFACT_DIR).getChildFile (fileName);
    file.getParentDirectory().createDirectory();
    file.deleteFile();
    juce::FileOutputStream stream (file);
    ASSERT_TRUE (stream.openedOk());
    juce::PNGImageFormat().writeImageToStream (image, stream);
}

class EditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        createProcessor();
        openEditor();
    }

    /** A new instance, its window not open; the process keeps no pictures of the one before. */
    void createProcessor()
    {
        editor.reset();
        processor.reset();

        // The processor announces the framework version on standard output.
        testing::internal::CaptureStdout();
        processor = std::make_unique<PelorvaneAudioProcessor>();
        testing::internal::GetCapturedStdout();
    }

    void TearDown() override
    {
        editor.reset();
        processor.reset();
    }

    void openEditor()
    {
        editor.reset();
        editor.reset (dynamic_cast<PelorvaneAudioProcessorEditor*> (processor->createEditor()));
        ASSERT_NE (editor, nullptr);
        editor->openLink = [this] (const juce::URL& url) { openedLinks.add (url.toString (true)); };
    }

    /** Puts the window on the (virtual) screen so mouse events go through hit testing. */
    void showOnDesktop()
    {
        // Keep the real pointer off the window, so no real mouse events interfere.
        juce::Desktop::setMousePosition ({ 1000, 900 });
        editor->setTopLeftPosition (0, 0);
        editor->addToDesktop (0);
        editor->setVisible (true);
        ASSERT_NE (editor->getPeer(), nullptr);
        mouse = std::make_unique<PeerMouse> (*editor);

        // The footswitch's hit test reads the image where it was last painted.
        pumpMessages (300);
    }

    juce::RangedAudioParameter& parameter (const char* id) { return *processor->parameters.getParameter (id); }
    float plainValue (const char* id) { return processor->parameters.getRawParameterValue (id)->load(); }

    void setPlainValue (const char* id, float value)
    {
        auto& p = parameter (id);
        p.setValueNotifyingHost (p.convertTo0to1 (value));
    }

    juce::Component& child (int index) { return *editor->getChildComponent (index); }
    OmbrixSlider& knob (int index) { return dynamic_cast<OmbrixSlider&> (child (index)); }
    juce::Button& button (int index) { return dynamic_cast<juce::Button&> (child (index)); }
    bool lampLit() { return button (lampIndex).getToggleState(); }

    juce::Image snapshot (float scale = 1.0f) { return editor->createComponentSnapshot (editor->getLocalBounds(), true, scale); }

    /** What the window looked like at 100 % before its pictures were derived at build time. */
    static juce::Image reference() { return juce::ImageFileFormat::loadFrom (juce::File (PELORVANE_EDITOR_REFERENCE)); }

    /** No visible difference: a small mean, and no pixel off by more than a few levels. */
    static void expectLooksLikeReference (const juce::Image& image)
    {
        const auto expected = reference();
        ASSERT_EQ (image.getBounds(), expected.getBounds());
        EXPECT_LT (meanDifference (image, expected, expected.getBounds()), 0.05);
        EXPECT_LE (largestDifference (image, expected, expected.getBounds()), 8);
    }

    juce::ScopedJuceInitialiser_GUI juceInit;
    std::unique_ptr<PelorvaneAudioProcessor> processor;
    std::unique_ptr<OmbrixSliderLookAndFeel> replacementLookAndFeel;
    std::unique_ptr<PelorvaneAudioProcessorEditor> editor;
    std::unique_ptr<PeerMouse> mouse;
    juce::StringArray openedLinks;
};
} // namespace

TEST_F (EditorTest, HasTheFixedSizeAndItsControlsInTheirPlacesAndOrder)
{
    EXPECT_TRUE (processor->hasEditor());
    EXPECT_EQ (editor->getBounds(), juce::Rectangle<int> (0, 0, 630, 801));
    EXPECT_FALSE (editor->isResizable());
    ASSERT_EQ (editor->getNumChildComponents(), 8);

    // Later children lie above earlier ones: the lamp above the switch, the links last.
    for (int i = spaceIndex; i <= mixIndex; ++i)
        EXPECT_EQ (knob (i).getBounds(), knobBounds[i]) << "knob " << i;

    EXPECT_EQ (button (footswitchIndex).getBounds(), footswitchBounds);
    EXPECT_EQ (button (lampIndex).getBounds(), lampBounds);
    EXPECT_EQ (button (shareIndex).getBounds(), shareButtonBounds);
    EXPECT_EQ (button (boardIndex).getBounds(), boardButtonBounds);

    // Placement does not follow the window's size.
    editor->setSize (800, 900);
    EXPECT_EQ (button (footswitchIndex).getBounds(), footswitchBounds);
}

TEST_F (EditorTest, KnobsAreBoundToTheirParameters)
{
    const char* ids[] = { "Space", "Lumens", "Tone", "Mix" };
    const float values[] = { 2.5f, 7.0f, 0.0f, 80.0f };

    for (int i = spaceIndex; i <= mixIndex; ++i)
    {
        SCOPED_TRACE (ids[i]);
        setPlainValue (ids[i], values[i]);
        EXPECT_DOUBLE_EQ (knob (i).getValue(), values[i]);
        EXPECT_EQ (knob (i).getSliderStyle(), juce::Slider::RotaryVerticalDrag);
        EXPECT_EQ (knob (i).getTextBoxPosition(), juce::Slider::NoTextBox);
        EXPECT_DOUBLE_EQ (knob (i).getMaximum(), i == mixIndex ? 100.0 : 10.0);
    }

    // And the other way round: turning a knob moves its parameter.
    knob (lumensIndex).setValue (3.3, juce::sendNotificationSync);
    EXPECT_FLOAT_EQ (plainValue ("Lumens"), 3.3f);
}

TEST_F (EditorTest, SnapshotShowsLampAndSwitchForEachBypassState)
{
    const auto active = snapshot();
    saveArtefact (active, "editor.png");

    const auto activeLook = expectedWindow (false);
    const auto bypassedLook = expectedWindow (true);
    const auto whole = editor->getLocalBounds();

    EXPECT_LT (meanDifference (active, activeLook, whole), 0.5);
    EXPECT_GT (meanDifference (active, bypassedLook, lampBounds), 10.0) << "lamp should be lit";
    EXPECT_GT (meanDifference (active, bypassedLook, footswitchBounds), 2.0) << "switch should be up";

    setPlainValue ("Bypass", 1.0f);
    const auto bypassed = snapshot();
    saveArtefact (bypassed, "editor-bypassed.png");

    EXPECT_LT (meanDifference (bypassed, bypassedLook, whole), 0.5);
    EXPECT_GT (meanDifference (bypassed, activeLook, lampBounds), 10.0) << "lamp should be dark";

    // A window opened while bypassed starts dark with the switch down.
    openEditor();
    EXPECT_FALSE (lampLit());
    EXPECT_TRUE (button (footswitchIndex).getToggleState());
    EXPECT_LT (meanDifference (snapshot(), bypassedLook, whole), 0.5);
}

TEST_F (EditorTest, ClickOnTheSwitchBodyFlipsBypassAndTheLampFollows)
{
    showOnDesktop();
    ASSERT_TRUE (lampLit());

    mouse->click (switchBodyCentre);
    EXPECT_EQ (plainValue ("Bypass"), 1.0f);
    EXPECT_TRUE (button (footswitchIndex).getToggleState());
    EXPECT_FALSE (lampLit());

    mouse->click (switchBodyCentre + juce::Point<float> (20.0f, -20.0f));
    EXPECT_EQ (plainValue ("Bypass"), 0.0f);
    EXPECT_TRUE (lampLit());
}

TEST_F (EditorTest, ClicksBesideTheSwitchBodyDoNothing)
{
    showOnDesktop();

    // The transparent corner of the switch's square.
    mouse->click ({ 232.0f, 448.0f });
    EXPECT_EQ (plainValue ("Bypass"), 0.0f);

    // The soft shadow of the pressed switch, shown while bypassed.
    setPlainValue ("Bypass", 1.0f);
    const auto down = decode (BinaryData::stompSwitchDown_png, BinaryData::stompSwitchDown_pngSize);
    juce::Point<float> shadow;
    bool found = false;

    for (int y = footswitchBounds.getY(); y < footswitchBounds.getBottom() && ! found; ++y)
    {
        for (int x = footswitchBounds.getX(); x < footswitchBounds.getRight() && ! found; ++x)
        {
            // The image pixel the button's hit test reads for this window pixel.
            const auto alpha = down.getPixelAt ((x - 225) * 425 / 180, (y - 441) * 425 / 180).getAlpha();
            const auto outsideBody = switchBodyCentre.getDistanceFrom ({ (float) x, (float) y }) > 56.0f;
            if (alpha > 30 && alpha <= 230 && outsideBody && ! lampBounds.contains (x, y))
            {
                shadow = { static_cast<float> (x), static_cast<float> (y) };
                found = true;
            }
        }
    }

    ASSERT_TRUE (found) << "the pressed switch has no soft shadow below its body";
    mouse->click (shadow);
    EXPECT_EQ (plainValue ("Bypass"), 1.0f);
    EXPECT_FALSE (lampLit());

    // While the body itself still switches.
    mouse->click (switchBodyCentre);
    EXPECT_EQ (plainValue ("Bypass"), 0.0f);
}

TEST_F (EditorTest, HoldingTheLampShowsItLitAndChangesNothing)
{
    showOnDesktop();
    setPlainValue ("Bypass", 1.0f);
    const juce::Point<float> lampCentre (400.0f, 529.0f);

    mouse->press (lampCentre);
    EXPECT_LT (meanDifference (snapshot(), expectedWindow (true, true), lampBounds), 0.5);

    mouse->release (lampCentre);
    EXPECT_LT (meanDifference (snapshot(), expectedWindow (true), lampBounds), 0.5);
    EXPECT_EQ (plainValue ("Bypass"), 1.0f);
    EXPECT_FALSE (lampLit());
}

TEST_F (EditorTest, BypassChangedOnAnotherThreadReachesTheLampOnTheMessageThread)
{
    ASSERT_TRUE (lampLit());

    std::thread ([this] { parameter ("Bypass").setValueNotifyingHost (1.0f); }).join();
    EXPECT_TRUE (lampLit()) << "the lamp must not be touched off the message thread";

    EXPECT_TRUE (pumpMessagesUntil ([this] { return ! lampLit(); }));
    EXPECT_TRUE (pumpMessagesUntil ([this] { return button (footswitchIndex).getToggleState(); }));

    // A burst of changes ends on the last one.
    std::thread ([this] {
        for (int i = 0; i < 101; ++i)
            parameter ("Bypass").setValueNotifyingHost (i % 2 == 0 ? 0.0f : 1.0f);
    }).join();

    pumpMessages (100);
    EXPECT_TRUE (lampLit());
}

TEST_F (EditorTest, UpdatePostedBeforeTheWindowClosesIsDropped)
{
    std::thread ([this] { parameter ("Bypass").setValueNotifyingHost (1.0f); }).join();
    editor.reset();

    pumpMessages (100); // would touch the dead window's lamp if the update were still queued
    openEditor();
    EXPECT_FALSE (lampLit());
}

TEST_F (EditorTest, DoubleClickReturnsAKnobToItsDefault)
{
    showOnDesktop();
    setPlainValue ("Space", 8.0f);
    setPlainValue ("Mix", 80.0f);

    for (const auto index : { spaceIndex, mixIndex })
    {
        const auto centre = knobBounds[index].getCentre().toFloat();
        mouse->click (centre);
        mouse->click (centre);
    }

    EXPECT_FLOAT_EQ (plainValue ("Space"), 5.0f);
    EXPECT_FLOAT_EQ (plainValue ("Mix"), 50.0f);
}

TEST_F (EditorTest, ValueBoxShowsWhileDraggingAndPointerReturns)
{
    showOnDesktop();
    const juce::Point<int> pointerAtPress (900, 700);

    for (const auto index : { toneIndex, mixIndex })
    {
        auto& turned = knob (index);
        const auto centre = knobBounds[index].getCentre().toFloat();
        juce::Desktop::setMousePosition (pointerAtPress);

        mouse->press (centre);
        auto* box = valueBoxOf (turned);
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->getText(), index == mixIndex ? "50%" : "5.0");
        EXPECT_EQ (box->getBounds(), juce::Rectangle<int> (0, 0, 90, 15));
        EXPECT_TRUE (turned.getMouseCursor() == juce::MouseCursor::NoCursor);

        // 25 px up is a tenth of the range.
        juce::Desktop::setMousePosition ({ 1100, 300 });
        mouse->drag (centre - juce::Point<float> (0.0f, 25.0f));
        box = valueBoxOf (turned);
        ASSERT_NE (box, nullptr);
        EXPECT_EQ (box->getText(), index == mixIndex ? "60%" : "6.0");

        const auto boxPixels = crop (snapshot(), knobBounds[index].withHeight (15));
        EXPECT_EQ (boxPixels.getPixelAt (2, 2), juce::Colour (0xff000000));
        EXPECT_GT (countPixels (boxPixels, boxPixels.getBounds(), [] (juce::Colour c) { return c.getBrightness() > 0.9f; }), 5);

        mouse->release (centre - juce::Point<float> (0.0f, 25.0f));
        EXPECT_EQ (valueBoxOf (turned), nullptr);
        EXPECT_EQ (juce::Desktop::getMousePosition(), pointerAtPress);
        EXPECT_TRUE (turned.getMouseCursor() == juce::MouseCursor::NormalCursor);
    }

    EXPECT_FLOAT_EQ (plainValue ("Tone"), 6.0f);
    EXPECT_FLOAT_EQ (plainValue ("Mix"), 60.0f);
}

TEST_F (EditorTest, LinkButtonsOpenTheirPages)
{
    showOnDesktop();
    const auto before = snapshot();

    mouse->click (shareButtonBounds.getCentre().toFloat());
    mouse->click (boardButtonBounds.getCentre().toFloat());

    ASSERT_EQ (openedLinks.size(), 2);
    const auto site = juce::String ("https://") + PluginConstants::webSiteHost;
    EXPECT_EQ (openedLinks[0], site + "/pages/pelorvane-share-plugin");
    EXPECT_EQ (openedLinks[1], site + "/pages/add-pelorvane-to-your-board");
    EXPECT_EQ (plainValue ("Bypass"), 0.0f);
    EXPECT_LT (meanDifference (snapshot(), before, editor->getLocalBounds()), 0.01);
}

TEST_F (EditorTest, KnobStripThatDoesNotDecodeShowsNoImageWhileTheRestDraws)
{
    std::vector<char> corrupted (BinaryData::knob_strip_png, BinaryData::knob_strip_png + BinaryData::knob_strip_pngSize);
    for (size_t i = 0; i < 16; ++i)
        corrupted[i] = 0;

    replacementLookAndFeel = std::make_unique<OmbrixSliderLookAndFeel> (corrupted.data(), static_cast<int> (corrupted.size()));
    for (int i = spaceIndex; i <= mixIndex; ++i)
        knob (i).setLookAndFeel (replacementLookAndFeel.get());

    const auto image = snapshot();
    const auto expected = expectedWindow (false, false, false);

    // Everything but the knobs as usual: the switch and everything below it.
    EXPECT_LT (meanDifference (image, expected, { 0, 380, 630, 421 }), 0.5);

    for (const auto& bounds : knobBounds)
    {
        const auto textArea = juce::Rectangle<int> (30, 45, 32, 45) + bounds.getPosition();
        const auto knobArea = bounds.withSize (105, 105);
        const auto lighter = [&] (juce::Point<int> p) {
            return image.getPixelAt (p.x, p.y).getPerceivedBrightness() > expected.getPixelAt (p.x, p.y).getPerceivedBrightness() + 0.2f;
        };

        int inText = 0, elsewhere = 0;
        for (int y = knobArea.getY(); y < knobArea.getBottom(); ++y)
            for (int x = knobArea.getX(); x < knobArea.getRight(); ++x)
                if (lighter ({ x, y }))
                    ++(textArea.contains (x, y) ? inText : elsewhere);

        EXPECT_GT (inText, 10) << "no text in " << bounds.toString();
        EXPECT_EQ (elsewhere, 0) << "pointer or other drawing in " << bounds.toString();
    }
}

TEST_F (EditorTest, OpeningAndClosingRepeatedlyLeavesNothingBehind)
{
    // Host automation of "Bypass" keeps arriving while windows come and go.
    std::atomic<bool> running { true };
    std::thread automation ([&] {
        for (int i = 0; running; ++i)
            parameter ("Bypass").setValueNotifyingHost (i % 2 == 0 ? 1.0f : 0.0f);
    });

    for (int i = 0; i < 100; ++i)
    {
        openEditor();
        if (i % 10 == 0)
            pumpMessages (5);
    }

    running = false;
    automation.join();
    editor.reset();
    pumpMessages (100);

    // Memory: a hundred more windows opened and closed cost nothing that stays.
    openEditor();
    editor.reset();
    pumpMessages (50);
    const auto before = mallinfo2().uordblks;

    for (int i = 0; i < 100; ++i)
        openEditor();

    editor.reset();
    pumpMessages (50);
    const auto after = mallinfo2().uordblks;
    EXPECT_LT (static_cast<double> (after) - static_cast<double> (before), 64.0 * 1024.0);

    // The one window open now still follows "Bypass" from any thread.
    openEditor();
    const auto target = plainValue ("Bypass") < 0.5f ? 1.0f : 0.0f;
    std::thread ([&] { parameter ("Bypass").setValueNotifyingHost (target); }).join();
    EXPECT_TRUE (pumpMessagesUntil ([&] { return lampLit() == (target == 0.0f); }));
}

namespace
{
/** Counts the change gestures a host would see for one parameter. */
struct GestureCount : juce::AudioProcessorParameter::Listener
{
    explicit GestureCount (juce::AudioProcessorParameter& p) : parameter (p) { parameter.addListener (this); }
    ~GestureCount() override { parameter.removeListener (this); }

    void parameterValueChanged (int, float) override {}
    void parameterGestureChanged (int, bool starting) override { ++(starting ? begun : ended); }

    juce::AudioProcessorParameter& parameter;
    int begun = 0, ended = 0;
};

class KeyboardTest : public EditorTest
{
protected:
    void SetUp() override
    {
        EditorTest::SetUp();

        // Inside a window of its own, as plug-in hosts show it.
        juce::Desktop::setMousePosition ({ 1000, 900 });
        hostWindow.setBounds (editor->getBounds());
        hostWindow.addAndMakeVisible (*editor);
        hostWindow.addToDesktop (0);
        hostWindow.setVisible (true);
        mouse = std::make_unique<PeerMouse> (hostWindow);
        pumpMessages (300);

        // The host's window activated, as it is before its keys reach the plug-in.
        hostWindow.grabKeyboardFocus();
        pumpMessages (100);
        ASSERT_TRUE (editor->hasKeyboardFocus (false));
    }

    void press (int keyCode, juce::ModifierKeys modifiers = {})
    {
        hostWindow.getPeer()->handleKeyPress (juce::KeyPress (keyCode, modifiers, 0));
    }

    void tabTo (int index)
    {
        for (int presses = 0; presses < 8 && ! child (index).hasKeyboardFocus (false); ++presses)
            press (juce::KeyPress::tabKey);
    }

    /** Pixels of the ring's colour within a control's surroundings. */
    int ringPixels (juce::Rectangle<int> around)
    {
        const auto image = snapshot();
        return countPixels (image, around.expanded (14).getIntersection (image.getBounds()), [] (juce::Colour c) { return c.getRed() > 230 && std::abs (c.getGreen() - 0xc1) < 30 && c.getBlue() < 130; });
    }

    juce::Component hostWindow;
};
} // namespace

TEST_F (KeyboardTest, TabVisitsTheControlsInOrderAndRingsTheFocusedOne)
{
    const std::vector<int> order { spaceIndex, lumensIndex, toneIndex, mixIndex, footswitchIndex, shareIndex, boardIndex, spaceIndex };
    const std::vector<juce::Rectangle<int>> areas { knobBounds[0], knobBounds[1], knobBounds[2], knobBounds[3], footswitchBounds, shareButtonBounds, boardButtonBounds };

    for (const auto index : order)
    {
        press (juce::KeyPress::tabKey);
        EXPECT_TRUE (child (index).hasKeyboardFocus (false)) << "child " << index;
    }

    pumpMessages (50);
    saveArtefact (snapshot(), "editor-keyboard-focus.png");
    for (size_t i = 0; i < areas.size(); ++i)
        EXPECT_EQ (ringPixels (areas[i]) > 50, i == 0) << "control " << i;

    press (juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier);
    press (juce::KeyPress::tabKey, juce::ModifierKeys::shiftModifier);
    EXPECT_TRUE (child (shareIndex).hasKeyboardFocus (false));

    // A click on a control leaves the focus where it is, but hides the ring; a click on the
    // background gives the focus to the window, from where Tab starts again at the first knob.
    mouse->click (switchBodyCentre);
    pumpMessages (50);
    EXPECT_TRUE (child (shareIndex).hasKeyboardFocus (false));
    EXPECT_EQ (ringPixels (shareButtonBounds), 0);
    mouse->click ({ 20.0f, 20.0f });
    EXPECT_TRUE (editor->hasKeyboardFocus (false));
    mouse->click (switchBodyCentre);
    pumpMessages (50);
    EXPECT_LT (meanDifference (snapshot(), expectedWindow (false), editor->getLocalBounds()), 0.5);
    press (juce::KeyPress::tabKey);
    EXPECT_TRUE (child (spaceIndex).hasKeyboardFocus (false));
}

TEST_F (KeyboardTest, KeysTurnAFocusedKnobInStepsEachAsOneGesture)
{
    GestureCount space (parameter ("Space")), mix (parameter ("Mix"));
    tabTo (spaceIndex);

    const std::vector<std::pair<int, float>> spaceSteps { { juce::KeyPress::upKey, 5.1f }, { juce::KeyPress::rightKey, 5.2f }, { juce::KeyPress::downKey, 5.1f }, { juce::KeyPress::pageUpKey, 6.1f }, { juce::KeyPress::pageDownKey, 5.1f }, { juce::KeyPress::pageDownKey, 4.1f }, { juce::KeyPress::homeKey, 0.0f }, { juce::KeyPress::leftKey, 0.0f }, { juce::KeyPress::endKey, 10.0f } };
    for (const auto& [key, expected] : spaceSteps)
    {
        press (key);
        EXPECT_FLOAT_EQ (plainValue ("Space"), expected) << "key " << key;
    }

    EXPECT_EQ (space.begun, static_cast<int> (spaceSteps.size()));
    EXPECT_EQ (space.ended, space.begun);
    EXPECT_EQ (valueBoxOf (knob (spaceIndex)), nullptr);

    tabTo (mixIndex);
    for (const auto& [key, expected] : std::vector<std::pair<int, float>> { { juce::KeyPress::upKey, 51.0f }, { juce::KeyPress::pageDownKey, 41.0f }, { juce::KeyPress::endKey, 100.0f } })
    {
        press (key);
        EXPECT_FLOAT_EQ (plainValue ("Mix"), expected) << "key " << key;
    }
    EXPECT_EQ (mix.begun, 3);
    EXPECT_EQ (mix.ended, 3);
    EXPECT_FLOAT_EQ (plainValue ("Space"), 10.0f);
}

TEST_F (KeyboardTest, SpaceAndEnterOnTheFootswitchToggleBypassAsOneGesture)
{
    GestureCount bypass (parameter ("Bypass"));
    tabTo (footswitchIndex);

    press (juce::KeyPress::spaceKey);
    EXPECT_TRUE (pumpMessagesUntil ([this] { return plainValue ("Bypass") == 1.0f; }));
    EXPECT_FALSE (lampLit());

    press (juce::KeyPress::returnKey);
    EXPECT_TRUE (pumpMessagesUntil ([this] { return plainValue ("Bypass") == 0.0f; }));
    pumpMessages (50);
    EXPECT_TRUE (lampLit());
    EXPECT_EQ (bypass.begun, 2);
    EXPECT_EQ (bypass.ended, 2);

    // The links open their pages the same way.
    tabTo (boardIndex);
    press (juce::KeyPress::spaceKey);
    EXPECT_TRUE (pumpMessagesUntil ([this] { return openedLinks.size() == 1; }));
    EXPECT_TRUE (openedLinks[0].endsWith ("/pages/add-pelorvane-to-your-board"));
}

TEST_F (KeyboardTest, ScreenReadersHearEachControlsTitleAndValue)
{
    setPlainValue ("Tone", 2.5f);
    const std::vector<std::pair<const char*, const char*>> knobTexts { { "Space", "5.0" }, { "Lumens", "5.0" }, { "Tone", "2.5" }, { "Mix", "50%" } };

    for (int i = spaceIndex; i <= mixIndex; ++i)
    {
        auto* handler = knob (i).getAccessibilityHandler();
        ASSERT_NE (handler, nullptr);
        EXPECT_EQ (handler->getRole(), juce::AccessibilityRole::slider);
        EXPECT_EQ (handler->getTitle(), knobTexts[size_t (i)].first);
        EXPECT_EQ (handler->getValueInterface()->getCurrentValueAsString(), knobTexts[size_t (i)].second);
        EXPECT_FLOAT_EQ (static_cast<float> (handler->getValueInterface()->getRange().getInterval()), i == mixIndex ? 1.0f : 0.1f);
    }

    // A screen reader's change is one gesture, like a key press.
    GestureCount lumens (parameter ("Lumens"));
    knob (lumensIndex).getAccessibilityHandler()->getValueInterface()->setValue (7.3);
    EXPECT_FLOAT_EQ (plainValue ("Lumens"), 7.3f);
    EXPECT_EQ (lumens.begun, 1);
    EXPECT_EQ (lumens.ended, 1);

    auto* footswitchHandler = button (footswitchIndex).getAccessibilityHandler();
    ASSERT_NE (footswitchHandler, nullptr);
    EXPECT_EQ (footswitchHandler->getTitle(), "Bypass");
    EXPECT_EQ (footswitchHandler->getValueInterface()->getCurrentValueAsString(), "Off");
    EXPECT_TRUE (footswitchHandler->getActions().invoke (juce::AccessibilityActionType::toggle));
    EXPECT_EQ (plainValue ("Bypass"), 1.0f);
    EXPECT_EQ (footswitchHandler->getValueInterface()->getCurrentValueAsString(), "On");

    const auto site = juce::String ("https://") + PluginConstants::webSiteHost;
    EXPECT_EQ (button (shareIndex).getAccessibilityHandler()->getTitle(), "Share Pelorvane");
    EXPECT_TRUE (button (shareIndex).getAccessibilityHandler()->getDescription().endsWith (site + "/pages/pelorvane-share-plugin"));
    EXPECT_EQ (button (boardIndex).getAccessibilityHandler()->getTitle(), "Add to your board");
    EXPECT_TRUE (button (boardIndex).getAccessibilityHandler()->getDescription().endsWith (site + "/pages/add-pelorvane-to-your-board"));

    // The lamp only repeats the footswitch: not announced, not focusable.
    EXPECT_EQ (button (lampIndex).getAccessibilityHandler(), nullptr);
    EXPECT_FALSE (button (lampIndex).getWantsKeyboardFocus());
}

TEST_F (KeyboardTest, KnobsFollowAutomationFromOtherThreadsAndDragsAreGestures)
{
    std::thread ([this] { setPlainValue ("Space", 8.0f); }).join();
    EXPECT_DOUBLE_EQ (knob (spaceIndex).getValue(), 5.0) << "the knob must not be touched off the message thread";
    EXPECT_TRUE (pumpMessagesUntil ([this] { return knob (spaceIndex).getValue() == 8.0; }));

    GestureCount tone (parameter ("Tone"));
    const auto centre = knobBounds[toneIndex].getCentre().toFloat();
    mouse->press (centre);
    mouse->drag (centre - juce::Point<float> (0.0f, 25.0f));
    mouse->drag (centre - juce::Point<float> (0.0f, 50.0f));
    mouse->release (centre - juce::Point<float> (0.0f, 50.0f));
    EXPECT_FLOAT_EQ (plainValue ("Tone"), 7.0f);
    EXPECT_EQ (tone.begun, 1);
    EXPECT_EQ (tone.ended, 1);
}

TEST_F (EditorTest, LooksAsItDidBeforeItsPicturesWereDerivedAtBuildTime)
{
    expectLooksLikeReference (snapshot());

    // Reopened, from the pictures this instance kept.
    openEditor();
    expectLooksLikeReference (snapshot());
}

TEST_F (EditorTest, IsSharpAtTwiceTheScale)
{
    const auto shown = snapshot (2.0f);
    ASSERT_EQ (shown.getBounds(), juce::Rectangle<int> (0, 0, 1260, 1602));

    // As drawn from the full-size pictures at 200 %: the background pixel for pixel, the pointer
    // from the full-size strip.
    const auto original = decode (BinaryData::Background_png, BinaryData::Background_pngSize);
    juce::Image sharp (juce::Image::ARGB, 1260, 1602, true);
    {
        juce::Graphics g (sharp);
        g.addTransform (juce::AffineTransform::scale (2.0f));
        g.drawImageWithin (original, 0, 0, 630, 801, juce::RectanglePlacement::stretchToFit);
        g.drawImage (decode (BinaryData::knob_strip_png, BinaryData::knob_strip_pngSize), 196, 139, 105, 105, 0, 50 * 421, 421, 421);
        drawInto (g, decode (BinaryData::stompSwitchUp_png, BinaryData::stompSwitchUp_pngSize), footswitchBounds);
    }

    // The window at 100 %, enlarged: what a blurred window would show.
    juce::Image enlarged (juce::Image::ARGB, 1260, 1602, true);
    juce::Graphics (enlarged).drawImageWithin (snapshot(), 0, 0, 1260, 1602, juce::RectanglePlacement::stretchToFit);

    // The product's lettering: the finest detail of the artwork, away from every control.
    const juce::Rectangle<int> lettering (340, 770, 580, 106);
    EXPECT_LT (meanDifference (shown, sharp, lettering), 0.5);
    EXPECT_GT (meanDifference (enlarged, sharp, lettering), 2.0) << "the lettering has no fine detail to tell sharp from blurred";

    const juce::Rectangle<int> spacePointer (392, 278, 210, 210);
    EXPECT_LT (meanDifference (shown, sharp, spacePointer), 0.5);

    // The footswitch's metal disc, clear of the lamp beside it.
    const juce::Rectangle<int> switchBody (520, 952, 220, 220);
    EXPECT_LT (meanDifference (shown, sharp, switchBody), 0.5);
}

TEST_F (EditorTest, TheHostsContainerPaintsNothingUnderTheScaledPedal)
{
    // Like the plug-in wrapper's: opaque, and filling itself wherever it is asked to paint.
    struct Container : juce::Component
    {
        juce::Rectangle<int> pedal;
        bool paintedUnderThePedal = false;

        void paint (juce::Graphics& g) override
        {
            paintedUnderThePedal = paintedUnderThePedal || g.clipRegionIntersects (pedal);
            g.fillAll (juce::Colours::red);
        }
    } container;

    container.setOpaque (true);
    container.addAndMakeVisible (*editor);
    editor->setScaleFactor (2.0f);
    container.setSize (1260, 1602);
    container.pedal = container.getLocalBounds();
    container.createComponentSnapshot (container.getLocalBounds());
    EXPECT_FALSE (container.paintedUnderThePedal);

    // At 150 % the pedal covers 945 x 1201 whole pixels of a 946 x 1202 container: the rest is
    // left to the container.
    editor->setScaleFactor (1.5f);
    container.setSize (946, 1202);
    container.pedal = { 945, 1201 };
    const auto shown = container.createComponentSnapshot (container.getLocalBounds());
    EXPECT_FALSE (container.paintedUnderThePedal);
    EXPECT_EQ (shown.getPixelAt (945, 600), juce::Colours::red);

    // Back at 100 %, the pedal itself is what covers the container.
    editor->setScaleFactor (1.0f);
    EXPECT_EQ (container.getNumChildComponents(), 1);

    container.removeChildComponent (editor.get());
}

TEST_F (EditorTest, AtOtherScalesLooksAsDrawnFromTheFullSizePictures)
{
    // 150 %, a common display setting, as a window at that scale paints: the background from a
    // copy made at that scale once.
    const auto paintedAt150 = [this] {
        juce::Image image (juce::Image::ARGB, 945, 1202, true);
        juce::Graphics g (image);
        g.addTransform (juce::AffineTransform::scale (1.5f));
        editor->paintEntireComponent (g, true);
        return image;
    };

    juce::Image expected (juce::Image::ARGB, 945, 1202, true);
    {
        juce::Graphics g (expected);
        g.addTransform (juce::AffineTransform::scale (1.5f));
        g.drawImageWithin (decode (BinaryData::Background_png, BinaryData::Background_pngSize), 0, 0, 630, 801, juce::RectanglePlacement::stretchToFit);
        drawInto (g, decode (BinaryData::stompSwitchUp_png, BinaryData::stompSwitchUp_pngSize), footswitchBounds);
    }

    // The background away from every control, and the same on a second paint. The footswitch's
    // disc too, though the switch sits half a device pixel off the grid at 150 %, which softens it
    // by about two levels: a wrong look, or one misplaced, differs by far more.
    const auto shown = paintedAt150();
    const juce::Rectangle<int> lettering (255, 578, 435, 80);
    EXPECT_LT (meanDifference (shown, expected, lettering), 0.5);
    EXPECT_LT (meanDifference (shown, expected, { 390, 714, 165, 165 }), 3.0);
    EXPECT_LT (meanDifference (paintedAt150(), shown, shown.getBounds()), 0.01);
}

TEST_F (EditorTest, WindowOpenedWhileItsBackgroundIsStillBeingDecodedDrawsComplete)
{
    // A new instance in a process that has no pictures decoded.
    createProcessor();

    std::atomic<bool> decoding { false };
    EditorPictures::setBeforeBackgroundDecode ([&] {
        decoding = true;
        juce::Thread::sleep (300);
    });
    EditorPictures::decodeInBackground (EditorPictures::Picture::background1x);
    ASSERT_TRUE (pumpMessagesUntil ([&] { return decoding.load(); }));

    openEditor();
    EXPECT_TRUE (EditorPictures::isDecodingInBackground());
    const auto image = snapshot();
    EditorPictures::setBeforeBackgroundDecode ({});

    expectLooksLikeReference (image);
}

TEST_F (EditorTest, PicturesStayDecodedWhileAnInstanceLives)
{
    const auto background = EditorPictures::get (EditorPictures::Picture::background1x);
    const auto frame = EditorPictures::knobFrame (50, 1);
    ASSERT_TRUE (background.isValid() && frame.isValid());
    EXPECT_EQ (background.getBounds(), juce::Rectangle<int> (0, 0, 630, 801));
    EXPECT_EQ (frame.getBounds(), juce::Rectangle<int> (0, 0, 105, 105));
    EXPECT_EQ (EditorPictures::knobFrame (50, 2).getBounds(), juce::Rectangle<int> (0, 0, 210, 210));

    // Closed: the same pixels, not a second decode.
    editor.reset();
    pumpMessages (100);
    EXPECT_EQ (EditorPictures::get (EditorPictures::Picture::background1x), background);
    EXPECT_EQ (EditorPictures::knobFrame (50, 1), frame);

    // The last instance gone, they are freed: the next window decodes afresh.
    processor.reset();
    EditorPictures::Keeper nextInstance;
    EXPECT_NE (EditorPictures::get (EditorPictures::Picture::background1x), background);
}

TEST_F (EditorTest, ABackgroundOnlyDecodedAheadIsFreedWhenTheWindowShowsTheOther)
{
    // A new instance in a process that has no pictures decoded or drawn.
    createProcessor();

    const auto pictureAt100 = [] { return EditorPictures::get (EditorPictures::Picture::background1x); };
    const auto idle = [] { return pumpMessagesUntil ([] { return ! EditorPictures::isDecodingInBackground(); }); };

    // Decoded ahead for 100 %, then shown at 200 %: freed, and decoded afresh when asked for.
    openEditor();
    ASSERT_TRUE (idle());
    const auto decodedAhead = pictureAt100();
    snapshot (2.0f);
    ASSERT_TRUE (idle());
    const auto afresh = pictureAt100();
    EXPECT_NE (afresh, decodedAhead);

    // Once a window has drawn it, it stays whatever scale windows are shown at.
    snapshot();
    snapshot (2.0f);
    ASSERT_TRUE (idle());
    EXPECT_EQ (pictureAt100(), afresh);
}
