#pragma once

#include <cstdio>
#include <string>

/** Redirects the process's standard output into a temporary file while it lives, so that
    what a loaded module prints can be read back.
*/
class OutputCapture
{
public:
    OutputCapture();
    ~OutputCapture();

    /** Restores standard output and returns what was written since construction. */
    std::string finish();

private:
    int savedDescriptor = -1;
    std::FILE* file = nullptr;

    OutputCapture (const OutputCapture&) = delete;
    OutputCapture& operator= (const OutputCapture&) = delete;
};
