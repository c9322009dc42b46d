#include "RawPlugFrame.h"

#include <pluginterfaces/base/funknown.h>

#include <algorithm>

#include <poll.h>

using namespace Steinberg;

void RawRunLoop::dispatch (int timeoutMs)
{
    // The callbacks run without the lock: a plug-in registers and unregisters from inside them.
    std::vector<std::pair<Linux::IEventHandler*, int>> handlers;
    {
        const std::lock_guard<std::mutex> guard (lock);
        handlers = eventHandlers;
    }

    std::vector<pollfd> fds;

    for (const auto& entry : handlers)
        fds.push_back ({ entry.second, POLLIN, 0 });

    if (poll (fds.data(), static_cast<nfds_t> (fds.size()), timeoutMs) > 0)
    {
        for (size_t i = 0; i < fds.size(); ++i)
        {
            // Skipped if an earlier callback unregistered it.
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && isRegistered (handlers[i].first, handlers[i].second))
            {
                handlers[i].first->onFDIsSet (handlers[i].second);
                ++callbacksMade;
            }
        }
    }

    std::vector<Linux::ITimerHandler*> due;
    {
        const std::lock_guard<std::mutex> guard (lock);
        const auto now = Clock::now();

        for (auto& timer : timers)
        {
            if (timer.due <= now)
            {
                due.push_back (timer.handler);
                timer.due = now + timer.interval;
            }
        }
    }

    for (auto* handler : due)
    {
        if (isRegistered (handler))
        {
            handler->onTimer();
            ++callbacksMade;
        }
    }
}

size_t RawRunLoop::eventHandlerCount() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return eventHandlers.size();
}

size_t RawRunLoop::timerCount() const
{
    const std::lock_guard<std::mutex> guard (lock);
    return timers.size();
}

bool RawRunLoop::isRegistered (Linux::IEventHandler* handler, int fd) const
{
    const std::lock_guard<std::mutex> guard (lock);
    return std::find (eventHandlers.begin(), eventHandlers.end(), std::make_pair (handler, fd)) != eventHandlers.end();
}

bool RawRunLoop::isRegistered (Linux::ITimerHandler* handler) const
{
    const std::lock_guard<std::mutex> guard (lock);
    return std::any_of (timers.begin(), timers.end(), [handler] (const Timer& t) { return t.handler == handler; });
}

tresult PLUGIN_API RawRunLoop::registerEventHandler (Linux::IEventHandler* handler, Linux::FileDescriptor fd)
{
    if (handler == nullptr)
        return kInvalidArgument;

    const std::lock_guard<std::mutex> guard (lock);
    eventHandlers.emplace_back (handler, fd);
    return kResultTrue;
}

tresult PLUGIN_API RawRunLoop::unregisterEventHandler (Linux::IEventHandler* handler)
{
    const std::lock_guard<std::mutex> guard (lock);
    const auto end = std::remove_if (eventHandlers.begin(), eventHandlers.end(), [handler] (const auto& entry) { return entry.first == handler; });

    if (end == eventHandlers.end())
        return kInvalidArgument;

    eventHandlers.erase (end, eventHandlers.end());
    return kResultTrue;
}

tresult PLUGIN_API RawRunLoop::registerTimer (Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds)
{
    if (handler == nullptr || milliseconds == 0)
        return kInvalidArgument;

    const std::lock_guard<std::mutex> guard (lock);
    const auto interval = std::chrono::duration_cast<Clock::duration> (std::chrono::milliseconds (milliseconds));
    timers.push_back ({ handler, interval, Clock::now() + interval });
    return kResultTrue;
}

tresult PLUGIN_API RawRunLoop::unregisterTimer (Linux::ITimerHandler* handler)
{
    const std::lock_guard<std::mutex> guard (lock);
    const auto end = std::remove_if (timers.begin(), timers.end(), [handler] (const Timer& t) { return t.handler == handler; });

    if (end == timers.end())
        return kInvalidArgument;

    timers.erase (end, timers.end());
    return kResultTrue;
}

tresult PLUGIN_API RawRunLoop::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Linux::IRunLoop)
    QUERY_INTERFACE (targetIID, obj, Linux::IRunLoop::iid, Linux::IRunLoop)
    *obj = nullptr;
    return kNoInterface;
}

//==============================================================================
tresult PLUGIN_API RawPlugFrame::resizeView (IPlugView* view, ViewRect* newSize)
{
    if (view == nullptr || newSize == nullptr)
        return kInvalidArgument;

    // The host's window would take the new size here; the view is then told it has it.
    return view->onSize (newSize) == kResultOk ? kResultTrue : kResultFalse;
}

tresult PLUGIN_API RawPlugFrame::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, IPlugFrame)
    QUERY_INTERFACE (targetIID, obj, IPlugFrame::iid, IPlugFrame)

    if (runLoop != nullptr && FUnknownPrivate::iidEqual (targetIID, Linux::IRunLoop::iid))
    {
        runLoop->addRef();
        *obj = static_cast<Linux::IRunLoop*> (runLoop);
        return kResultOk;
    }

    *obj = nullptr;
    return kNoInterface;
}
