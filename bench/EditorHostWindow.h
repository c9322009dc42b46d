#pragma once

#include <pluginterfaces/gui/iplugview.h>

#include <memory>

/** A host's window for a plug-in's editor view, with what a host does around it: on Linux an X
    window and the run loop the view's module registers its file descriptors and timers with
    (IRunLoop, asked for through the view's IPlugFrame); on Windows a top-level window and the
    thread's message queue.

    It also tells when the view has drawn all of itself: on Linux from the X server's damage
    reports for the view's own window, on Windows because a redraw of the window with its
    children returns only after every one of them has painted.
*/
class EditorHostWindow
{
public:
    EditorHostWindow();
    ~EditorHostWindow();

    /** False, with a reason, when no window can be made (no X display, say). */
    bool isUsable() const;
    const char* problem() const;

    /** Shows a window of this size (device pixels) for the view. */
    bool open (int width, int height);

    /** Hides and destroys the window; the view must have been removed from it. */
    void close();

    /** What IPlugView::attached takes. */
    void* nativeHandle() const;
    const char* platformType() const;

    /** Hands this window to the view as its frame (resize requests, run loop). Call before
        attached; the frame stays valid while this object lives. */
    void setFrameOf (Steinberg::IPlugView& view);

    /** After attached: runs the host's loop until the view's window has been drawn whole, or
        until the time is up. False on time-out. */
    bool waitUntilDrawnWhole (double timeoutSeconds);

    /** Makes the view redraw all of itself and waits until it has; returns the milliseconds the
        module spent doing it (the processor time of its event callbacks on Linux, the redraw's
        wall-clock time on Windows), or a
        negative number on time-out. */
    double timeFullRedraw();

    /** What timeFullRedraw measures. */
    static const char* redrawClock();

    /** Runs the host's loop for a while, as a host does between user actions. */
    void runFor (double seconds);

    /** The size the view last asked its frame for, or 0 x 0. */
    int requestedWidth() const;
    int requestedHeight() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
