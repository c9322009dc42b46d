#pragma once

#include "crash/FixedText.h"

#include <juce_core/juce_core.h>

/** Leaves a log of a fault that is about to end the process: what the fault was, the stack
    of the thread that hit it and which build of the plug-in was running, in a time-stamped
    file under the user's application data. Anything that goes wrong on the way is dropped.

    Shaped like juce::SystemStats::CrashHandlerFunction. On Windows faultInfo is the fault's
    EXCEPTION_POINTERS and the stack walked is the one in its context record, so the log can
    be written from another thread than the faulting one; elsewhere faultInfo is the signal
    number cast to a pointer, and the log is written from the signal handler itself.

    It uses only what CrashLog::prepare set up beforehand and, on Linux, only calls that are
    safe inside a signal handler: no allocation, no locks. Without a prepare, nothing is
    written.
*/
void writeCrashLog (void* faultInfo);

namespace CrashLog
{
/** Works out, outside any fault, everything a log needs: the folder (created now if it is
    missing), the local time zone's offset and the build line. Call again to refresh them.
*/
void prepare();

/** "Ombrix Audio/Pelorvane/Crash Logs" under appData, or under userAppDataFolder when
    appData is empty.
*/
juce::File getLogFolder (const juce::String& appData, const juce::File& userAppDataFolder);

using Line = FixedText<1024>;

/** "Exception 0xc0000005": the code in lower-case hex without leading zeros. */
void describeException (juce::uint32 exceptionCode, Line& line);

/** "Signal 11 (SIGSEGV)"; just the number for a signal without a known name. */
void describeSignal (int signalNumber, Line& line);

/** The last line of every log: "Pelorvane 2.0.0 build <identifier>", where the identifier is
    the lower-case hex of the module's GNU build-id note (Linux) or of the 16 bytes after
    "RSDS" in its CodeView record (Windows), and "unknown" where there is none.
*/
void describeBuild (const juce::uint8* identifier, size_t size, Line& line);

struct CalendarTime
{
    int year, month, day, hour, minute, second;
};

/** The calendar date and time of a count of seconds since 1970-01-01 00:00:00. */
CalendarTime calendarTimeOf (juce::int64 seconds);

/** "Crash 2024-03-05 14-07-09.txt", or with "(number)" before the extension from 2 on. */
void describeFileName (const CalendarTime& time, int number, Line& line);

/** Writes a log into folder as a new file named after time, with (2), (3) ... when the name
    is taken: fault line, a rule of six hyphens, frames (lines ending in "\n"), build line,
    every line ended by CR LF. Creates the folder if it went missing. No allocation, no
    locks. Returns whether the file was written in full.
*/
bool writeLog (const char* folder, const CalendarTime& time, const char* faultLine, const char* frames, const char* buildLine);

#if JUCE_WINDOWS
/** writeCrashLog for a fault on another thread: the stack walked is the one in the fault's
    context record; faultingThreadId names the thread it belongs to.
*/
void writeFor (const void* exceptionPointers, unsigned long faultingThreadId);
#endif
} // namespace CrashLog
