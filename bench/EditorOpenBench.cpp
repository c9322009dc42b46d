// What opening the pedal window costs a host: the built VST3 module loaded through its factory (the
// raw host of tests/vst3), an instance created and processing, and its editor view asked for with
// IEditController::createView right away, as hosts do that open the window on insertion. Prints,
// at 100 % and 200 % (IPlugViewContentScaleSupport::setContentScaleFactor):
//
//   first open    createView, attached, until the view's window has been drawn whole (and
//                 the part of it each of the first two took)
//   reopen        the same after the window was closed and the host waited (default 7 s, longer
//                 than pictures kept by a time-out would stay)
//   full paint    what the module spends redrawing the whole window
//   memory        resident memory the open window holds and its peak while opening, from before
//                 createView and from before the instance was created
//
// Every run is a fresh process (this program started again with --child), so that each first
// open is the process's first. Plain VST3 interfaces only: the same program cross-built for
// Windows measures the Windows module under Wine. Not a test: it asserts nothing.
//
//   PelorvaneEditorBench [module] [--runs N] [--pause S] [--scale F] [--quick]

#include "EditorHostWindow.h"
#include "ProcessMemory.h"

#include "RawAudioHost.h"

#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#define popen _popen
#define pclose _pclose
#else
#include <time.h>
#include <unistd.h>
#endif

using namespace Steinberg;

namespace
{
using Clock = std::chrono::steady_clock;
using Figures = std::map<std::string, double>;

double millisecondsSince (Clock::time_point start)
{
    return std::chrono::duration<double, std::milli> (Clock::now() - start).count();
}

/** The processor time of the whole process, every thread of it: what opening costs the
    machine, whatever else runs on it. */
double processCpuMilliseconds()
{
#if defined(_WIN32)
    FILETIME created, exited, kernel, user;
    GetProcessTimes (GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [] (const FILETIME& t)
    { return (double (t.dwHighDateTime) * 4294967296.0 + double (t.dwLowDateTime)); };
    return (ticks (kernel) + ticks (user)) * 1.0e-4;
#else
    timespec t {};
    clock_gettime (CLOCK_PROCESS_CPUTIME_ID, &t);
    return double (t.tv_sec) * 1.0e3 + double (t.tv_nsec) * 1.0e-6;
#endif
}

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    const auto n = values.size();
    return n == 0 ? 0.0 : (n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]));
}

std::string defaultModule()
{
#ifdef PELORVANE_VST3_MODULE
    return PELORVANE_VST3_MODULE;
#else
    return {};
#endif
}

std::string thisProgram (const char* argv0)
{
#if defined(_WIN32)
    char path[MAX_PATH] {};
    GetModuleFileNameA (nullptr, path, MAX_PATH);
    return path;
#else
    char path[4096] {};
    const auto length = readlink ("/proc/self/exe", path, sizeof (path) - 1);
    return length > 0 ? std::string (path, size_t (length)) : std::string (argv0);
#endif
}

