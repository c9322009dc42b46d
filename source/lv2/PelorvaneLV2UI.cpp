#include "lv2/PelorvaneLV2UI.h"

namespace juce
{
// The framework's own step of its Linux message loop (juce_linux_Messaging.cpp), which hosts that
// drive the loop themselves call as its plug-in clients do.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

PelorvaneLV2UI::PelorvaneLV2UI (LV2UI_Write_Function writeFunction, LV2UI_Controller controller, void* parentWindow, const LV2UI_Resize* resizeFeature)
    : ports ([writeFunction, controller] (std::uint32_t portIndex, float value)
             { writeFunction (controller, portIndex, sizeof (float), 0, &value); }),
      hostResize (resizeFeature)
{
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();

    editor = std::make_unique<PelorvaneAudioProcessorEditor> (ports, ports.parameters);
    window.setOpaque (true);
    window.addAndMakeVisible (*editor);
    tellHostTheSize();

    window.addToDesktop (0, parentWindow);
    editor->addComponentListener (this);
    window.setVisible (true);
}

PelorvaneLV2UI::~PelorvaneLV2UI()
{
    editor->removeComponentListener (this);
    window.removeFromDesktop();
    editor.reset();
}

LV2UI_Widget PelorvaneLV2UI::getWidget()
{
    return window.getWindowHandle();
}

void PelorvaneLV2UI::portEvent (std::uint32_t portIndex, std::uint32_t bufferSize, std::uint32_t format, const void* buffer)
{
    // Format 0: a control port's value, one float.
    if (format == 0 && bufferSize == sizeof (float) && buffer != nullptr)
        ports.showPortValue (portIndex, *static_cast<const float*> (buffer));
}

void PelorvaneLV2UI::idle()
{
    // Another instance may have been opened from another of the host's threads.
    juce::MessageManager::getInstance()->setCurrentThreadAsMessageThread();

    while (juce::dispatchNextMessageOnSystemQueue (true))
    {
    }
}

void PelorvaneLV2UI::componentMovedOrResized (juce::Component&, bool, bool wasResized)
{
    if (wasResized)
        tellHostTheSize();
}

/** The pedal keeps its own size (scaled with the display): the host's window follows it. */
void PelorvaneLV2UI::tellHostTheSize()
{
    const auto bounds = window.getLocalArea (editor.get(), editor->getLocalBounds());
    window.setSize (bounds.getWidth(), bounds.getHeight());

    if (hostResize != nullptr && hostResize->ui_resize != nullptr)
        hostResize->ui_resize (hostResize->handle, bounds.getWidth(), bounds.getHeight());
}
