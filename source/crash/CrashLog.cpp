#include "crash/CrashLog.h"

#include <csignal>

#if JUCE_WINDOWS
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#if JUCE_MINGW
#include <dbghelp.h>
#endif
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

juce::String describeFault (void* faultInfo)
{
#if JUCE_WINDOWS
    const auto* pointers = static_cast<const EXCEPTION_POINTERS*> (faultInfo);
    const auto code = pointers != nullptr && pointers->ExceptionRecord != nullptr
                          ? static_cast<juce::uint32> (pointers->ExceptionRecord->ExceptionCode)
                          : 0u;
    return CrashLog::describeException (code);
#else
    return CrashLog::describeSignal (static_cast<int> (reinterpret_cast<juce::pointer_sized_int> (faultInfo)));
#endif
}

#if JUCE_MINGW
// The framework renders no back-trace when built with MinGW, so this renders it the way the
// framework's other Windows builds do: frames that resolve to a symbol, numbered over all
// captured frames, as "index: module: symbol + 0xdisplacement".
juce::String captureBacktrace()
{
    const auto process = GetCurrentProcess();
    SymInitialize (process, nullptr, TRUE);

    void* stack[128];
    const auto frames = static_cast<int> (CaptureStackBackTrace (0, 128, stack, nullptr));

    juce::HeapBlock<SYMBOL_INFO> symbol;
    symbol.calloc (sizeof (SYMBOL_INFO) + 256, 1);
    symbol->MaxNameLen = 255;
    symbol->SizeOfStruct = sizeof (SYMBOL_INFO);

    juce::String result;

    for (int i = 0; i < frames; ++i)
    {
        DWORD64 displacement = 0;

        if (! SymFromAddr (process, reinterpret_cast<DWORD64> (stack[i]), &displacement, symbol))
            continue;

        result << i << ": ";

        IMAGEHLP_MODULE64 moduleInfo {};
        moduleInfo.SizeOfStruct = sizeof (moduleInfo);

        if (SymGetModuleInfo64 (process, symbol->ModBase, &moduleInfo))
            result << moduleInfo.ModuleName << ": ";

        result << symbol->Name << " + 0x" << juce::String::toHexString (static_cast<juce::int64> (displacement)) << juce::newLine;
    }

    return result;
}
#else
juce::String captureBacktrace()
{
    return juce::SystemStats::getStackBacktrace();
}
#endif
} // namespace

juce::String CrashLog::describeException (juce::uint32 exceptionCode)
{
    return "Exception 0x" + juce::String::toHexString (static_cast<juce::int64> (exceptionCode));
}

juce::String CrashLog::describeSignal (int signalNumber)
{
    juce::String line ("Signal " + juce::String (signalNumber));

    for (const auto& known : signalNames)
        if (known.number == signalNumber)
            return line + " (" + known.name + ")";

    return line;
}

juce::File CrashLog::getLogFolder (const juce::String& appData, const juce::File& userAppDataFolder)
{
    // getChildFile takes an absolute path as it is and a relative one against the working
    // folder, where a plain File would refuse the latter.
    const auto base = appData.isEmpty() ? userAppDataFolder
                                        : juce::File::getCurrentWorkingDirectory().getChildFile (appData);

    return base.getChildFile ("Ombrix Audio").getChildFile ("Pelorvane").getChildFile ("Crash Logs");
}

juce::String CrashLog::formatLogText (const juce::String& faultLine, const juce::String& backtrace)
{
    return faultLine + "\n------\n" + backtrace;
}

juce::File CrashLog::writeLogFile (const juce::File& folder, juce::Time faultTime, const juce::String& text)
{
    folder.createDirectory();

    const auto stamp = juce::File::createLegalFileName (faultTime.formatted ("%Y-%m-%d %H-%M-%S"));
    const auto file = folder.getNonexistentChildFile ("Crash " + stamp, ".txt", true);

    file.create();
    file.appendText (text);
    return file;
}

void writeCrashLog (void* faultInfo)
{
    const auto faultTime = juce::Time::getCurrentTime();
    const auto text = CrashLog::formatLogText (describeFault (faultInfo), captureBacktrace());
    const auto folder = CrashLog::getLogFolder (juce::SystemStats::getEnvironmentVariable ("APPDATA", {}),
                                                juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory));

    CrashLog::writeLogFile (folder, faultTime, text);
}
