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
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace
{
/** The handlers we were installed over, oldest first. */
template <typename Handler>
struct DisplacedHandlers
{
    static constexpr int capacity = 8;

    /** Notes the handler found in place when installing ours. One already in the chain means
        the host went back to it: what came after it is gone. */
    template <typename Same>
    void note (const Handler& found, Same&& same)
    {
        for (int i = 0; i < count; ++i)
        {
            if (same (handlers[i], found))
            {
                count = i + 1;
                return;
            }
        }

        // Full: the oldest stays, the newest takes the last place.
        handlers[count < capacity ? count++ : capacity - 1] = found;
    }

    /** The handler a fault goes on to after `level` handlers have passed it back to us. */
    const Handler* forLevel (int level) const
    {
        const auto index = count - 1 - level;
        return index >= 0 ? &handlers[index] : nullptr;
    }

    const Handler* newest() const { return forLevel (0); }

    Handler handlers[capacity] {};
    int count = 0;
};
} // namespace

#if JUCE_WINDOWS

namespace
{
DisplacedHandlers<LPTOP_LEVEL_EXCEPTION_FILTER> displacedFilters;

// How deep into the chain the fault on this thread has been handed, plus one; 0 outside.
// A TLS slot of our own: compiler-made thread-locals may allocate on first use.
DWORD depthSlot = TLS_OUT_OF_INDEXES;

/** Writes the log on a thread of its own, started at install: a thread that overflowed its
    stack has no room left to write one.
*/
struct LogWriterThread
{
    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE request = nullptr;
    HANDLE done = nullptr;
    std::atomic<bool> busy { false };
    EXCEPTION_POINTERS* pointers = nullptr;
    DWORD faultingThreadId = 0;

    static DWORD WINAPI run (void* self)
    {
        auto& writer = *static_cast<LogWriterThread*> (self);

        for (;;)
        {
            WaitForSingleObject (writer.request, INFINITE);
            CrashLog::writeFor (writer.pointers, writer.faultingThreadId);
            SetEvent (writer.done);
        }
    }

    void start()
    {
        if (thread != nullptr)
            return;

        request = CreateEventW (nullptr, FALSE, FALSE, nullptr);
        done = CreateEventW (nullptr, FALSE, FALSE, nullptr);

        if (request != nullptr && done != nullptr)
            thread = CreateThread (nullptr, 0, run, this, 0, &threadId);
    }

    /** Hands the fault over and waits; a writer stuck on a lock the fault left held is
        given up on, so the fault still goes on to the host. */
    void write (EXCEPTION_POINTERS* faultPointers)
    {
        if (thread == nullptr || GetCurrentThreadId() == threadId || busy.exchange (true))
            return;

        pointers = faultPointers;
        faultingThreadId = GetCurrentThreadId();
        SetEvent (request);

        if (WaitForSingleObject (done, 10000) == WAIT_OBJECT_0)
            busy = false;
    }

    void stop()
    {
        // It only ever waits for a request here, holding nothing; it must not outlive the
        // module's code. At process exit it is gone already.
        if (thread != nullptr)
        {
            TerminateThread (thread, 0);
            CloseHandle (thread);
            thread = nullptr;
        }
    }
};

LogWriterThread logWriter;

LONG handOn (int level, EXCEPTION_POINTERS* pointers)
{
    const auto* next = displacedFilters.forLevel (level);

    // With no earlier filter, the system's default handling (error reporting, debugger) follows.
    if (next == nullptr || *next == nullptr)
        return EXCEPTION_CONTINUE_SEARCH;

    TlsSetValue (depthSlot, reinterpret_cast<void*> (static_cast<INT_PTR> (level + 1)));
    const auto verdict = (*next) (pointers);
    TlsSetValue (depthSlot, reinterpret_cast<void*> (static_cast<INT_PTR> (level)));
    return verdict;
}

LONG WINAPI handleUnhandledException (EXCEPTION_POINTERS* pointers)
{
    const auto depth = static_cast<int> (reinterpret_cast<INT_PTR> (TlsGetValue (depthSlot)));

    // A filter we handed this fault to has passed it back to its predecessor, us.
    if (depth > 0)
        return handOn (depth, pointers);

    logWriter.write (pointers);
    const auto verdict = handOn (0, pointers);

    // If the host's filter recovered, the next fault on this thread is a new one.
    TlsSetValue (depthSlot, nullptr);
    return verdict;
}
} // namespace

void CrashHandler::install()
{
    CrashLog::prepare();

    if (depthSlot == TLS_OUT_OF_INDEXES)
        depthSlot = TlsAlloc();

    logWriter.start();

    const auto current = SetUnhandledExceptionFilter (handleUnhandledException);

    if (current != handleUnhandledException)
        displacedFilters.note (current, [] (auto a, auto b)
                               { return a == b; });
}

