#include "crash/CrashHandler.h"
#include "crash/CrashLog.h"

#include <atomic>

#if JUCE_WINDOWS
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#include <execinfo.h>
#endif

#if JUCE_WINDOWS

namespace
{
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;

// The thread whose fault is being logged: seeing it again means the filter we pass faults on
// to has led back to us.
std::atomic<DWORD> faultingThread { 0 };

LONG WINAPI handleUnhandledException (EXCEPTION_POINTERS* pointers)
{
    const auto thisThread = GetCurrentThreadId();
    DWORD noThread = 0;

    if (faultingThread.compare_exchange_strong (noThread, thisThread))
        writeCrashLog (pointers);
    else if (noThread == thisThread)
        return EXCEPTION_CONTINUE_SEARCH;

    // With no earlier filter, the system's default handling (error reporting, debugger) follows.
    return previousFilter != nullptr ? previousFilter (pointers) : EXCEPTION_CONTINUE_SEARCH;
}
} // namespace

void CrashHandler::install()
{
    const auto current = SetUnhandledExceptionFilter (handleUnhandledException);

    if (current != handleUnhandledException)
        previousFilter = current;

    faultingThread = 0;
}

void CrashHandler::uninstall()
{
    const auto current = SetUnhandledExceptionFilter (previousFilter);

    // Someone installed their own filter over ours since: it stays.
    if (current != handleUnhandledException)
        SetUnhandledExceptionFilter (current);
}

#else

namespace
{
// The signals the framework's crash hook also catches: the ones that end a process by fault.
constexpr int handledSignals[] = { SIGFPE, SIGILL, SIGSEGV, SIGBUS, SIGABRT, SIGSYS };
constexpr auto numHandledSignals = sizeof (handledSignals) / sizeof (handledSignals[0]);

// What each signal's disposition was before ours, indexed like handledSignals.
struct sigaction previousActions[numHandledSignals];

std::atomic<bool> faultBeingHandled { false };

void handleFaultSignal (int signalNumber, siginfo_t* info, void*);

bool isOurs (const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == handleFaultSignal;
}

bool isOurs (int signalNumber)
{
    struct sigaction current = {};
    return sigaction (signalNumber, nullptr, &current) == 0 && isOurs (current);
}

// A fault of the code itself (a bad address, instruction or division) happens again when
// the handler returns, so the restored disposition gets it with its original details. A
// signal that was sent (abort, kill) or a refused system call has to be sent again.
bool recursOnReturn (int signalNumber, const siginfo_t* info)
{
    return info != nullptr && info->si_code > 0 && signalNumber != SIGSYS;
}

void passOn (int signalNumber, const siginfo_t* info)
{
    if (! recursOnReturn (signalNumber, info))
        raise (signalNumber);
}

void handleFaultSignal (int signalNumber, siginfo_t* info, void*)
{
    if (faultBeingHandled.exchange (true))
    {
        // The disposition we passed the fault on to led back here: let the system finish.
        signal (signalNumber, SIG_DFL);
        passOn (signalNumber, info);
        return;
    }

    // First, so that the fault goes on to the host's disposition, and so does any further
    // fault while the log is written.
    CrashHandler::uninstall();

    writeCrashLog (reinterpret_cast<void*> (static_cast<juce::pointer_sized_int> (signalNumber)));
    passOn (signalNumber, info);
}

void installFor (size_t index)
{
    const auto signalNumber = handledSignals[index];

    if (isOurs (signalNumber))
        return;

    struct sigaction ours = {};
    ours.sa_sigaction = handleFaultSignal;
    sigemptyset (&ours.sa_mask);

    // SA_NODEFER: a second fault while the log is written reaches the restored disposition
    // instead of the kernel's default. SA_ONSTACK: a host that gave its threads an alternate
    // stack (for stack overflows) keeps the benefit of it.
    ours.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;

    sigaction (signalNumber, &ours, &previousActions[index]);
}

// The first back-trace loads the unwinder, which had better happen now than inside a fault.
void loadUnwinder()
{
    void* frame = nullptr;
    backtrace (&frame, 1);
}
} // namespace

void CrashHandler::install()
{
    loadUnwinder();
    faultBeingHandled = false;

    for (size_t i = 0; i < numHandledSignals; ++i)
        installFor (i);
}

void CrashHandler::uninstall()
{
    for (size_t i = 0; i < numHandledSignals; ++i)
        if (isOurs (handledSignals[i]))
            sigaction (handledSignals[i], &previousActions[i], nullptr);
}

#endif

namespace
{
// The handler lives in the module's code: nothing of it may stay behind in the process once
// a host unloads the module, or it exits.
struct UninstallOnUnload
{
    ~UninstallOnUnload() { CrashHandler::uninstall(); }
};

const UninstallOnUnload uninstallOnUnload;
} // namespace
