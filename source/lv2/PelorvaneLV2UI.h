#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/PluginEditor.h"
#include "lv2/PortParameters.h"

#include <lv2/ui/ui.h>

#include <cstdint>
#include <memory>

/** One LV2 UI instance: the pedal window inside the host's window, talking to the plug-in only
    through its ports.

    The framework's messages run on the host's UI thread, from the host's idle calls; every call
    here comes on that thread. Each instance holds the framework initialised, so that the last
    one closed (its members gone) shuts it down and the next one opened starts it again.
*/
class PelorvaneLV2UI : private juce::ComponentListener
{
public:
    PelorvaneLV2UI (LV2UI_Write_Function writeFunction, LV2UI_Controller controller, void* parentWindow, const LV2UI_Resize* hostResize);
    ~PelorvaneLV2UI() override;

    /** The X11 window the host embeds. */
    LV2UI_Widget getWidget();

    /** The host's value of a port (the plug-in's, automation's, or a preset's). */
    void portEvent (std::uint32_t portIndex, std::uint32_t bufferSize, std::uint32_t format, const void* buffer);

    /** Runs the framework's pending messages, the window's events among them. */
    void idle();

private:
    void componentMovedOrResized (juce::Component& component, bool wasMoved, bool wasResized) override;
    void tellHostTheSize();

    juce::ScopedJuceInitialiser_GUI framework;
    PortParameters ports;

    // The system window in the host's, holding the pedal at the size it is drawn at.
    juce::Component window;
    std::unique_ptr<PelorvaneAudioProcessorEditor> editor;
    const LV2UI_Resize* const hostResize;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PelorvaneLV2UI)
};
