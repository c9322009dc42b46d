#pragma once

#include "vst3/VST3SdkHeaders.h"

#include <atomic>

/** The framework's editor view as the host sees it: every call the host makes on the view runs
    where the framework's window code expects to run, on the framework's message thread or with
    that thread held still between two of its messages.

    On Linux the framework runs its messages (timers, repaints, the window's updates) on a thread
    of its own until the host lends it a run loop (Steinberg::Linux::IRunLoop) through the view's
    frame; its view, though, builds, resizes and takes down the window's components on whatever
    thread the host calls it from, which is then not the message thread. So there, calls from any
    other thread run under the framework's message-manager lock, unless the frame lends a run
    loop: then the framework makes the host's thread its message thread as the view is attached
    (and holding its own thread still then would keep it from ending). Elsewhere, and on the
    message thread, every call is passed on as it is.

    The frame the host sets is handed to the framework's view behind a frame of this view's own,
    so that a resize request names this view, the one the host knows.
*/
class MessageThreadView final : public Steinberg::IPlugView,
                          public Steinberg::IPlugViewContentScaleSupport
{
public:
    /** Takes over the caller's reference to the framework's view. */
    explicit MessageThreadView (Steinberg::IPlugView* frameworkView);

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    Steinberg::tresult PLUGIN_API isPlatformTypeSupported (Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API attached (void* parent, Steinberg::FIDString type) override;
    Steinberg::tresult PLUGIN_API removed() override;
    Steinberg::tresult PLUGIN_API onWheel (float distance) override;
    Steinberg::tresult PLUGIN_API onKeyDown (Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API onKeyUp (Steinberg::char16 key, Steinberg::int16 keyCode, Steinberg::int16 modifiers) override;
    Steinberg::tresult PLUGIN_API getSize (Steinberg::ViewRect* size) override;
    Steinberg::tresult PLUGIN_API onSize (Steinberg::ViewRect* newSize) override;
    Steinberg::tresult PLUGIN_API onFocus (Steinberg::TBool state) override;
    Steinberg::tresult PLUGIN_API setFrame (Steinberg::IPlugFrame* frame) override;
    Steinberg::tresult PLUGIN_API canResize() override;
    Steinberg::tresult PLUGIN_API checkSizeConstraint (Steinberg::ViewRect* rect) override;

    Steinberg::tresult PLUGIN_API setContentScaleFactor (ScaleFactor factor) override;

private:
    /** What the framework's view is given as its frame: asks the host's frame for whatever the
        framework looks for there (the run loop), and passes resize requests on in this view's
        name. */
    class Frame final : public Steinberg::IPlugFrame
    {
    public:
        explicit Frame (MessageThreadView& ownerView) : owner (ownerView) {}

        Steinberg::tresult PLUGIN_API resizeView (Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;
        Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
        Steinberg::uint32 PLUGIN_API addRef() override { return owner.addRef(); }
        Steinberg::uint32 PLUGIN_API release() override { return owner.release(); }

    private:
        MessageThreadView& owner;
    };

    ~MessageThreadView();

    /** Runs call on the message thread's terms (see the class comment). */
    template <typename Call>
    Steinberg::tresult onMessageThread (Call&& call);

    Steinberg::IPlugView* const view;
    Steinberg::IPlugViewContentScaleSupport* const scaleSupport;
    Frame frame { *this };
    std::atomic<Steinberg::IPlugFrame*> hostFrame { nullptr };
    std::atomic<bool> hostLendsRunLoop { false };
    std::atomic<Steinberg::uint32> refCount { 1 };

    MessageThreadView (const MessageThreadView&) = delete;
    MessageThreadView& operator= (const MessageThreadView&) = delete;
};
