#include "EditorHostWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <poll.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

using namespace Steinberg;

namespace
{
using Clock = std::chrono::steady_clock;

double millisecondsSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

/** This thread's processor time: on a shared machine, the time other processes had the core
    does not count. */
double threadCpuMilliseconds()
{
    timespec t {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return double (t.tv_sec) * 1.0e3 + double (t.tv_nsec) * 1.0e-6;
}
} // namespace

/** The frame the view gets: resize requests and, as every Linux host must offer, a run loop. */
struct EditorHostWindow::Impl : public IPlugFrame,
                                public Linux::IRunLoop
{
    Display* display = XOpenDisplay (nullptr);
    int damageEventBase = 0;
    Window window = 0;
    Window viewWindow = 0;
    Damage damage = 0;
    Region drawn = nullptr;
    int width = 0, height = 0;
    int requestedWidth = 0, requestedHeight = 0;
    IPlugView* view = nullptr;
    const char* problem = nullptr;

    struct FdHandler
    {
        Linux::IEventHandler* handler;
        int fd;
    };

    struct TimerHandler
    {
        Linux::ITimerHandler* handler;
        std::chrono::milliseconds interval;
        Clock::time_point due;
    };

    std::vector<FdHandler> fdHandlers;
    std::vector<TimerHandler> timers;

    // Time spent inside the module's callbacks since the last reset.
    double moduleMilliseconds = 0.0;

    Impl()
    {
        int errorBase = 0;

        if (display == nullptr)
            problem = "no X display (run under xvfb-run)";
        else if (! XDamageQueryExtension (display, &damageEventBase, &errorBase))
            problem = "the X server has no DAMAGE extension";
        else
            createWindowManagerAtoms();
    }

    ~Impl()
    {
        close();

        if (display != nullptr)
            XCloseDisplay (display);
    }

    /** The framework's windows use the window manager's atoms without creating them; on a
        server without a window manager nobody has, and a window's setup would fail. This
        connection stays open while the module's windows come and go, so the atoms stay. */
    void createWindowManagerAtoms()
    {
        for (const auto* name : { "WM_PROTOCOLS", "WM_TAKE_FOCUS", "WM_DELETE_WINDOW", "WM_CHANGE_STATE", "WM_STATE", "_NET_WM_PING", "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_FRAME_EXTENTS" })
            XInternAtom (display, name, False);

        XSync (display, False);
    }

    bool open (int w, int h)
    {
        width = w;
        height = h;
        const auto screen = DefaultScreen (display);
        window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0, (unsigned) w, (unsigned) h, 0, BlackPixel (display, screen), BlackPixel (display, screen));
        XStoreName (display, window, "Pelorvane editor bench");
        XMapRaised (display, window);
        XSync (display, False);
        return window != 0;
    }

    void close()
    {
        stopWatching();

        if (window != 0)
        {
            XDestroyWindow (display, window);
            XSync (display, False);
            window = 0;
        }
    }

    void stopWatching()
    {
        // The server drops a window's damage object with the window, which the view destroyed
        // as it was removed.
        if (drawn != nullptr)
            XDestroyRegion (drawn);

        damage = 0;
        drawn = nullptr;
        viewWindow = 0;
    }

    /** The view's own X window, made inside ours by attached. */
    bool watchViewWindow()
    {
        if (viewWindow != 0)
            return true;

        XSync (display, False);
        Window root = 0, parent = 0, *children = nullptr;
        unsigned int count = 0;

        if (XQueryTree (display, window, &root, &parent, &children, &count) == 0 || count == 0)
            return false;

        viewWindow = children[count - 1];
        XFree (children);
        damage = XDamageCreate (display, viewWindow, XDamageReportRawRectangles);
        drawn = XCreateRegion();
        return true;
    }

    void forgetWhatWasDrawn()
    {
        if (drawn != nullptr)
            XDestroyRegion (drawn);

        drawn = XCreateRegion();
    }

    bool drawnWhole() const
    {
        return drawn != nullptr && XRectInRegion (drawn, 0, 0, (unsigned) width, (unsigned) height) == RectangleIn;
    }

    void readOwnEvents()
    {
        while (XPending (display) > 0)
        {
            XEvent event;
            XNextEvent (display, &event);

            if (event.type == damageEventBase + XDamageNotify && drawn != nullptr)
            {
                auto area = reinterpret_cast<XDamageNotifyEvent&> (event).area;
                XUnionRectWithRegion (&area, drawn, drawn);
            }
        }
    }

