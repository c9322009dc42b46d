#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

/** Helpers for tests whose subject ends the process: each case runs in a forked child and
    the parent looks at how it ended and what it left in a private temporary folder.
*/
namespace CrashTestSupport
{
/** Environment changes for a child: a value sets the variable, nullopt unsets it. */
using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

/** Runs body in a forked child with the given environment, no core dump and a time limit;
        returns its wait status. A body that returns makes the child exit with code 99.
    */
int runInChild (const std::function<void()>& body, const Environment& environment);

bool wasKilledBy (int waitStatus, int signalNumber);
std::string describeStatus (int waitStatus);

/** A fault the compiler cannot see coming. */
void writeThroughNullPointer();

/** A fresh folder under the system's temporary folder, removed again on destruction. */
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();

    const std::filesystem::path& path() const { return folder; }

private:
    std::filesystem::path folder;
};

/** Names of the plain files in folder, sorted; empty if the folder is missing. */
std::vector<std::string> fileNamesIn (const std::filesystem::path& folder);

std::string readBytes (const std::filesystem::path& file);

enum class HostHandling
{
    endsProcess, // puts the default action back, so the fault ends the process
    passesOnToPrevious, // calls the handler it found in place when installed
    recovers // jumps back to recoveredFrom, and the process goes on
};

/** Stands in for a host's own crash handling (up to two of them): installed for SIGSEGV and
    SIGABRT, it appends "signal code address logWritten" as a line to markerFile (logWritten:
    1 if logFolder held a file by then; the address is 0 for a null write), then does `how`.
*/
void installHostHandler (const std::filesystem::path& markerFile, const std::filesystem::path& logFolder, HostHandling how = HostHandling::endsProcess);

/** Runs fault; a host handler that recovers jumps back here. Returns whether one did. */
bool recoveredFrom (const std::function<void()>& fault);

/** Breaks the allocator's lists and allocates: the process faults inside malloc, with the
    allocator's lock held.
*/
void faultInsideTheAllocator();

/** Whether the current disposition of signalNumber is a handler installHostHandler set. */
bool hostHandlerIsInstalled (int signalNumber);

std::filesystem::path logFolderUnder (const std::filesystem::path& appData);
} // namespace CrashTestSupport
