// Runs every test of the program on the kernel path named by the environment variable
// PELORVANE_TEST_KERNEL_PATH ("portable", "sse2", "avx2" or "neon"), so that the same tests check each
// path: ctest runs the DSP tests once per path (tests/CMakeLists.txt). Without the variable the
// engine keeps the widest path, as in the plug-in. A path this build or processor does not
// have skips every test.
#include "KernelPathSelection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace
{
class KernelPathEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        const auto requested = KernelPathSelection::requested();

        if (! requested.has_value())
            return;

        if (! KernelPath::isAvailable (*requested))
            GTEST_SKIP() << "the " << KernelPath::name (*requested) << " path is not available here";

        ASSERT_TRUE (KernelPath::force (*requested));
    }
};

[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment (new KernelPathEnvironment);
} // namespace

std::optional<KernelPath::Path> KernelPathSelection::requested()
{
    const char* text = std::getenv ("PELORVANE_TEST_KERNEL_PATH");

    if (text == nullptr || *text == '\0')
        return std::nullopt;

    for (auto path : { KernelPath::Path::portable, KernelPath::Path::sse2, KernelPath::Path::avx2, KernelPath::Path::neon })
        if (KernelPathSelection::variableValue (path) == std::string (text))
            return path;

    ADD_FAILURE() << "PELORVANE_TEST_KERNEL_PATH names no kernel path: " << text;
    return std::nullopt;
}

const char* KernelPathSelection::variableValue (KernelPath::Path path)
{
    switch (path)
    {
        case KernelPath::Path::portable:
            return "portable";
        case KernelPath::Path::sse2:
            return "sse2";
        case KernelPath::Path::avx2:
            return "avx2";
        case KernelPath::Path::neon:
            return "neon";
    }

    return "";
}
