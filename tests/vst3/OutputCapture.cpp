#include "OutputCapture.h"

#ifdef _WIN32
    #include <io.h>
#else
    #include <unistd.h>
#endif

namespace
{
constexpr int standardOutput = 1;

int duplicateDescriptor (int descriptor)
{
#ifdef _WIN32
    return _dup (descriptor);
#else
    return dup (descriptor);
#endif
}

void redirectDescriptor (int from, int to)
{
#ifdef _WIN32
    _dup2 (from, to);
#else
    dup2 (from, to);
#endif
}

void closeDescriptor (int descriptor)
{
#ifdef _WIN32
    _close (descriptor);
#else
    close (descriptor);
#endif
}

int descriptorOf (std::FILE* file)
{
#ifdef _WIN32
    return _fileno (file);
#else
    return fileno (file);
#endif
}
} // namespace

OutputCapture::OutputCapture()
{
    std::fflush (stdout);
    file = std::tmpfile();

    if (file == nullptr)
        return;

    savedDescriptor = duplicateDescriptor (standardOutput);
    redirectDescriptor (descriptorOf (file), standardOutput);
}

OutputCapture::~OutputCapture()
{
    finish();
}

std::string OutputCapture::finish()
{
    if (file == nullptr)
        return {};

    std::fflush (stdout);

    if (savedDescriptor >= 0)
    {
        redirectDescriptor (savedDescriptor, standardOutput);
        closeDescriptor (savedDescriptor);
        savedDescriptor = -1;
    }

    std::string text;
    std::rewind (file);

    for (int c = std::fgetc (file); c != EOF; c = std::fgetc (file))
        text += static_cast<char> (c);

    std::fclose (file);
    file = nullptr;
    return text;
}
