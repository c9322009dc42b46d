// Opens the window of the built VST3 module the way a JUCE-based host does, and checks on
// the X server what it shows: the module draws into its own embedded X window, which a
// component snapshot in this process cannot see.

#include "editor/PluginEditor.h"
#include "processor/PluginProcessor.h"

#include "EditorTestSupport.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <iostream>
#include <memory>

using namespace EditorTestSupport;

namespace
{
const juce::Rectangle<int> lampBounds (375, 504, 50, 50);

juce::File bundleDirectory()
{
    // The module sits in Pelorvane.vst3/Contents/<architecture>/.
    return juce::File (PELORVANE_VST3_MODULE).getParentDirectory().getParentDirectory().getParentDirectory();
}

/** What lies on the screen inside a window, through ImageMagick, or a null image. */
juce::Image grabWindow (juce::Component& window, const juce::File& file)
{
    file.deleteFile();
    const auto windowId = juce::String::toHexString ((juce::pointer_sized_int) window.getWindowHandle());

    juce::ChildProcess grab;
    if (! grab.start (juce::StringArray { "import", "-window", "0x" + windowId, "png:" + file.getFullPathName() })
        || ! grab.waitForProcessToFinish (20000) || grab.getExitCode() != 0)
        return {};

    return juce::ImageFileFormat::loadFrom (file);
}

/** The pedal drawn in this process, for comparison. */
juce::Image drawnInProcess (bool bypassed)
{
    testing::internal::CaptureStdout(); // the framework version, announced by every processor
    PelorvaneAudioProcessor processor;
    testing::internal::GetCapturedStdout();
    processor.parameters.getParameter ("Bypass")->setValueNotifyingHost (bypassed ? 1.0f : 0.0f);
    PelorvaneAudioProcessorEditor editor (processor);
    return editor.createComponentSnapshot (editor.getLocalBounds(), true, 1.0f);
}

double colourDifference (const juce::Image& a, const juce::Image& b, juce::Rectangle<int> area)
{
    // The window on screen has no alpha channel; everything in the pedal is opaque anyway.
    const auto opaqueA = a.convertedToFormat (juce::Image::RGB);
    const auto opaqueB = b.convertedToFormat (juce::Image::RGB);
    return meanDifference (opaqueA, opaqueB, area) * 4.0 / 3.0;
}

class HostedEditorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        juce::Desktop::setMousePosition ({ 1000, 900 });

        juce::OwnedArray<juce::PluginDescription> found;
        format.findAllTypesForFile (found, bundleDirectory().getFullPathName());
        ASSERT_EQ (found.size(), 1) << bundleDirectory().getFullPathName();

        juce::String error;
        testing::internal::CaptureStdout();
        instance = format.createInstanceFromDescription (*found[0], 48000.0, 256, error);
        testing::internal::GetCapturedStdout();
        ASSERT_NE (instance, nullptr) << error;
    }

    void TearDown() override
    {
        closeWindow();
        instance.reset();
    }

    void openWindow()
    {
        ASSERT_TRUE (instance->hasEditor());
        window.reset (instance->createEditorIfNeeded());
        ASSERT_NE (window, nullptr);
        window->setTopLeftPosition (0, 0);
        window->addToDesktop (0);
        window->setVisible (true);
    }

    void closeWindow()
    {
        if (window == nullptr)
            return;

        window.reset();
        pumpMessages (100);
    }

    /** Keeps the host's message loop running until the window on screen looks as expected. */
    juce::Image waitForScreen (const juce::Image& expected, const juce::File& file)
    {
        juce::Image onScreen;
        pumpMessagesUntil ([&] {
            pumpMessages (200);
            onScreen = grabWindow (*window, file);
            return onScreen.isValid() && onScreen.getBounds() == expected.getBounds()
                && colourDifference (onScreen, expected, expected.getBounds()) < 3.0;
        },
                           15000);
        return onScreen;
    }

    juce::ScopedJuceInitialiser_GUI juceInit;
    juce::VST3PluginFormat format;
    std::unique_ptr<juce::AudioPluginInstance> instance;
    std::unique_ptr<juce::AudioProcessorEditor> window;
    const juce::File artefacts { PELORVANE_ARTEFACT_DIR };
};
} // namespace

TEST_F (HostedEditorTest, OpensDrawsFollowsBypassAndCloses)
{
    artefacts.createDirectory();
    openWindow();
    EXPECT_EQ (window->getWidth(), 630);
    EXPECT_EQ (window->getHeight(), 801);

    const auto active = drawnInProcess (false);
    const auto shownActive = waitForScreen (active, artefacts.getChildFile ("editor-vst3.png"));
    ASSERT_TRUE (shownActive.isValid()) << "could not grab the window with ImageMagick's import";
    ASSERT_EQ (shownActive.getBounds(), active.getBounds());
    const auto difference = colourDifference (shownActive, active, active.getBounds());
    std::cout << "hosted window vs in-process drawing: mean difference " << difference << " of 255" << std::endl;
    EXPECT_LT (difference, 3.0);

    // The host switches bypass; the module's lamp goes dark in its own window.
    const auto bypassed = drawnInProcess (true);
    instance->getParameters()[0]->setValueNotifyingHost (1.0f);
    const auto shownBypassed = waitForScreen (bypassed, artefacts.getChildFile ("editor-vst3-bypassed.png"));
    EXPECT_LT (colourDifference (shownBypassed, bypassed, lampBounds), colourDifference (shownBypassed, active, lampBounds));
    EXPECT_LT (colourDifference (shownBypassed, bypassed, bypassed.getBounds()), 3.0);

    closeWindow();

    // And once more, as hosts do when the window is reopened.
    openWindow();
    EXPECT_TRUE (waitForScreen (bypassed, artefacts.getChildFile ("editor-vst3-reopened.png")).isValid());
}
