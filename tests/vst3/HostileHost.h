#pragma once

#include <string>

/** Drives a module the way careless hosts do (blocks longer than announced, buses with
    fewer channels than arranged or none at all, flushes without buffers, buses left off,
    unusable sample rates and block sizes) and checks it answers with finite audio and no
    memory fault. Each case runs on its own, so a crash is put down to its case.

    Returns the program's exit code; an unknown case name gives 2.
*/
int runHostileHostCase (const std::string& modulePath, const std::string& caseName);

/** The case names, for usage text. */
const char* hostileHostCaseNames();

/** Hands the module a channel pointer into memory that cannot be read, so that it faults
    inside its own code and its crash handler writes a log. Does not return normally.
*/
int faultInsideTheModule (const std::string& modulePath);
