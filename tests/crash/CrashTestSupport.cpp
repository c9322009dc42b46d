#include "crash/CrashTestSupport.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace CrashTestSupport
{
namespace
{
    // Fixed-size copies, as the host handler may only use what is safe inside a signal handler.
    char markerPath[4096];
    char watchedFolder[4096];

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

    void hostHandler (int signalNumber, siginfo_t* info, void*)
    {
        const bool logFolderExisted = access (watchedFolder, F_OK) == 0;

        // Not strictly signal-safe, but glibc formats integers without allocating.
        char text[128];
        const auto length = std::snprintf (text, sizeof (text), "%d %d %lld %d", signalNumber, info->si_code, static_cast<long long> (reinterpret_cast<std::intptr_t> (info->si_addr)), logFolderExisted ? 1 : 0);

        const int fd = open (markerPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0)
        {
            [[maybe_unused]] auto written = write (fd, text, static_cast<size_t> (length));
            close (fd);
        }

        // Like a host's reporter that has done its work: the default action ends the
        // process, for a fault when it recurs, for abort when it raises again.
        signal (signalNumber, SIG_DFL);
    }
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

void writeThroughNullPointer()
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

void installHostHandler (const std::filesystem::path& markerFile, const std::filesystem::path& logFolder)
{
    std::snprintf (markerPath, sizeof (markerPath), "%s", markerFile.c_str());
    std::snprintf (watchedFolder, sizeof (watchedFolder), "%s", logFolder.c_str());

    struct sigaction action = {};
    action.sa_sigaction = hostHandler;
    action.sa_flags = SA_SIGINFO;
    sigemptyset (&action.sa_mask);

    sigaction (SIGSEGV, &action, nullptr);
    sigaction (SIGABRT, &action, nullptr);
}

bool hostHandlerIsInstalled (int signalNumber)
{
    struct sigaction current = {};
    return sigaction (signalNumber, nullptr, &current) == 0
           && (current.sa_flags & SA_SIGINFO) != 0
           && current.sa_sigaction == hostHandler;
}

std::filesystem::path logFolderUnder (const std::filesystem::path& appData)
{
    return appData / "Ombrix Audio" / "Pelorvane" / "Crash Logs";
}
} // namespace CrashTestSupport