/** The view's content scale, as a host sets it on a high-resolution display. */
bool setContentScale (IPlugView& view, double scale)
{
    // IPlugViewContentScaleSupport's interface identifier.
    const TUID iid = INLINE_UID (0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
    void* object = nullptr;

    if (view.queryInterface (iid, &object) != kResultOk || object == nullptr)
        return false;

    auto* support = static_cast<IPlugViewContentScaleSupport*> (object);
    const auto result = support->setContentScaleFactor (float (scale));
    support->release();
    return result == kResultTrue;
}

/** One open of the editor: from createView until the window has been drawn whole. */
struct Opening
{
    IPlugView* view = nullptr;
    double createViewMs = 0.0, attachedMs = 0.0, hostWindowMs = 0.0, openMs = 0.0, openCpuMs = 0.0, residentBefore = 0.0;
    int width = 0, height = 0;
    bool drawn = false;
};

Opening openEditor (RawAudioHost& host, EditorHostWindow& window, double scale)
{
    Opening opening;
    ProcessMemory::resetPeak();
    opening.residentBefore = ProcessMemory::residentMiB();

    const auto start = Clock::now();
    const auto cpuStart = processCpuMilliseconds();
    opening.view = host.createEditorView();
    opening.createViewMs = millisecondsSince (start);

    if (opening.view == nullptr)
        return opening;

    window.setFrameOf (*opening.view);

    if (scale != 1.0)
        setContentScale (*opening.view, scale);

    ViewRect size;
    opening.view->getSize (&size);
    // The host's own window is made while the clock runs, but is not the plug-in's time.
    const auto makingHostWindow = Clock::now();
    window.open (size.getWidth(), size.getHeight());
    opening.hostWindowMs = millisecondsSince (makingHostWindow);
    const auto attaching = Clock::now();
    opening.view->attached (window.nativeHandle(), window.platformType());
    opening.attachedMs = millisecondsSince (attaching);

    // Again once attached, as hosts do that learn the display's scale from the window: on
    // Windows the view takes the window's own scale as it is attached, unless told otherwise.
    if (scale != 1.0)
        setContentScale (*opening.view, scale);

    opening.drawn = window.waitUntilDrawnWhole (20.0);
    opening.openMs = millisecondsSince (start) - opening.hostWindowMs;
    opening.openCpuMs = processCpuMilliseconds() - cpuStart;

    opening.width = window.requestedWidth() > 0 ? window.requestedWidth() : size.getWidth();
    opening.height = window.requestedHeight() > 0 ? window.requestedHeight() : size.getHeight();
    return opening;
}

void closeEditor (Opening& opening, EditorHostWindow& window)
{
    if (opening.view != nullptr)
    {
        opening.view->removed();
        opening.view->setFrame (nullptr);
        opening.view->release();
    }

    opening.view = nullptr;
    window.close();
}

double medianFullRedraw (EditorHostWindow& window, int count)
{
    std::vector<double> times;

    for (int i = 0; i < count; ++i)
    {
        const auto ms = window.timeFullRedraw();

        if (ms < 0.0)
            return -1.0;

        times.push_back (ms);
    }

    return median (times);
}

/** The measurements of one fresh process, printed as one line for the parent. */
int runChild (const std::string& modulePath, double scale, double pauseSeconds)
{
    EditorHostWindow window;

    if (! window.isUsable())
    {
        std::fprintf (stderr, "%s\n", window.problem());
        return 1;
    }

    ProcessMemory::resetPeak();
    const auto residentBeforeInstance = ProcessMemory::residentMiB();
    RawAudioHost host (modulePath, 48000.0, 256);

    if (! host.error().empty())
    {
        std::fprintf (stderr, "%s: %s\n", modulePath.c_str(), host.error().c_str());
        return 1;
    }

    Figures f;
    auto first = openEditor (host, window, scale);

    if (first.view == nullptr || ! first.drawn)
    {
        std::fprintf (stderr, first.view == nullptr ? "createView gave no view\n" : "the window was never drawn whole\n");
        closeEditor (first, window);
        return 1;
    }

    f["first"] = first.openMs;
    f["firstCpu"] = first.openCpuMs;
    f["createView"] = first.createViewMs;
    f["attached"] = first.attachedMs;
    f["windowHeld"] = ProcessMemory::residentMiB() - first.residentBefore;
    f["windowPeak"] = ProcessMemory::peakMiB() - first.residentBefore;
    f["instanceHeld"] = ProcessMemory::residentMiB() - residentBeforeInstance;
    f["instancePeak"] = ProcessMemory::peakMiB() - residentBeforeInstance;
    f["width"] = first.width;
    f["height"] = first.height;
    f["paint"] = medianFullRedraw (window, 15);
    closeEditor (first, window);

    window.runFor (pauseSeconds);

    auto second = openEditor (host, window, scale);

    if (second.view == nullptr || ! second.drawn)
    {
        std::fprintf (stderr, "the reopened window was never drawn whole\n");
        closeEditor (second, window);
        return 1;
    }

    f["reopen"] = second.openMs;
    f["reopenCpu"] = second.openCpuMs;
    f["reopenCreateView"] = second.createViewMs;
    f["reopenAttached"] = second.attachedMs;
    f["reopenPeak"] = ProcessMemory::peakMiB() - second.residentBefore;
    f["peakReset"] = ProcessMemory::resetPeak() ? 1.0 : 0.0;
    closeEditor (second, window);

    std::printf ("RESULT");

    for (const auto& [name, value] : f)
        std::printf (" %s=%.3f", name.c_str(), value);

    std::printf ("\n");
    return 0;
}

/** Runs this program again as a child and reads its one line of figures. */
bool runInFreshProcess (const std::string& program, const std::string& modulePath, double scale, double pauseSeconds, Figures& figures)
{
    std::ostringstream command;
    command << '"' << program << "\" --child " << scale << ' ' << pauseSeconds << " \"" << modulePath << '"';
#if defined(_WIN32)
    // cmd.exe takes the whole command line in quotes once more.
    const auto line = "\"" + command.str() + "\"";
#else
    const auto line = command.str();
#endif

    auto* pipe = popen (line.c_str(), "r");

    if (pipe == nullptr)
        return false;

    char buffer[4096];
    bool found = false;

    while (std::fgets (buffer, sizeof (buffer), pipe) != nullptr)
    {
        if (std::strncmp (buffer, "RESULT", 6) != 0)
            continue;

        std::istringstream fields (buffer + 6);
        std::string field;

        while (fields >> field)
        {
            const auto equals = field.find ('=');

            if (equals != std::string::npos)
                figures[field.substr (0, equals)] = std::atof (field.c_str() + equals + 1);
        }

        found = true;
    }

    return pclose (pipe) == 0 && found;
}

struct Row
{
    const char* key;
    const char* label;
    const char* format;
};

const Row rows[] = {
    { "first", "first open: createView to window drawn whole (ms)", "%.1f" },
    { "firstCpu", "  processor time of the process meanwhile (ms)", "%.1f" },
    { "createView", "  of which createView (ms)", "%.1f" },
    { "attached", "  of which attached (ms)", "%.1f" },
    { "reopen", "reopen after the pause (ms)", "%.1f" },
    { "reopenCpu", "  processor time of the process meanwhile (ms)", "%.1f" },
    { "reopenCreateView", "  of which createView (ms)", "%.1f" },
    { "reopenAttached", "  of which attached (ms)", "%.1f" },
    { "paint", "full paint (ms)", "%.2f" },
    { "windowHeld", "window: memory held (MiB)", "%.1f" },
    { "windowPeak", "window: peak while opening (MiB)", "%.1f" },
    { "instanceHeld", "instance + window: held (MiB)", "%.1f" },
    { "instancePeak", "instance + window: peak (MiB)", "%.1f" },
    { "reopenPeak", "reopen: peak while opening (MiB)", "%.1f" },
};

std::string summary (const std::vector<Figures>& runs, const Row& row)
{
    // A peak that cannot be started afresh is the whole process's by the time of the reopen.
    if (std::strcmp (row.key, "reopenPeak") == 0 && runs.front().at ("peakReset") == 0.0)
        return "n/a";

    std::vector<double> values;

    for (const auto& run : runs)
        values.push_back (run.at (row.key));

    const auto [low, high] = std::minmax_element (values.begin(), values.end());
    char text[128];
    std::string format = std::string (row.format) + " (" + row.format + " to " + row.format + ")";
    std::snprintf (text, sizeof (text), format.c_str(), median (values), *low, *high);
    return text;
}

int usage (const char* program, bool asked = false)
{
    std::fprintf (asked ? stdout : stderr,
                  "usage: %s [module] [--runs N] [--pause S] [--scale F] [--quick]\n"
                  "Times opening the editor of a Pelorvane VST3 module through IEditController::createView.\n"
                  "  module   the module's binary (default: the one this build made)\n"
                  "  --runs   fresh processes per scale (default 3)\n"
                  "  --pause  seconds between closing and reopening the window (default 7)\n"
                  "  --scale  this content scale only (default: 1 and 2)\n"
                  "  --quick  one run at 100 %% with a short pause, to see that it works\n",
                  program);
    return asked ? 0 : 2;
}
} // namespace

