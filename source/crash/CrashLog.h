#pragma once

#include <juce_core/juce_core.h>

/** Leaves a log of a fault that is about to end the process: what the fault was and the
    stack of the thread that hit it, in a time-stamped file under the user's application
    data. Anything that goes wrong on the way is dropped; the process is going down anyway.

    Shaped like juce::SystemStats::CrashHandlerFunction. On Windows faultInfo is the fault's
    EXCEPTION_POINTERS; elsewhere it is the signal number cast to a pointer, as the
    framework's own crash hook passes it.
*/
void writeCrashLog (void* faultInfo);

/** The pieces of writeCrashLog that do not depend on a fault being in progress. */
namespace CrashLog
{
/** "Exception 0xc0000005": the code in lower-case hex without leading zeros. */
juce::String describeException (juce::uint32 exceptionCode);

/** "Signal 11 (SIGSEGV)"; just the number for a signal without a known name. */
juce::String describeSignal (int signalNumber);

/** "Ombrix Audio/Pelorvane/Crash Logs" under appData, or under userAppDataFolder when
        appData is empty. */
juce::File getLogFolder (const juce::String& appData, const juce::File& userAppDataFolder);

/** The fault line, a rule of six hyphens, then the back-trace. */
juce::String formatLogText (const juce::String& faultLine, const juce::String& backtrace);

/** Creates the folder if needed and appends the text, with CR LF line ends, to a new file
        "Crash YYYY-MM-DD HH-MM-SS.txt" ("(2)", "(3)" ... before the extension when that name
        is taken). Returns the file chosen, whether or not the write succeeded.
    */
juce::File writeLogFile (const juce::File& folder, juce::Time faultTime, const juce::String& text);
} // namespace CrashLog
