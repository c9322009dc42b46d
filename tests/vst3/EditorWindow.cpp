#include "EditorWindow.h"

#include "CheckReport.h"
#include "RawAudioHost.h"
#include "RawHostFixtures.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <string>

namespace
{
constexpr DWORD readyAfterMs = 1000;
constexpr DWORD giveUpAfterMs = 120000;
constexpr wchar_t windowClassName[] = L"PelorvaneEditorWindowCheck";
constexpr wchar_t windowTitle[] = L"Pelorvane editor under Wine";

bool fileExists (const std::string& path)
{
    return GetFileAttributesA (path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HWND createHostWindow (int width, int height)
{
    WNDCLASSEXW windowClass {};
    windowClass.cbSize = sizeof (windowClass);
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW (nullptr);
    windowClass.hCursor = LoadCursor (nullptr, IDC_ARROW);
    windowClass.lpszClassName = windowClassName;
    RegisterClassExW (&windowClass);

    return CreateWindowExW (0, windowClassName, windowTitle, WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height, nullptr, nullptr, windowClass.hInstance, nullptr);
}

/** Dispatches the thread's messages until `done` says so. */
template <typename Done>
void pumpMessagesUntil (Done done)
{
    while (! done())
    {
        MsgWaitForMultipleObjects (0, nullptr, FALSE, 10, QS_ALLINPUT);

        MSG message;

        while (PeekMessageW (&message, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage (&message);
            DispatchMessageW (&message);
        }
    }
}
} // namespace

int showEditorInWindow (const std::string& modulePath, const std::string& controlFolder)
{
    section ("editor in a window");

    RawAudioHost host (modulePath, 48000.0, 256);
    check (host.error().empty(), "the module is hosted: " + host.error());

    if (! host.error().empty())
        return finishReport();

    auto* view = host.createEditorView();
    check (view != nullptr, "the controller creates its editor view");

    if (view == nullptr)
        return finishReport();

    check (view->isPlatformTypeSupported (Steinberg::kPlatformTypeHWND) == Steinberg::kResultTrue, "the view takes a window handle");

    Steinberg::ViewRect size;
    check (view->getSize (&size) == Steinberg::kResultOk, "the view tells its size");
    std::printf ("  editor %d x %d\n", size.getWidth(), size.getHeight());

    const auto window = createHostWindow (size.getWidth(), size.getHeight());
    check (window != nullptr, "the host window is created");

    if (window == nullptr)
    {
        view->release();
        return finishReport();
    }

    check (view->attached (window, Steinberg::kPlatformTypeHWND) == Steinberg::kResultOk, "the view attaches to the window");
    ShowWindow (window, SW_SHOWNORMAL);
    UpdateWindow (window);

    const auto start = GetTickCount64();
    const auto elapsed = [start]
    { return GetTickCount64() - start; };

    pumpMessagesUntil ([&]
                       { return elapsed() >= readyAfterMs; });
    std::ofstream (controlFolder + "/ready") << "ready\n";
    std::fflush (stdout);

    pumpMessagesUntil ([&]
                       { return fileExists (controlFolder + "/quit") || elapsed() >= giveUpAfterMs; });
    check (fileExists (controlFolder + "/quit"), "told to close within two minutes");

    std::printf ("  Bypass %.6f\n  Space %.6f\n",
                 host.parameterValue (RawHostParameters::bypass),
                 host.parameterValue (RawHostParameters::space));

    check (view->removed() == Steinberg::kResultOk, "the view detaches");
    view->release();
    DestroyWindow (window);

    return finishReport();
}
