#pragma once

/** A console process that hosts a plug-in module gets none of the X set-up a JUCE GUI
    application has, yet the module's own framework copy talks to the display from more
    than one thread. This makes Xlib thread-safe before anything opens a display, and
    keeps a harmless protocol error (such as a window that is already gone) from
    ending the process. Does nothing when libX11 is not installed.
*/
class XlibForHosting
{
public:
    static void prepare();
};
