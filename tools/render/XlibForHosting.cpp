#include "render/XlibForHosting.h"

#include <cstdio>
#include <dlfcn.h>

namespace
{
// Xlib's types stay opaque here so that its macros never meet the framework's names.
using ErrorHandler = int (*) (void* display, void* event);
using IOErrorHandler = int (*) (void* display);

int ignoreProtocolError (void*, void*)
{
    return 0;
}

int reportLostDisplay (void*)
{
    std::fputs ("pelorvane-render: error: lost the connection to the X display\n", stderr);
    return 0; // Xlib ends the process after this returns
}
} // namespace

void XlibForHosting::prepare()
{
    static bool prepared = false;

    if (prepared)
        return;

    prepared = true;

    // Loaded by name, as the framework itself does, so the tool has no link-time X dependency.
    auto* xlib = dlopen ("libX11.so.6", RTLD_NOW | RTLD_GLOBAL);

    if (xlib == nullptr)
        return;

    auto* initThreads = reinterpret_cast<int (*)()> (dlsym (xlib, "XInitThreads"));
    auto* setErrorHandler = reinterpret_cast<ErrorHandler (*) (ErrorHandler)> (dlsym (xlib, "XSetErrorHandler"));
    auto* setIOErrorHandler = reinterpret_cast<IOErrorHandler (*) (IOErrorHandler)> (dlsym (xlib, "XSetIOErrorHandler"));

    if (initThreads != nullptr)
        initThreads();

    if (setErrorHandler != nullptr)
        setErrorHandler (ignoreProtocolError);

    if (setIOErrorHandler != nullptr)
        setIOErrorHandler (reportLostDisplay);
}