    /** One turn of the loop: waits at most maxWait for a descriptor or a timer, then calls them. */
    void runOnce (std::chrono::milliseconds maxWait)
    {
        auto wait = maxWait;
        const auto now = Clock::now();

        for (const auto& timer : timers)
            wait = std::min (wait, std::max (std::chrono::milliseconds (0), std::chrono::duration_cast<std::chrono::milliseconds> (timer.due - now)));

        std::vector<pollfd> fds;
        fds.push_back ({ ConnectionNumber (display), POLLIN, 0 });

        for (const auto& h : fdHandlers)
            fds.push_back ({ h.fd, POLLIN, 0 });

        poll (fds.data(), fds.size(), (int) wait.count());
        readOwnEvents();

        // Callbacks may register or unregister handlers: work from copies and check again.
        const auto handlers = fdHandlers;

        for (size_t i = 1; i < fds.size(); ++i)
            if ((fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0 && isRegistered (handlers[i - 1]))
                callModule ([&]
                            { handlers[i - 1].handler->onFDIsSet (handlers[i - 1].fd); });

        const auto dueTimers = timers;

        for (const auto& timer : dueTimers)
        {
            if (timer.due > Clock::now())
                continue;

            for (auto& t : timers)
                if (t.handler == timer.handler)
                    t.due = Clock::now() + t.interval;

            callModule ([&]
                        { timer.handler->onTimer(); });
        }

        readOwnEvents();
    }

    template <typename Call>
    void callModule (Call&& call)
    {
        const auto start = threadCpuMilliseconds();
        call();
        moduleMilliseconds += threadCpuMilliseconds() - start;
    }

    bool isRegistered (const FdHandler& h) const
    {
        return std::any_of (fdHandlers.begin(), fdHandlers.end(), [&] (const FdHandler& r)
                            { return r.handler == h.handler && r.fd == h.fd; });
    }

    bool runUntilDrawnWhole (double timeoutSeconds)
    {
        const auto start = Clock::now();

        while (! drawnWhole())
        {
            if (millisecondsSince (start) > timeoutSeconds * 1000.0)
                return false;

            if (! watchViewWindow())
            {
                runOnce (std::chrono::milliseconds (1));
                continue;
            }

            runOnce (std::chrono::milliseconds (5));
        }

        return true;
    }

    //==============================================================================
    tresult PLUGIN_API resizeView (IPlugView* v, ViewRect* newSize) override
    {
        if (newSize == nullptr)
            return kInvalidArgument;

        requestedWidth = newSize->getWidth();
        requestedHeight = newSize->getHeight();
        width = requestedWidth;
        height = requestedHeight;

        if (window != 0)
            XResizeWindow (display, window, (unsigned) width, (unsigned) height);

        if (v != nullptr)
            v->onSize (newSize);

        return kResultTrue;
    }

    tresult PLUGIN_API registerEventHandler (Linux::IEventHandler* handler, Linux::FileDescriptor fd) override
    {
        fdHandlers.push_back ({ handler, fd });
        return kResultTrue;
    }

    tresult PLUGIN_API unregisterEventHandler (Linux::IEventHandler* handler) override
    {
        fdHandlers.erase (std::remove_if (fdHandlers.begin(), fdHandlers.end(), [handler] (const FdHandler& h)
                                          { return h.handler == handler; }),
                          fdHandlers.end());
        return kResultTrue;
    }

    tresult PLUGIN_API registerTimer (Linux::ITimerHandler* handler, Linux::TimerInterval milliseconds) override
    {
        const auto interval = std::chrono::milliseconds (std::max<Linux::TimerInterval> (1, milliseconds));
        timers.push_back ({ handler, interval, Clock::now() + interval });
        return kResultTrue;
    }

    tresult PLUGIN_API unregisterTimer (Linux::ITimerHandler* handler) override
    {
        timers.erase (std::remove_if (timers.begin(), timers.end(), [handler] (const TimerHandler& t)
                                      { return t.handler == handler; }),
                      timers.end());
        return kResultTrue;
    }

    tresult PLUGIN_API queryInterface (const TUID iid, void** obj) override
    {
        if (FUnknownPrivate::iidEqual (iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual (iid, FUnknown::iid))
        {
            *obj = static_cast<IPlugFrame*> (this);
            return kResultOk;
        }

        if (FUnknownPrivate::iidEqual (iid, Linux::IRunLoop::iid))
        {
            *obj = static_cast<Linux::IRunLoop*> (this);
            return kResultOk;
        }

        *obj = nullptr;
        return kNoInterface;
    }

    // Lives as long as the host window: reference counting is a no-op.
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

EditorHostWindow::EditorHostWindow()
    : impl (std::make_unique<Impl>())
{
}

EditorHostWindow::~EditorHostWindow() = default;

bool EditorHostWindow::isUsable() const { return impl->problem == nullptr; }
const char* EditorHostWindow::problem() const { return impl->problem; }
bool EditorHostWindow::open (int width, int height) { return impl->open (width, height); }
void EditorHostWindow::close() { impl->close(); }
void* EditorHostWindow::nativeHandle() const { return reinterpret_cast<void*> (impl->window); }
const char* EditorHostWindow::platformType() const { return kPlatformTypeX11EmbedWindowID; }
const char* EditorHostWindow::redrawClock() { return "processor time of the module's event callbacks"; }
int EditorHostWindow::requestedWidth() const { return impl->requestedWidth; }
int EditorHostWindow::requestedHeight() const { return impl->requestedHeight; }

void EditorHostWindow::setFrameOf (IPlugView& view)
{
    impl->view = &view;
    impl->requestedWidth = impl->requestedHeight = 0;
    view.setFrame (impl.get());
}

bool EditorHostWindow::waitUntilDrawnWhole (double timeoutSeconds)
{
    return impl->runUntilDrawnWhole (timeoutSeconds);
}

double EditorHostWindow::timeFullRedraw()
{
    if (! impl->watchViewWindow())
        return -1.0;

    // Settle first, so that no earlier drawing counts.
    impl->runOnce (std::chrono::milliseconds (0));
    impl->forgetWhatWasDrawn();
    impl->moduleMilliseconds = 0.0;

    // An exposure of the whole view window, as when another window stops covering it.
    XClearArea (impl->display, impl->viewWindow, 0, 0, 0, 0, True);
    XFlush (impl->display);

    if (! impl->runUntilDrawnWhole (5.0))
        return -1.0;

    return impl->moduleMilliseconds;
}

void EditorHostWindow::runFor (double seconds)
{
    const auto start = Clock::now();

    while (millisecondsSince (start) < seconds * 1000.0)
        impl->runOnce (std::chrono::milliseconds (10));
}
