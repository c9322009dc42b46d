#pragma once

/** Puts writeCrashLog in front of the process's last-chance fault handling: on Windows the
    unhandled-exception filter, elsewhere the dispositions of the fatal signals. Whatever the
    host had installed before still runs after the log is written, so a host that saves the
    user's work or reports its own crashes keeps doing so.

    The handlers we stand in front of form a chain, oldest first: the one the host had when
    we were first installed, then any the host put in over ours before a later install. A
    fault goes on to the newest; if that one passes it on to its own predecessor (us), it
    goes on to the next older one, and after the oldest to the system's default.
*/
namespace CrashHandler
{
/** Safe to call on every processor construction: prepares the log (folder, time zone,
    build line), then puts ours back in front if the host has put something over it.
*/
void install();

/** Puts back the handler we stood in front of, wherever ours is still the one installed.
    Runs by itself when the module is unloaded.
*/
void uninstall();
} // namespace CrashHandler
