#include "ProcessMemory.h"

#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <windows.h>

#include <psapi.h>
#endif

namespace
{
#if ! defined(_WIN32)
constexpr const char* statusFile = "/proc/self/status";
constexpr const char* clearRefsFile = "/proc/self/clear_refs";

/** A "Name:   1234 kB" line of the status file in MiB, or a negative number. */
double statusMiB (const char* name)
{
    auto* file = std::fopen (statusFile, "r");

    if (file == nullptr)
        return -1.0;

    char line[256];
    double result = -1.0;
    const auto nameLength = std::strlen (name);

    while (std::fgets (line, sizeof (line), file) != nullptr)
    {
        double kiB = 0.0;

        if (std::strncmp (line, name, nameLength) == 0 && line[nameLength] == ':' && std::sscanf (line + nameLength + 1, "%lf", &kiB) == 1)
        {
            result = kiB / 1024.0;
            break;
        }
    }

    std::fclose (file);
    return result;
}
#else
PROCESS_MEMORY_COUNTERS workingSet()
{
    PROCESS_MEMORY_COUNTERS counters {};
    counters.cb = sizeof (counters);
    GetProcessMemoryInfo (GetCurrentProcess(), &counters, sizeof (counters));
    return counters;
}
#endif
} // namespace

namespace ProcessMemory
{
#if defined(_WIN32)
double residentMiB()
{
    return double (workingSet().WorkingSetSize) / (1024.0 * 1024.0);
}
double peakMiB() { return double (workingSet().PeakWorkingSetSize) / (1024.0 * 1024.0); }
bool resetPeak() { return false; }
#else
double residentMiB()
{
    return statusMiB ("VmRSS");
}
double peakMiB() { return statusMiB ("VmHWM"); }

bool resetPeak()
{
    auto* file = std::fopen (clearRefsFile, "w");

    if (file == nullptr)
        return false;

    // "5" resets the peak resident size to the current one.
    const auto written = std::fputs ("5", file) >= 0;
    return std::fclose (file) == 0 && written;
}
#endif
} // namespace ProcessMemory
