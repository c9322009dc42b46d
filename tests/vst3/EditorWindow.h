#pragma once

#include <string>

/** Windows only: opens the editor of a VST3 module in a real top-level window, as a host does, and
    keeps it on screen while tests/windows/editor-under-wine-check.sh clicks it and grabs it from
    the X server that Wine draws on.

    The window is a borderless one at the screen's top-left corner, as large as the editor asks,
    titled "Pelorvane editor under Wine". Writes <controlFolder>/ready once the window has been on
    screen for a second, pumps the thread's messages as a host's main thread does until
    <controlFolder>/quit appears (at most two minutes), then prints the Bypass and Space values
    the controller holds, so that a click that never arrived can be told from a window that did
    not repaint. Returns the exit code of the check report.
*/
int showEditorInWindow (const std::string& modulePath, const std::string& controlFolder);
