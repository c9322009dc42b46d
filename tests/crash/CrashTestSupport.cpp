#include "crash/CrashTestSupport.h"

#include <algorithm>
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace CrashTestSupport
{
namespace
{
    // What each host handler does, in fixed-size copies, as it may only use what is safe
    // inside a signal handler.
    struct HostHandlerSlot
    {
        char markerPath[4096];
        char watchedFolder[4096];
        HostHandling how;
        struct sigaction previousSegv, previousAbrt;
    };

    HostHandlerSlot slots[2];
    int slotsUsed = 0;
    sigjmp_buf recoveryPoint;

    void setEnvironment (const Environment& environment)
    {
        for (const auto& [name, value] : environment)
        {
            if (value.has_value())
                setenv (name.c_str(), value->c_str(), 1);
            else
                unsetenv (name.c_str());
        }
    }

    // Whether the folder holds anything, without the allocating directory functions: a host
    // handler may run with the heap broken.
    bool holdsAnything (const char* folder)
    {
        const int fd = open (folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        bool found = false;
        alignas (8) char entries[4096];
        long size = 0;

        while (fd >= 0 && ! found && (size = syscall (SYS_getdents64, fd, entries, sizeof (entries))) > 0)
        {
            for (long offset = 0; offset < size; offset += reinterpret_cast<dirent64*> (entries + offset)->d_reclen)
            {
                const char* name = reinterpret_cast<dirent64*> (entries + offset)->d_name;
                found = found || (std::strcmp (name, ".") != 0 && std::strcmp (name, "..") != 0);
            }
        }

        if (fd >= 0)
            close (fd);

        return found;
    }

    void passOnToPrevious (const struct sigaction& previous, int signalNumber, siginfo_t* info, void* context)
    {
        if ((previous.sa_flags & SA_SIGINFO) != 0)
            previous.sa_sigaction (signalNumber, info, context);
        else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN)
            previous.sa_handler (signalNumber);
        else
            signal (signalNumber, SIG_DFL);
    }

    template <int slot>
    void hostHandler (int signalNumber, siginfo_t* info, void* context)
    {
        auto& self = slots[slot];
        const bool logWritten = holdsAnything (self.watchedFolder);

        // Not strictly signal-safe, but glibc formats integers without allocating.
        char text[128];
        const auto length = std::snprintf (text, sizeof (text), "%d %d %lld %d\n", signalNumber, info->si_code, static_cast<long long> (reinterpret_cast<std::intptr_t> (info->si_addr)), logWritten ? 1 : 0);

        const int fd = open (self.markerPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0)
        {
            [[maybe_unused]] auto written = write (fd, text, static_cast<size_t> (length));
            close (fd);
        }

        switch (self.how)
        {
            case HostHandling::recovers:
                siglongjmp (recoveryPoint, 1);

            case HostHandling::passesOnToPrevious:
                passOnToPrevious (signalNumber == SIGSEGV ? self.previousSegv : self.previousAbrt, signalNumber, info, context);
                break;

            case HostHandling::endsProcess:
                // Like a host's reporter that has done its work: the default action ends the
                // process, for a fault when it recurs, for abort when it raises again.
                signal (signalNumber, SIG_DFL);
                break;
        }
    }

    constexpr void (*hostHandlers[]) (int, siginfo_t*, void*) = { hostHandler<0>, hostHandler<1> };
} // namespace

int runInChild (const std::function<void()>& body, const Environment& environment)
{
    std::fflush (nullptr);
    const pid_t child = fork();

    if (child == 0)
    {
        prctl (PR_SET_DUMPABLE, 0);
        alarm (60);
        setEnvironment (environment);
        body();
        _exit (99);
    }

    int status = 0;
    waitpid (child, &status, 0);
    return status;
}

bool wasKilledBy (int waitStatus, int signalNumber)
{
    return WIFSIGNALED (waitStatus) && WTERMSIG (waitStatus) == signalNumber;
}

std::string describeStatus (int waitStatus)
{
    if (WIFSIGNALED (waitStatus))
        return "killed by signal " + std::to_string (WTERMSIG (waitStatus));

    return "exited with code " + std::to_string (WEXITSTATUS (waitStatus));
}

// UBSan's null check would report this write instead of letting it fault.
__attribute__ ((no_sanitize ("null"))) void writeThroughNullPointer()
{
    volatile int* volatile target = nullptr;
    *target = 1;
}

TemporaryFolder::TemporaryFolder()
{
    auto pattern = (std::filesystem::temp_directory_path() / "pelorvane-crash-XXXXXX").string();
    if (mkdtemp (pattern.data()) != nullptr)
        folder = pattern;
}

TemporaryFolder::~TemporaryFolder()
{
    std::error_code ignored;
    if (! folder.empty())
        std::filesystem::remove_all (folder, ignored);
}

std::vector<std::string> fileNamesIn (const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    std::error_code error;

    for (const auto& entry : std::filesystem::directory_iterator (folder, error))
        if (entry.is_regular_file())
            names.push_back (entry.path().filename().string());

    std::sort (names.begin(), names.end());
    return names;
}

std::string readBytes (const std::filesystem::path& file)
{
    std::ifstream in (file, std::ios::binary);
    return { std::istreambuf_iterator<char> (in), std::istreambuf_iterator<char>() };
}

void installHostHandler (const std::filesystem::path& markerFile, const std::filesystem::path& logFolder, HostHandling how)
{
    auto& slot = slots[slotsUsed];
    std::snprintf (slot.markerPath, sizeof (slot.markerPath), "%s", markerFile.c_str());
    std::snprintf (slot.watchedFolder, sizeof (slot.watchedFolder), "%s", logFolder.c_str());
    slot.how = how;

    struct sigaction action = {};
    action.sa_sigaction = hostHandlers[slotsUsed++];
    action.sa_flags = SA_SIGINFO;
    sigemptyset (&action.sa_mask);

    sigaction (SIGSEGV, &action, &slot.previousSegv);
    sigaction (SIGABRT, &action, &slot.previousAbrt);
}

bool hostHandlerIsInstalled (int signalNumber)
{
    struct sigaction current = {};
    return sigaction (signalNumber, nullptr, &current) == 0
           && (current.sa_flags & SA_SIGINFO) != 0
           && std::find (std::begin (hostHandlers), std::end (hostHandlers), current.sa_sigaction) != std::end (hostHandlers);
}

bool recoveredFrom (const std::function<void()>& fault)
{
    if (sigsetjmp (recoveryPoint, 1) != 0)
        return true;

    fault();
    return false;
}

void faultInsideTheAllocator()
{
    // The allocator takes its lock only once the process has had a second thread.
    std::thread ([] {}).join();

    // A freed block too large for the per-thread cache waits in the arena's unsorted list;
    // with its links overwritten, the next allocation follows them with the arena locked.
    auto* volatile block = static_cast<volatile std::uintptr_t*> (std::malloc (2000));
    void* volatile guard = std::malloc (2000);
    std::free (const_cast<std::uintptr_t*> (block));
    block[0] = block[1] = 0x4141414141414141u;
    void* volatile next = std::malloc (2000);
    std::free (next);
    std::free (guard);
}

std::filesystem::path logFolderUnder (const std::filesystem::path& appData)
{
    return appData / "Ombrix Audio" / "Pelorvane" / "Crash Logs";
}
} // namespace CrashTestSupport
