#include "EditorHostWindow.h"

#include <windows.h>

using namespace Steinberg;

namespace
{
constexpr wchar_t windowClassName[] = L"PelorvaneEditorBenchWindow";

double nowInMilliseconds()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency (&frequency);
    QueryPerformanceCounter (&counter);
    return 1000.0 * double (counter.QuadPart) / double (frequency.QuadPart);
}

void dispatchPendingMessages()
{
    MSG message;

    while (PeekMessageW (&message, nullptr, 0, 0, PM_REMOVE))
    {
        TranslateMessage (&message);
        DispatchMessageW (&message);
    }
}

/** Paints the window and every child window now; returns once all of them have painted. */
void redrawWithChildren (HWND window)
{
    RedrawWindow (window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}
} // namespace

struct EditorHostWindow::Impl : public IPlugFrame
{
    HWND window = nullptr;
    int requestedWidth = 0, requestedHeight = 0;

    Impl()
    {
        WNDCLASSEXW windowClass {};
        windowClass.cbSize = sizeof (windowClass);
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW (nullptr);
        windowClass.hCursor = LoadCursor (nullptr, IDC_ARROW);
        windowClass.lpszClassName = windowClassName;
        RegisterClassExW (&windowClass);
    }

    ~Impl() { close(); }

    bool open (int width, int height)
    {
        window = CreateWindowExW (0, windowClassName, L"Pelorvane editor bench", WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr, GetModuleHandleW (nullptr), nullptr);

        if (window == nullptr)
            return false;

        ShowWindow (window, SW_SHOWNORMAL);
        return true;
    }

    void close()
    {
        if (window != nullptr)
            DestroyWindow (window);

        window = nullptr;
        dispatchPendingMessages();
    }

    tresult PLUGIN_API resizeView (IPlugView* view, ViewRect* newSize) override
    {
        if (newSize == nullptr)
            return kInvalidArgument;

        requestedWidth = newSize->getWidth();
        requestedHeight = newSize->getHeight();

        if (window != nullptr)
            SetWindowPos (window, nullptr, 0, 0, requestedWidth, requestedHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

        if (view != nullptr)
            view->onSize (newSize);

        return kResultTrue;
    }

    tresult PLUGIN_API queryInterface (const TUID iid, void** obj) override
    {
        if (FUnknownPrivate::iidEqual (iid, IPlugFrame::iid) || FUnknownPrivate::iidEqual (iid, FUnknown::iid))
        {
            *obj = static_cast<IPlugFrame*> (this);
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

bool EditorHostWindow::isUsable() const { return true; }
const char* EditorHostWindow::problem() const { return nullptr; }
bool EditorHostWindow::open (int width, int height) { return impl->open (width, height); }
void EditorHostWindow::close() { impl->close(); }
void* EditorHostWindow::nativeHandle() const { return impl->window; }
const char* EditorHostWindow::platformType() const { return kPlatformTypeHWND; }
const char* EditorHostWindow::redrawClock() { return "wall-clock time of RedrawWindow"; }
int EditorHostWindow::requestedWidth() const { return impl->requestedWidth; }
int EditorHostWindow::requestedHeight() const { return impl->requestedHeight; }

void EditorHostWindow::setFrameOf (IPlugView& view)
{
    impl->requestedWidth = impl->requestedHeight = 0;
    view.setFrame (impl.get());
}

bool EditorHostWindow::waitUntilDrawnWhole (double)
{
    // What attached posted (the view's window shown, sized), then a paint of everything.
    dispatchPendingMessages();
    redrawWithChildren (impl->window);
    return true;
}

double EditorHostWindow::timeFullRedraw()
{
    dispatchPendingMessages();
    const auto start = nowInMilliseconds();
    redrawWithChildren (impl->window);
    return nowInMilliseconds() - start;
}

void EditorHostWindow::runFor (double seconds)
{
    const auto end = nowInMilliseconds() + seconds * 1000.0;

    while (nowInMilliseconds() < end)
    {
        MsgWaitForMultipleObjects (0, nullptr, FALSE, 10, QS_ALLINPUT);
        dispatchPendingMessages();
    }
}
