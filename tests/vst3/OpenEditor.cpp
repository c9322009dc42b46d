#include "OpenEditor.h"

#include <X11/Xlib.h>

/** The host's window the editor view is embedded in. */
class OpenEditor::HostWindow
{
public:
    HostWindow (Display* displayToUse, int width, int height)
        : display (displayToUse)
    {
        const auto screen = DefaultScreen (display);
        window = XCreateSimpleWindow (display, RootWindow (display, screen), 0, 0,
                                      static_cast<unsigned> (width), static_cast<unsigned> (height), 0,
                                      BlackPixel (display, screen), BlackPixel (display, screen));
        XMapWindow (display, window);
        XFlush (display);
    }

    ~HostWindow()
    {
        XDestroyWindow (display, window);
        XFlush (display);
    }

    void* handle() const { return reinterpret_cast<void*> (window); }

private:
    Display* display;
    Window window;

    HostWindow (const HostWindow&) = delete;
    HostWindow& operator= (const HostWindow&) = delete;
};

OpenEditor::OpenEditor (RawAudioHost& host, RawPlugFrame& frame, Display* display)
    : view (host.createEditorView())
{
    if (view == nullptr)
        return;

    view->setFrame (&frame);

    if (display == nullptr)
        return;

    Steinberg::ViewRect size;

    if (view->getSize (&size) != Steinberg::kResultOk || size.getWidth() <= 0 || size.getHeight() <= 0)
        return;

    window = std::make_unique<HostWindow> (display, size.getWidth(), size.getHeight());
    attached = view->attached (window->handle(), Steinberg::kPlatformTypeX11EmbedWindowID) == Steinberg::kResultOk;
}

OpenEditor::~OpenEditor()
{
    if (view == nullptr)
        return;

    if (attached)
        view->removed();

    view->setFrame (nullptr);
    view->release();
    window.reset();
}
