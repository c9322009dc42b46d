#pragma once

// Linux only: a VST3 module's editor opened as a host opens it, in a window of the host's.

#include "RawAudioHost.h"
#include "RawPlugFrame.h"

#include <memory>

typedef struct _XDisplay Display;

/** The editor while it is open: the view, given the frame, and attached to a window of the
    host's when there is a display. */
class OpenEditor
{
public:
    OpenEditor (RawAudioHost& host, RawPlugFrame& frame, Display* display);
    ~OpenEditor();

    bool isOpen() const { return view != nullptr; }
    bool isAttached() const { return attached; }

private:
    class HostWindow;

    Steinberg::IPlugView* view;
    std::unique_ptr<HostWindow> window;
    bool attached = false;

    OpenEditor (const OpenEditor&) = delete;
    OpenEditor& operator= (const OpenEditor&) = delete;
};