int main (int argc, char** argv)
{
    std::string modulePath = defaultModule();
    int runs = 3;
    double pauseSeconds = 7.0;
    std::vector<double> scales { 1.0, 2.0 };

    if (argc == 5 && std::strcmp (argv[1], "--child") == 0)
        return runChild (argv[4], std::atof (argv[2]), std::atof (argv[3]));

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];

        if (arg == "--help" || arg == "-h")
            return usage (argv[0], true);

        if (arg == "--runs" && i + 1 < argc)
            runs = std::max (1, std::atoi (argv[++i]));
        else if (arg == "--pause" && i + 1 < argc)
            pauseSeconds = std::max (0.0, std::atof (argv[++i]));
        else if (arg == "--scale" && i + 1 < argc)
            scales = { std::max (0.5, std::atof (argv[++i])) };
        else if (arg == "--quick")
        {
            runs = 1;
            pauseSeconds = 0.5;
            scales = { 1.0 };
        }
        else if (! arg.empty() && arg[0] != '-')
            modulePath = arg;
        else
            return usage (argv[0]);
    }

    if (modulePath.empty())
        return usage (argv[0]);

    const auto program = thisProgram (argv[0]);
    std::vector<std::vector<Figures>> results;

    for (const auto scale : scales)
    {
        results.emplace_back();

        for (int run = 0; run < runs; ++run)
        {
            Figures figures;

            if (! runInFreshProcess (program, modulePath, scale, pauseSeconds, figures))
            {
                std::fprintf (stderr, "run %d at scale %g failed\n", run + 1, scale);
                return 1;
            }

            results.back().push_back (figures);
        }
    }

    std::printf ("\nThe editor of %s through IEditController::createView\n", modulePath.c_str());
    std::printf ("right after the instance is created; median of %d fresh processes (min to max); reopened after %.1f s\n", runs, pauseSeconds);

    std::printf ("times: wall clock without the host making its own window, and the processor time of all the process's threads; full paint: %s\n", EditorHostWindow::redrawClock());

    if (results.front().front().at ("peakReset") == 0.0)
        std::printf ("peaks: the process's own since it started (this system cannot start them afresh)\n");

    std::printf ("\n%-52s", "");

    for (size_t s = 0; s < scales.size(); ++s)
    {
        char heading[64];
        const auto& first = results[s].front();
        std::snprintf (heading, sizeof (heading), "%.0f %% (%.0f x %.0f)", scales[s] * 100.0, first.at ("width"), first.at ("height"));
        std::printf ("%-30s", heading);
    }

    std::printf ("\n");

    for (const auto& row : rows)
    {
        std::printf ("%-52s", row.label);

        for (const auto& scaleRuns : results)
            std::printf ("%-30s", summary (scaleRuns, row).c_str());

        std::printf ("\n");
    }

    return 0;
}
