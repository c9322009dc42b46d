// A Windows host process that faults after the module has made an instance must leave a crash
// log under %APPDATA%\Ombrix Audio\Pelorvane\Crash Logs, and the filter the host had set
// before loading the module must still run, after ours: for an access violation, and for a
// stack overflow, where the faulting thread has no stack left to write a log with.
//
// Usage: PelorvaneCrashLogCheck <path to the module>
// (it runs itself as the faulting host: PelorvaneCrashLogCheck host <fault> <module> <marker file>)

#include "CheckReport.h"
#include "RawAudioHost.h"

#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace
{
constexpr DWORD accessViolation = 0xC0000005;
constexpr DWORD stackOverflow = 0xC00000FD;
constexpr DWORD recoverable = 0xE0000001;

std::wstring widen (const std::string& text)
{
    const auto length = MultiByteToWideChar (CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide (static_cast<size_t> (length > 0 ? length : 1), L'\0');
    MultiByteToWideChar (CP_UTF8, 0, text.c_str(), -1, wide.data(), length);
    wide.resize (wide.size() - 1);
    return wide;
}

std::string narrow (const std::wstring& text)
{
    const auto length = WideCharToMultiByte (CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result (static_cast<size_t> (length > 0 ? length : 1), '\0');
    WideCharToMultiByte (CP_UTF8, 0, text.c_str(), -1, result.data(), length, nullptr, nullptr);
    result.resize (result.size() - 1);
    return result;
}

std::wstring logFolder()
{
    wchar_t appData[MAX_PATH] = {};
    GetEnvironmentVariableW (L"APPDATA", appData, MAX_PATH);
    return std::wstring (appData) + L"\\Ombrix Audio\\Pelorvane\\Crash Logs";
}

std::set<std::wstring> crashLogs()
{
    std::set<std::wstring> names;
    WIN32_FIND_DATAW found;
    const auto search = FindFirstFileW ((logFolder() + L"\\Crash *.txt").c_str(), &found);

    if (search == INVALID_HANDLE_VALUE)
        return names;

    do
        names.insert (found.cFileName);
    while (FindNextFileW (search, &found));

    FindClose (search);
    return names;
}

std::string readFile (const std::wstring& path)
{
    std::ifstream file (path.c_str(), std::ios::binary);
    return { std::istreambuf_iterator<char> (file), std::istreambuf_iterator<char>() };
}

//==============================================================================
// The faulting host.

std::wstring markerPath;

// The host's own filter, set before the module is loaded: it notes the fault and how many crash
// logs existed by the time it ran.
void noteFault (const std::wstring& path, const EXCEPTION_POINTERS* pointers)
{
    if (FILE* marker = _wfopen (path.c_str(), L"wb"))
    {
        std::fprintf (marker, "0x%lx %zu\n", static_cast<unsigned long> (pointers->ExceptionRecord->ExceptionCode), crashLogs().size());
        std::fclose (marker);
    }
}

LONG WINAPI earlierFilter (EXCEPTION_POINTERS* pointers)
{
    // A host that knows how to go on after this one.
    if (pointers->ExceptionRecord->ExceptionCode == recoverable)
    {
        noteFault (markerPath + L".recovered", pointers);
        return EXCEPTION_CONTINUE_EXECUTION;
    }

    noteFault (markerPath, pointers);
    return EXCEPTION_EXECUTE_HANDLER;
}

// A filter the host sets between two instances, passing faults on to the one it found: ours.
LPTOP_LEVEL_EXCEPTION_FILTER foundByLaterFilter = nullptr;

LONG WINAPI laterFilter (EXCEPTION_POINTERS* pointers)
{
    noteFault (markerPath + L".later", pointers);
    return foundByLaterFilter (pointers);
}

volatile bool stopRecursing = false;

int recurseForever (int depth)
{
    volatile char frame[4096];
    frame[0] = static_cast<char> (depth);
    return stopRecursing ? 0 : recurseForever (depth + 1) + frame[0];
}

int runFaultingHost (const std::string& fault, const std::string& modulePath, const std::string& marker)
{
    markerPath = widen (marker);
    SetUnhandledExceptionFilter (earlierFilter);

    RawAudioHost host (modulePath, 48000.0, 256);

    if (! host.error().empty())
    {
        std::fprintf (stderr, "cannot host the module: %s\n", host.error().c_str());
        return 3;
    }

    if (fault == "overflow")
        return recurseForever (0);

    if (fault == "recovered")
        RaiseException (recoverable, 0, 0, nullptr);

    if (fault == "chained")
    {
        foundByLaterFilter = SetUnhandledExceptionFilter (laterFilter);
        RawAudioHost second (modulePath, 48000.0, 256);
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }

    volatile int* volatile nowhere = nullptr;
    *nowhere = 1;

    return 4;
}

//==============================================================================
// The checking side.

DWORD runChild (const std::wstring& commandLine)
{
    STARTUPINFOW startup {};
    startup.cb = sizeof (startup);
    PROCESS_INFORMATION process {};
    std::wstring mutableLine = commandLine;

    if (! CreateProcessW (nullptr, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    {
        std::printf ("  cannot start the host process: error %lu\n", GetLastError());
        return 0xFFFFFFFF;
    }

    WaitForSingleObject (process.hProcess, 60000);
    DWORD exitCode = 0xFFFFFFFF;
    GetExitCodeProcess (process.hProcess, &exitCode);
    CloseHandle (process.hThread);
    CloseHandle (process.hProcess);
    return exitCode;
}

bool hasOnlyCrLfLineEnds (const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            return false;

    return true;
}

bool isTimeStampedName (const std::wstring& name)
{
    // "Crash YYYY-MM-DD HH-MM-SS.txt", optionally with "(n)" before ".txt"
    const std::wstring pattern = L"Crash dddd-dd-dd dd-dd-dd";

    if (name.size() < pattern.size() + 4 || name.compare (name.size() - 4, 4, L".txt") != 0)
        return false;

    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] == L'd' ? ! iswdigit (name[i]) : name[i] != pattern[i])
            return false;

    return true;
}

std::string hex (DWORD code)
{
    char text[16];
    std::snprintf (text, sizeof (text), "0x%lx", static_cast<unsigned long> (code));
    return text;
}

// The log must name one of the codes given; both are the same unless two faults were logged.
void checkLog (const std::wstring& name, DWORD code, DWORD otherCode)
{
    const auto text = readFile (logFolder() + L"\\" + name);
    const auto startsWith = [&text] (DWORD c)
    {
        const auto start = "Exception " + hex (c) + "\r\n------\r\n";
        return text.compare (0, start.size(), start) == 0;
    };

    size_t lines = 0;

    for (auto c : text)
        lines += c == '\n' ? 1 : 0;

    std::printf ("  log \"%s\": %zu bytes, %zu lines\n", narrow (name).c_str(), text.size(), lines);
    check (isTimeStampedName (name), "the log is named after the local time of the fault");
    check (startsWith (code) || startsWith (otherCode),
           "the log starts with \"Exception " + hex (code) + "\" and \"------\": " + text.substr (0, 60));
    check (hasOnlyCrLfLineEnds (text), "every line of the log ends with CR LF");
}

void checkEarlierFilter (const std::wstring& marker, size_t logsBefore, DWORD expectedCode)
{
    const auto text = readFile (marker);
    unsigned long code = 0;
    size_t logsSeen = 0;
    const auto parsed = std::sscanf (text.c_str(), "0x%lx %zu", &code, &logsSeen) == 2;

    check (parsed, "the host's earlier filter ran");
    checkNumber (code, expectedCode, "the exception code the earlier filter saw");
    check (logsSeen > logsBefore, "the earlier filter ran after the crash log was written");
}

void checkFault (const std::string& fault, DWORD expectedCode, const std::string& modulePath)
{
    section (fault.c_str());

    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW (nullptr, self, MAX_PATH);
    wchar_t tempFolder[MAX_PATH] = {};
    GetTempPathW (MAX_PATH, tempFolder);
    const auto marker = std::wstring (tempFolder) + L"pelorvane-earlier-filter-" + std::to_wstring (GetCurrentProcessId()) + L".txt";
    DeleteFileW (marker.c_str());

    const auto before = crashLogs();
    const auto exitCode = runChild (L"\"" + std::wstring (self) + L"\" host " + widen (fault) + L" \"" + widen (modulePath) + L"\" \"" + marker + L"\"");
    const auto after = crashLogs();

    checkNumber (exitCode, expectedCode, "the host process ends with the fault's code");

    std::set<std::wstring> added;

    for (const auto& name : after)
        if (before.count (name) == 0)
            added.insert (name);

    // After a fault the host recovered from, the next one is logged too.
    const bool recovered = fault == "recovered";
    checkNumber (static_cast<long long> (added.size()), recovered ? 2 : 1, "new crash logs in " + narrow (logFolder()));

    for (const auto& name : added)
        checkLog (name, expectedCode, recovered ? recoverable : expectedCode);

    if (recovered)
    {
        checkEarlierFilter (marker + L".recovered", before.size(), recoverable);
        DeleteFileW ((marker + L".recovered").c_str());
    }

    checkEarlierFilter (marker, before.size(), expectedCode);
    DeleteFileW (marker.c_str());

    // The filter set between two instances ran first and passed the fault back to ours, which
    // went on to the earlier one rather than to itself.
    if (fault == "chained")
    {
        checkEarlierFilter (marker + L".later", before.size(), expectedCode);
        DeleteFileW ((marker + L".later").c_str());
    }
}

int runCheck (const std::string& modulePath)
{
    checkFault ("access-violation", accessViolation, modulePath);
    checkFault ("overflow", stackOverflow, modulePath);
    checkFault ("chained", accessViolation, modulePath);
    checkFault ("recovered", accessViolation, modulePath);
    return finishReport();
}
} // namespace

int main (int argc, char** argv)
{
    if (argc == 5 && std::string (argv[1]) == "host")
        return runFaultingHost (argv[2], argv[3], argv[4]);

    if (argc == 2)
        return runCheck (argv[1]);

    std::fprintf (stderr, "usage: %s <path to the module>\n", argv[0]);
    return 2;
}
