#include "crash/CrashLog.h"

#include "processor/PluginConstants.h"

#include <csignal>
#include <cstring>

#if JUCE_WINDOWS
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// DbgHelp's declarations build on windows.h's.
#include <dbghelp.h>
#else
#include <cerrno>
#include <ctime>
#include <dlfcn.h>
#include <elf.h>
#include <execinfo.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace
{
struct SignalName
{
    int number;
    const char* name;
};

const SignalName signalNames[] = {
    { SIGILL, "SIGILL" },
    { SIGABRT, "SIGABRT" },
    { SIGFPE, "SIGFPE" },
    { SIGSEGV, "SIGSEGV" },
#if ! JUCE_WINDOWS
    { SIGBUS, "SIGBUS" },
    { SIGSYS, "SIGSYS" },
    { SIGTRAP, "SIGTRAP" },
#endif
};

constexpr int maxFrames = 128;

// Everything prepare() works out ahead of a fault.
struct Prepared
{
    bool ready = false;
    char folder[4096] = {};
    CrashLog::Line buildLine;
#if ! JUCE_WINDOWS
    long utcOffsetSeconds = 0;
#endif
};

Prepared prepared;

// Filled inside a fault; only one fault is logged at a time.
FixedText<maxFrames * 512> frameText;
CrashLog::Line faultLine;

//==============================================================================
// Files, through the system's own calls only.

#if JUCE_WINDOWS
using FileHandle = HANDLE;
const FileHandle noFile = INVALID_HANDLE_VALUE;

// Text in the prepared UTF-8 folder's terms, widened for the system without the heap.
bool widen (const char* text, wchar_t* wide, int capacity)
{
    return MultiByteToWideChar (CP_UTF8, 0, text, -1, wide, capacity) > 0;
}

void createFolders (wchar_t* path)
{
    for (auto* p = path; *p != L'\0'; ++p)
    {
        if ((*p == L'\\' || *p == L'/') && p != path && p[-1] != L':')
        {
            const auto separator = *p;
            *p = L'\0';
            CreateDirectoryW (path, nullptr);
            *p = separator;
        }
    }

    CreateDirectoryW (path, nullptr);
}

FileHandle createNewFile (const char* folder, const char* name, bool& nameTaken)
{
    static wchar_t path[8192];
    CrashLog::Line full;
    full << folder << "\\" << name;

    if (! widen (folder, path, 8192))
        return noFile;

    createFolders (path);

    if (! widen (full.data(), path, 8192))
        return noFile;

    const auto file = CreateFileW (path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    nameTaken = file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS;
    return file;
}

bool writeBytes (FileHandle file, const char* data, size_t size)
{
    DWORD written = 0;
    return WriteFile (file, data, static_cast<DWORD> (size), &written, nullptr) && written == size;
}

void closeFile (FileHandle file)
{
    CloseHandle (file);
}
#else
using FileHandle = int;
const FileHandle noFile = -1;

void createFolders (char* path)
{
    for (auto* p = path + 1; *p != '\0'; ++p)
    {
        if (*p == '/')
        {
            *p = '\0';
            mkdir (path, 0755);
            *p = '/';
        }
    }

    mkdir (path, 0755);
}

FileHandle createNewFile (const char* folder, const char* name, bool& nameTaken)
{
    static char path[8192];
    FixedText<sizeof (path)> full;
    full << folder;

    for (size_t i = 0; i <= full.size(); ++i)
        path[i] = full.data()[i];

    createFolders (path);
    full << "/" << name;

    const auto file = open (full.data(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    nameTaken = file < 0 && errno == EEXIST;
    return file;
}

bool writeBytes (FileHandle file, const char* data, size_t size)
{
    while (size > 0)
    {
        const auto written = write (file, data, size);

        if (written < 0 && errno == EINTR)
            continue;

        if (written <= 0)
            return false;

        data += written;
        size -= static_cast<size_t> (written);
    }

    return true;
}

void closeFile (FileHandle file)
{
    close (file);
}
#endif

/** Writes text with every line ended by CR LF: a "\n" not after a "\r" becomes "\r\n". */
class CrLfWriter
{
public:
    explicit CrLfWriter (FileHandle fileToWrite)
        : file (fileToWrite) {}

    CrLfWriter& operator<< (const char* text)
    {
        for (; ok && text != nullptr && *text != '\0'; ++text)
        {
            if (*text == '\n' && previous != '\r')
                put ('\r');

            put (*text);
        }

        return *this;
    }

    bool finish()
    {
        flush();
        return ok;
    }

private:
    void put (char c)
    {
        if (used == sizeof (buffer))
            flush();

        buffer[used++] = c;
        previous = c;
    }

    void flush()
    {
        ok = ok && writeBytes (file, buffer, used);
        used = 0;
    }

    FileHandle file;
    char buffer[4096];
    size_t used = 0;
    char previous = '\0';
    bool ok = true;
};

//==============================================================================
// The build identifier, read from the module's own image.

#if JUCE_WINDOWS
void describeOwnBuild (CrashLog::Line& line)
{
    HMODULE module = nullptr;
    GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                        reinterpret_cast<LPCWSTR> (&describeOwnBuild),
                        &module);

    const auto* base = reinterpret_cast<const juce::uint8*> (module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*> (base);

    if (base != nullptr && dos->e_magic == IMAGE_DOS_SIGNATURE)
    {
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*> (base + dos->e_lfanew);
        const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_DEBUG];
        const auto* entries = reinterpret_cast<const IMAGE_DEBUG_DIRECTORY*> (base + directory.VirtualAddress);
        const auto numEntries = directory.VirtualAddress != 0 ? directory.Size / sizeof (IMAGE_DEBUG_DIRECTORY) : 0;

        for (size_t i = 0; i < numEntries; ++i)
        {
            const auto* record = base + entries[i].AddressOfRawData;

            if (entries[i].Type == IMAGE_DEBUG_TYPE_CODEVIEW && entries[i].AddressOfRawData != 0
                && entries[i].SizeOfData >= 20 && std::memcmp (record, "RSDS", 4) == 0)
            {
                CrashLog::describeBuild (record + 4, 16, line);
                return;
            }
        }
    }

    CrashLog::describeBuild (nullptr, 0, line);
}
#else
struct BuildIdSearch
{
    const void* addressInModule;
    CrashLog::Line* line;
    bool found;
};

bool describeBuildIdNote (const ElfW (Addr) base, const ElfW (Phdr) & segment, CrashLog::Line& line)
{
    const auto* note = reinterpret_cast<const juce::uint8*> (base + segment.p_vaddr);
    const auto* end = note + segment.p_memsz;
    const auto align = [] (size_t n)
    { return (n + 3) & ~static_cast<size_t> (3); };

    while (note + sizeof (ElfW (Nhdr)) <= end)
    {
        const auto* header = reinterpret_cast<const ElfW (Nhdr)*> (note);
        const auto* name = note + sizeof (ElfW (Nhdr));
        const auto* description = name + align (header->n_namesz);

        if (header->n_type == NT_GNU_BUILD_ID && header->n_namesz == 4 && std::memcmp (name, "GNU", 4) == 0)
        {
            CrashLog::describeBuild (description, header->n_descsz, line);
            return true;
        }

        note = description + align (header->n_descsz);
    }

    return false;
}

int searchModuleForBuildId (dl_phdr_info* info, size_t, void* data)
{
    auto& search = *static_cast<BuildIdSearch*> (data);
    const auto address = reinterpret_cast<ElfW (Addr)> (search.addressInModule);
    bool containsAddress = false;

    for (int i = 0; i < info->dlpi_phnum; ++i)
    {
        const auto& segment = info->dlpi_phdr[i];
        const auto start = info->dlpi_addr + segment.p_vaddr;
        containsAddress = containsAddress || (segment.p_type == PT_LOAD && address >= start && address < start + segment.p_memsz);
    }

    if (! containsAddress)
        return 0;

    for (int i = 0; i < info->dlpi_phnum && ! search.found; ++i)
        if (info->dlpi_phdr[i].p_type == PT_NOTE)
            search.found = describeBuildIdNote (info->dlpi_addr, info->dlpi_phdr[i], *search.line);

    return 1;
}

void describeOwnBuild (CrashLog::Line& line)
{
    BuildIdSearch search { reinterpret_cast<const void*> (&describeOwnBuild), &line, false };
    dl_iterate_phdr (searchModuleForBuildId, &search);

    if (! search.found)
        CrashLog::describeBuild (nullptr, 0, line);
}
#endif

//==============================================================================
// The fault itself: its first line, its time and its frames.

#if JUCE_WINDOWS
void describeFault (const EXCEPTION_POINTERS* pointers, CrashLog::Line& line)
{
    const auto code = pointers != nullptr && pointers->ExceptionRecord != nullptr
                          ? static_cast<juce::uint32> (pointers->ExceptionRecord->ExceptionCode)
                          : 0u;
    CrashLog::describeException (code, line);
}

CrashLog::CalendarTime localTimeNow()
{
    SYSTEMTIME now;
    GetLocalTime (&now);
    return { now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond };
}

void appendFileName (const wchar_t* path, FixedText<maxFrames * 512>& text)
{
    const auto* name = path;

    for (auto* p = path; *p != L'\0'; ++p)
        if (*p == L'\\' || *p == L'/')
            name = p + 1;

    char narrow[MAX_PATH * 3];

    if (WideCharToMultiByte (CP_UTF8, 0, name, -1, narrow, sizeof (narrow), nullptr, nullptr) > 0)
        text << narrow;
}

// A frame as the framework's back-trace writes it, "index: module: symbol + 0xdisplacement";
// one that no symbol names as "index: module file + 0xoffset", the offset counted from where
// the module was loaded, so that the maker's symbol files can name it.
void describeFrame (HANDLE process, int index, DWORD64 address, SYMBOL_INFO& symbol)
{
    DWORD64 displacement = 0;
    frameText.appendDecimal (index) << ": ";

    if (SymFromAddr (process, address, &displacement, &symbol))
    {
        IMAGEHLP_MODULE64 moduleInfo {};
        moduleInfo.SizeOfStruct = sizeof (moduleInfo);

        if (SymGetModuleInfo64 (process, symbol.ModBase, &moduleInfo))
            frameText << moduleInfo.ModuleName << ": ";

        frameText << symbol.Name << " + 0x";
        frameText.appendHex (displacement) << "\n";
        return;
    }

    HMODULE module = nullptr;
    wchar_t modulePath[MAX_PATH] = {};

    if (GetModuleHandleExW (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR> (address),
                            &module)
        && GetModuleFileNameW (module, modulePath, MAX_PATH) > 0)
    {
        appendFileName (modulePath, frameText);
        frameText << " + 0x";
        frameText.appendHex (address - reinterpret_cast<DWORD64> (module)) << "\n";
        return;
    }

    frameText << "0x";
    frameText.appendHex (address) << "\n";
}

// Walks the stack recorded in the fault's context, so it works from any thread.
void describeFrames (const EXCEPTION_POINTERS* pointers, DWORD faultingThreadId)
{
    frameText.clear();

    if (pointers == nullptr || pointers->ContextRecord == nullptr)
        return;

    const auto process = GetCurrentProcess();
    SymSetOptions (SymGetOptions() | SYMOPT_UNDNAME | SYMOPT_DEFERRED_LOADS);
    SymInitialize (process, nullptr, TRUE);
    SymRefreshModuleList (process);

    const auto thread = OpenThread (THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, faultingThreadId);
    static CONTEXT context;
    context = *pointers->ContextRecord;

    STACKFRAME64 frame {};
    frame.AddrPC.Offset = context.Rip;
    frame.AddrStack.Offset = context.Rsp;
    frame.AddrFrame.Offset = context.Rbp;
    frame.AddrPC.Mode = frame.AddrStack.Mode = frame.AddrFrame.Mode = AddrModeFlat;

    alignas (SYMBOL_INFO) static char symbolSpace[sizeof (SYMBOL_INFO) + 256];
    auto& symbol = *reinterpret_cast<SYMBOL_INFO*> (symbolSpace);

    for (int index = 0; index < maxFrames; ++index)
    {
        if (! StackWalk64 (IMAGE_FILE_MACHINE_AMD64, process, thread != nullptr ? thread : GetCurrentThread(), &frame, &context, nullptr, SymFunctionTableAccess64, SymGetModuleBase64, nullptr)
            || frame.AddrPC.Offset == 0)
            break;

        std::memset (symbolSpace, 0, sizeof (symbolSpace));
        symbol.SizeOfStruct = sizeof (SYMBOL_INFO);
        symbol.MaxNameLen = 255;
        describeFrame (process, index, frame.AddrPC.Offset, symbol);
    }

    if (thread != nullptr)
        CloseHandle (thread);
}
#else
void describeFault (int signalNumber, CrashLog::Line& line)
{
    CrashLog::describeSignal (signalNumber, line);
}

CrashLog::CalendarTime localTimeNow()
{
    timespec now {};
    clock_gettime (CLOCK_REALTIME, &now);
    return CrashLog::calendarTimeOf (static_cast<juce::int64> (now.tv_sec) + prepared.utcOffsetSeconds);
}

// The frames as the C library renders them, one per line. backtrace_symbols_fd is the only
// way to that text without allocating; a pipe of our own brings it back to us.
void describeFrames()
{
    frameText.clear();

    void* stack[maxFrames];
    const auto count = backtrace (stack, maxFrames);
    int ends[2];

    if (pipe2 (ends, O_NONBLOCK | O_CLOEXEC) != 0)
        return;

    for (int i = 0; i < count; ++i)
    {
        // One frame at a time, so a line never outgrows the pipe; a write that would is cut.
        backtrace_symbols_fd (stack + i, 1, ends[1]);

        char chunk[512];
        ssize_t got;

        while ((got = read (ends[0], chunk, sizeof (chunk) - 1)) > 0)
        {
            chunk[got] = '\0';
            frameText << chunk;
        }
    }

    close (ends[0]);
    close (ends[1]);
}
#endif
} // namespace

//==============================================================================
void CrashLog::describeException (juce::uint32 exceptionCode, Line& line)
{
    line.clear();
    line << "Exception 0x";
    line.appendHex (exceptionCode);
}

void CrashLog::describeSignal (int signalNumber, Line& line)
{
    line.clear();
    line << "Signal ";
    line.appendDecimal (signalNumber);

    for (const auto& known : signalNames)
        if (known.number == signalNumber)
            line << " (" << known.name << ")";
}

void CrashLog::describeBuild (const juce::uint8* identifier, size_t size, Line& line)
{
    line.clear();
    line << PluginConstants::pluginName << " " << PluginConstants::versionString << " build ";

    if (identifier == nullptr || size == 0)
        line << "unknown";

    for (size_t i = 0; identifier != nullptr && i < size; ++i)
        line << "0123456789abcdef"[identifier[i] >> 4] << "0123456789abcdef"[identifier[i] & 0xf];
}

CrashLog::CalendarTime CrashLog::calendarTimeOf (juce::int64 seconds)
{
    // Days to civil date in the proleptic Gregorian calendar, counted in 400-year eras.
    auto days = seconds / 86400;
    auto secondOfDay = seconds % 86400;

    if (secondOfDay < 0)
    {
        secondOfDay += 86400;
        --days;
    }

    days += 719468;
    const auto era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = days - era * 146097;
    const auto yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const auto dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const auto monthFromMarch = (5 * dayOfYear + 2) / 153;
    const auto day = dayOfYear - (153 * monthFromMarch + 2) / 5 + 1;
    const auto month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
    const auto year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);

    return { static_cast<int> (year), static_cast<int> (month), static_cast<int> (day), static_cast<int> (secondOfDay / 3600), static_cast<int> (secondOfDay / 60 % 60), static_cast<int> (secondOfDay % 60) };
}

void CrashLog::describeFileName (const CalendarTime& time, int number, Line& line)
{
    line.clear();
    line << "Crash ";
    line.appendDecimal (time.year, 4) << "-";
    line.appendDecimal (time.month, 2) << "-";
    line.appendDecimal (time.day, 2) << " ";
    line.appendDecimal (time.hour, 2) << "-";
    line.appendDecimal (time.minute, 2) << "-";
    line.appendDecimal (time.second, 2);

    if (number >= 2)
    {
        line << "(";
        line.appendDecimal (number) << ")";
    }

    line << ".txt";
}

bool CrashLog::writeLog (const char* folder, const CalendarTime& time, const char* fault, const char* frames, const char* build)
{
    auto file = noFile;

    for (int number = 1; number < 10000 && file == noFile; ++number)
    {
        Line name;
        describeFileName (time, number, name);
        bool nameTaken = false;
        file = createNewFile (folder, name.data(), nameTaken);

        if (file == noFile && ! nameTaken)
            return false;
    }

    if (file == noFile)
        return false;

    CrLfWriter text (file);
    text << fault << "\n------\n"
         << frames << build << "\n";
    const auto written = text.finish();
    closeFile (file);
    return written;
}

juce::File CrashLog::getLogFolder (const juce::String& appData, const juce::File& userAppDataFolder)
{
    // getChildFile takes an absolute path as it is and a relative one against the working
    // folder, where a plain File would refuse the latter.
    const auto base = appData.isEmpty() ? userAppDataFolder
                                        : juce::File::getCurrentWorkingDirectory().getChildFile (appData);

    return base.getChildFile ("Ombrix Audio").getChildFile ("Pelorvane").getChildFile ("Crash Logs");
}

void CrashLog::prepare()
{
    const auto folder = getLogFolder (juce::SystemStats::getEnvironmentVariable ("APPDATA", {}),
                                      juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory));
    folder.createDirectory();

    const auto path = folder.getFullPathName().toRawUTF8();
    const auto length = juce::jmin (std::strlen (path), sizeof (prepared.folder) - 1);
    std::memcpy (prepared.folder, path, length);
    prepared.folder[length] = '\0';

    describeOwnBuild (prepared.buildLine);

#if ! JUCE_WINDOWS
    // Converting to local time inside a fault is not safe (it may load the time zone), so the
    // offset in force now is used then.
    const auto now = std::time (nullptr);
    struct tm local
    {
    };
    localtime_r (&now, &local);
    prepared.utcOffsetSeconds = local.tm_gmtoff;

    // The first back-trace loads the unwinder, which had better happen now than in a fault.
    void* frame = nullptr;
    backtrace (&frame, 1);
#endif

    prepared.ready = true;
}

#if JUCE_WINDOWS
void CrashLog::writeFor (const void* exceptionPointers, unsigned long faultingThreadId)
{
    if (! prepared.ready)
        return;

    const auto time = localTimeNow();
    const auto* pointers = static_cast<const EXCEPTION_POINTERS*> (exceptionPointers);
    describeFault (pointers, faultLine);
    describeFrames (pointers, faultingThreadId);

    CrashLog::writeLog (prepared.folder, time, faultLine.data(), frameText.data(), prepared.buildLine.data());
}
#endif

void writeCrashLog (void* faultInfo)
{
#if JUCE_WINDOWS
    CrashLog::writeFor (faultInfo, GetCurrentThreadId());
#else
    if (! prepared.ready)
        return;

    const auto time = localTimeNow();
    describeFault (static_cast<int> (reinterpret_cast<juce::pointer_sized_int> (faultInfo)), faultLine);
    describeFrames();

    CrashLog::writeLog (prepared.folder, time, faultLine.data(), frameText.data(), prepared.buildLine.data());
#endif
}