void CrashHandler::uninstall()
{
    const auto* newest = displacedFilters.newest();
    const auto current = SetUnhandledExceptionFilter (newest != nullptr ? *newest : nullptr);

    // Someone installed their own filter over ours since: it stays.
    if (current != handleUnhandledException)
        SetUnhandledExceptionFilter (current);
    else
        displacedFilters.count = 0;
}

namespace
{
struct StopWriterOnUnload
{
    ~StopWriterOnUnload() { logWriter.stop(); }
};

const StopWriterOnUnload stopWriterOnUnload;
} // namespace

#else

namespace
{
// The signals the framework's crash hook also catches: the ones that end a process by fault.
constexpr int handledSignals[] = { SIGFPE, SIGILL, SIGSEGV, SIGBUS, SIGABRT, SIGSYS };
constexpr auto numHandledSignals = sizeof (handledSignals) / sizeof (handledSignals[0]);

using Displaced = DisplacedHandlers<struct sigaction>;
Displaced displacedActions[numHandledSignals];

void handleFaultSignal (int signalNumber, siginfo_t* info, void* context);

bool isOurs (const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == handleFaultSignal;
}

bool sameHandler (const struct sigaction& a, const struct sigaction& b)
{
    const auto siginfo = (a.sa_flags & SA_SIGINFO) != 0;
    return siginfo == ((b.sa_flags & SA_SIGINFO) != 0)
           && (siginfo ? a.sa_sigaction == b.sa_sigaction : a.sa_handler == b.sa_handler);
}

int indexOf (int signalNumber)
{
    for (size_t i = 0; i < numHandledSignals; ++i)
        if (handledSignals[i] == signalNumber)
            return static_cast<int> (i);

    return 0;
}

// A fault of the code itself (a bad address, instruction or division) happens again when
// the handler returns, and reaches whatever disposition is then in place with its original
// details. A signal that was sent (abort, kill) or a refused system call has to be sent again.
bool recursOnReturn (int signalNumber, const siginfo_t* info)
{
    return info != nullptr && info->si_code > 0 && signalNumber != SIGSYS;
}

long currentThreadId()
{
    return static_cast<long> (syscall (SYS_gettid));
}

// Our handler's own code sits in a section of its own, so that a back-trace shows whether a
// handling of ours is still under way further up a thread's stack.
#define PELORVANE_FAULT_HANDLER_CODE __attribute__ ((section ("pelorvane_fault_handler"), noinline))
extern "C" const char __start_pelorvane_fault_handler[];
extern "C" const char __stop_pelorvane_fault_handler[];

bool isHandlerCode (const void* address)
{
    const auto* code = static_cast<const char*> (address);
    return code >= __start_pelorvane_fault_handler && code < __stop_pelorvane_fault_handler;
}

/** Whether, below the handler call we are in, the stack still holds an earlier one: a fault
    we passed on and are waiting for. If a host's handler jumped out of that one back into
    the host, it is gone, and this is a new fault.
*/
bool earlierHandlingIsUnderWay()
{
    void* frames[128];
    const auto count = backtrace (frames, 128);
    int i = 0;

    while (i < count && ! isHandlerCode (frames[i]))
        ++i;

    while (i < count && isHandlerCode (frames[i]))
        ++i;

    for (; i < count; ++i)
        if (isHandlerCode (frames[i]))
            return true;

    return false;
}

/** The threads in the middle of passing a fault on, and how far down the chain each got. */
struct HandingOn
{
    struct Thread
    {
        std::atomic<long> id { 0 };
        int level = 0;
    };

    Thread threads[16];

    Thread* find (long id)
    {
        for (auto& thread : threads)
            if (thread.id.load() == id)
                return &thread;

        return nullptr;
    }

