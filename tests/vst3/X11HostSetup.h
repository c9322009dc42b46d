#pragma once

/** Makes Xlib safe for a console host whose loaded plug-in brings its own copy of the
    framework: both copies use X from their own threads, and a full framework application
    would have installed handlers that survive X errors. Call before any X use; repeat calls
    do nothing.
*/
void prepareX11ForHosting();

typedef struct _XDisplay Display;

/** The display that DISPLAY names, opened after prepareX11ForHosting; null without one. */
Display* openHostDisplay();

/** Closes a display from openHostDisplay; null is ignored. */
void closeHostDisplay (Display* display);
