#pragma once

// Linux only: the host-side objects an editor view is given when a host opens it in a window.

#include <pluginterfaces/gui/iplugview.h>

#include <chrono>
#include <mutex>
#include <utility>
#include <vector>

/** The run loop a Linux host lends its plug-ins (Steinberg::Linux::IRunLoop): the plug-in
    registers its file descriptors and timers, and the host's main thread calls them back from
    its own loop (dispatch). A plug-in built on JUCE then runs its message loop on the host's
    main thread instead of a thread of its own.

    Registration may come from any thread; the callbacks come from the thread that calls
    dispatch. Lives on the host's stack, so reference counting is a no-op.
*/
class RawRunLoop : public Steinberg::Linux::IRunLoop
{
public:
    /** Waits at most timeoutMs for a registered descriptor to become readable, then calls the
        handlers of the readable ones and of the timers that are due. */
    void dispatch (int timeoutMs);

    /** How many descriptors and timers are registered now. */
    size_t eventHandlerCount() const;
    size_t timerCount() const;

    /** How many callbacks dispatch has made so far. */
    long callbacks() const { return callbacksMade; }

    Steinberg::tresult PLUGIN_API registerEventHandler (Steinberg::Linux::IEventHandler* handler, Steinberg::Linux::FileDescriptor fd) override;
    Steinberg::tresult PLUGIN_API unregisterEventHandler (Steinberg::Linux::IEventHandler* handler) override;
    Steinberg::tresult PLUGIN_API registerTimer (Steinberg::Linux::ITimerHandler* handler, Steinberg::Linux::TimerInterval milliseconds) override;
    Steinberg::tresult PLUGIN_API unregisterTimer (Steinberg::Linux::ITimerHandler* handler) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    using Clock = std::chrono::steady_clock;

    struct Timer
    {
        Steinberg::Linux::ITimerHandler* handler;
        Clock::duration interval;
        Clock::time_point due;
    };

    bool isRegistered (Steinberg::Linux::IEventHandler* handler, int fd) const;
    bool isRegistered (Steinberg::Linux::ITimerHandler* handler) const;

    mutable std::mutex lock;
    std::vector<std::pair<Steinberg::Linux::IEventHandler*, int>> eventHandlers;
    std::vector<Timer> timers;
    long callbacksMade = 0;
};

/** The frame of an editor view: resizes the view as asked and, when given a run loop, lends it
    to the plug-in (the frame is where a Linux plug-in looks for IRunLoop). */
class RawPlugFrame : public Steinberg::IPlugFrame
{
public:
    explicit RawPlugFrame (RawRunLoop* runLoopToLend) : runLoop (runLoopToLend) {}

    Steinberg::tresult PLUGIN_API resizeView (Steinberg::IPlugView* view, Steinberg::ViewRect* newSize) override;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }

private:
    RawRunLoop* runLoop;
};
