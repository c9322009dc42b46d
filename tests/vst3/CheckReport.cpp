#include "CheckReport.h"

#include <cstdio>

namespace
{
int passed = 0;
int failed = 0;
} // namespace

void check (bool ok, const std::string& what)
{
    if (ok)
    {
        ++passed;
        return;
    }

    ++failed;
    std::printf ("  FAILED: %s\n", what.c_str());
    std::fflush (stdout);
}

void checkText (const std::string& actual, const std::string& expected, const std::string& what)
{
    check (actual == expected, what + ": got \"" + actual + "\", expected \"" + expected + "\"");
}

void checkNumber (long long actual, long long expected, const std::string& what)
{
    check (actual == expected, what + ": got " + std::to_string (actual) + ", expected " + std::to_string (expected));
}

void section (const char* name)
{
    std::printf ("[ %s ]\n", name);
    std::fflush (stdout);
}

int finishReport()
{
    std::printf ("%d passed, %d failed\n", passed, failed);
    return failed == 0 && passed > 0 ? 0 : 1;
}
