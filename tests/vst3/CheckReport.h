#pragma once

#include <string>

/** Pass/fail bookkeeping for the plain check programs that run where no test framework is
    available (the Windows module under Wine). Failures are printed as they happen; the closing
    line is "N passed, M failed".
*/
void check (bool ok, const std::string& what);
void checkText (const std::string& actual, const std::string& expected, const std::string& what);
void checkNumber (long long actual, long long expected, const std::string& what);
void section (const char* name);

/** Prints the closing line and gives the program's exit code. */
int finishReport();