    Thread* claim (long id)
    {
        for (auto& thread : threads)
        {
            long free = 0;

            if (thread.id.compare_exchange_strong (free, id))
                return &thread;
        }

        return nullptr;
    }
};

HandingOn handingOn;

// The thread writing a log: one at a time, as the log's buffers are shared.
std::atomic<long> loggingThread { 0 };

// The last fault logged and then passed to a handler that returned: when it happens again
// at once (the handler did not cure it), it gets no second log.
struct
{
    long thread = 0;
    int signalNumber = 0;
    const void* address = nullptr;
} lastReturned;

void putBackHostHandlers()
{
    for (size_t i = 0; i < numHandledSignals; ++i)
    {
        struct sigaction current = {};

        if (sigaction (handledSignals[i], nullptr, &current) == 0 && isOurs (current))
            if (const auto* newest = displacedActions[i].newest())
                sigaction (handledSignals[i], newest, nullptr);
    }
}

void passOnOnce (int signalNumber, const siginfo_t* info)
{
    if (! recursOnReturn (signalNumber, info))
        raise (signalNumber);
}

bool endsOrIgnores (const struct sigaction& action)
{
    return (action.sa_flags & SA_SIGINFO) == 0 && (action.sa_handler == SIG_DFL || action.sa_handler == SIG_IGN);
}

/** Runs a handler as the kernel would have: its mask applied, reset first if it asked for
    that, with the fault's own details. */
PELORVANE_FAULT_HANDLER_CODE void callAsDelivered (const struct sigaction& action, int signalNumber, siginfo_t* info, void* context)
{
    sigset_t mask = action.sa_mask;

    if ((action.sa_flags & SA_NODEFER) == 0)
        sigaddset (&mask, signalNumber);

    sigset_t before;
    pthread_sigmask (SIG_BLOCK, &mask, &before);

    if ((static_cast<unsigned int> (action.sa_flags) & SA_RESETHAND) != 0)
    {
        struct sigaction defaultAction = {};
        defaultAction.sa_handler = SIG_DFL;
        sigaction (signalNumber, &defaultAction, nullptr);
    }

    if ((action.sa_flags & SA_SIGINFO) != 0)
        action.sa_sigaction (signalNumber, info, context);
    else
        action.sa_handler (signalNumber);

    pthread_sigmask (SIG_SETMASK, &before, nullptr);
}

/** Passes the fault on to the handler `level` places down the chain; past its end, to the
    system's default. */
PELORVANE_FAULT_HANDLER_CODE void handOn (int signalNumber, siginfo_t* info, void* context, int level)
{
    const auto* next = displacedActions[indexOf (signalNumber)].forLevel (level);

    if (next != nullptr && ! endsOrIgnores (*next))
    {
        callAsDelivered (*next, signalNumber, info, context);
        return;
    }

    // The default (or ignoring) disposition: put it in place and let the fault meet it, as
    // it would have without us.
    struct sigaction fallback = {};
    fallback.sa_handler = SIG_DFL;
    sigaction (signalNumber, next != nullptr ? next : &fallback, nullptr);
    passOnOnce (signalNumber, info);
}

PELORVANE_FAULT_HANDLER_CODE void logFault (int signalNumber, const siginfo_t* info, long thread)
{
    const auto* address = info != nullptr ? info->si_addr : nullptr;
    const bool repeated = lastReturned.thread == thread && lastReturned.signalNumber == signalNumber && lastReturned.address == address;
    long nobody = 0;

    // Another thread's fault is being logged: one log per crash.
    if (repeated || ! loggingThread.compare_exchange_strong (nobody, thread))
        return;

    writeCrashLog (reinterpret_cast<void*> (static_cast<juce::pointer_sized_int> (signalNumber)));
    loggingThread = 0;
}

PELORVANE_FAULT_HANDLER_CODE void handleFaultSignal (int signalNumber, siginfo_t* info, void* context)
{
    const auto thread = currentThreadId();

    // Writing the log itself faulted: the host gets this fault directly.
    if (loggingThread.load() == thread)
    {
        putBackHostHandlers();
        passOnOnce (signalNumber, info);
        return;
    }

    auto* record = handingOn.find (thread);

    // The handler we passed the fault to passes it to its predecessor (us), or faulted
    // itself: on down the chain.
    if (record != nullptr && earlierHandlingIsUnderWay())
    {
        handOn (signalNumber, info, context, ++record->level);
        return;
    }

    if (record == nullptr)
        record = handingOn.claim (thread);

    logFault (signalNumber, info, thread);
    lastReturned = {};

    if (record != nullptr)
        record->level = 0;

    handOn (signalNumber, info, context, 0);

    // The host's handler returned: the fault was cured, or it happens again at once.
    lastReturned = { thread, signalNumber, info != nullptr ? info->si_addr : nullptr };

    if (record != nullptr)
        record->id = 0;
}

void installFor (size_t index)
{
    const auto signalNumber = handledSignals[index];
    struct sigaction current = {};

    if (sigaction (signalNumber, nullptr, &current) != 0 || isOurs (current))
        return;

    displacedActions[index].note (current, sameHandler);

    struct sigaction ours = {};
    ours.sa_sigaction = handleFaultSignal;
    sigemptyset (&ours.sa_mask);

    // SA_NODEFER: a second fault while the log is written reaches us again, and we hand it
    // straight on. SA_ONSTACK: a host that gave its threads an alternate stack (for stack
    // overflows) keeps the benefit of it.
    ours.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;

    sigaction (signalNumber, &ours, nullptr);
}
} // namespace

void CrashHandler::install()
{
    CrashLog::prepare();

    for (size_t i = 0; i < numHandledSignals; ++i)
        installFor (i);
}

void CrashHandler::uninstall()
{
    putBackHostHandlers();

    for (auto& displaced : displacedActions)
        displaced.count = 0;
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
