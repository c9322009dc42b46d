#pragma once

/** Puts writeCrashLog in front of the process's last-chance fault handling: on Windows the
    unhandled-exception filter, elsewhere the dispositions of the fatal signals. Whatever the
    host had installed before still runs after the log is written, so a host that saves the
    user's work or reports its own crashes keeps doing so.
*/
namespace CrashHandler
{
/** Safe to call on every processor construction: while ours is installed, nothing
        changes, so the chain never leads back to us. Something the host installed in the
        meantime becomes the handler we pass faults on to.
    */
void install();

/** Puts back what was installed before us, wherever ours is still the one installed.
        Runs by itself when the module is unloaded.
    */
void uninstall();
} // namespace CrashHandler
