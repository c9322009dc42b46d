#include "X11HostSetup.h"

#include <X11/Xlib.h>

#include <cstdlib>

namespace
{
// A plug-in's window requests can fail against a virtual display; that must not end the host.
int ignoreXError (Display*, XErrorEvent*)
{
    return 0;
}

int ignoreXIOError (Display*)
{
    return 0;
}
} // namespace

void prepareX11ForHosting()
{
    static const bool prepared = []
    {
        XInitThreads();
        XSetErrorHandler (ignoreXError);
        XSetIOErrorHandler (ignoreXIOError);
        return true;
    }();

    (void) prepared;
}

Display* openHostDisplay()
{
    if (std::getenv ("DISPLAY") == nullptr)
        return nullptr;

    prepareX11ForHosting();
    return XOpenDisplay (nullptr);
}

void closeHostDisplay (Display* display)
{
    if (display != nullptr)
        XCloseDisplay (display);
}
