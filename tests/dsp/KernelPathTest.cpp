// The choice of instruction set for the engine's compute: the widest the processor has, or
// the one a test asks for, and the same samples and state on every path.
#include "dsp/KernelPath.h"
#include "KernelPathSelection.h"
#include "dsp/mydsp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
const KernelPath::Path allPaths[] = { KernelPath::Path::portable, KernelPath::Path::sse2, KernelPath::Path::avx2, KernelPath::Path::neon };

/** Puts the path back as it was when the test ends. */
struct RestoredPath
{
    ~RestoredPath() { KernelPath::force (before); }
    const KernelPath::Path before = KernelPath::active();
};
} // namespace

TEST (KernelPath, TheActivePathIsTheRequestedOneOrTheWidest)
{
    const auto requested = KernelPathSelection::requested();
    EXPECT_EQ (KernelPath::active(), requested.value_or (KernelPath::widest())) << KernelPath::name (KernelPath::active());
}

TEST (KernelPath, Avx2IsAvailableExactlyWhenTheProcessorHasIt)
{
#if defined(__GNUC__) && defined(__x86_64__)
    __builtin_cpu_init();
    const bool processorHasAvx2 = __builtin_cpu_supports ("avx2") != 0;
    EXPECT_EQ (KernelPath::isAvailable (KernelPath::Path::avx2), processorHasAvx2);
    EXPECT_EQ (KernelPath::widest(), processorHasAvx2 ? KernelPath::Path::avx2 : KernelPath::Path::sse2);

    // Every x86-64 processor has SSE2; the portable lanes are for processors without it.
    EXPECT_TRUE (KernelPath::isAvailable (KernelPath::Path::sse2));
    EXPECT_FALSE (KernelPath::isAvailable (KernelPath::Path::portable));
    EXPECT_FALSE (KernelPath::isAvailable (KernelPath::Path::neon));
#else
    GTEST_SKIP() << "not an x86-64 build";
#endif
}

TEST (KernelPath, NeonIsTheWidestOn64BitArm)
{
#if defined(__aarch64__)
    // Every 64-bit ARM processor has NEON; the portable lanes stay for comparison.
    EXPECT_EQ (KernelPath::widest(), KernelPath::Path::neon);
    EXPECT_TRUE (KernelPath::isAvailable (KernelPath::Path::portable));
    EXPECT_FALSE (KernelPath::isAvailable (KernelPath::Path::sse2));
    EXPECT_FALSE (KernelPath::isAvailable (KernelPath::Path::avx2));
#else
    GTEST_SKIP() << "not a 64-bit ARM build";
#endif
}

TEST (KernelPath, AnUnavailablePathIsRefusedAndChangesNothing)
{
    const RestoredPath restored;

    for (auto path : allPaths)
    {
        if (KernelPath::isAvailable (path))
            continue;

        const auto before = KernelPath::active();
        EXPECT_FALSE (KernelPath::force (path)) << KernelPath::name (path);
        EXPECT_EQ (KernelPath::active(), before);
    }
}

TEST (KernelPath, EveryAvailablePathGivesTheSameSamplesAndState)
{
    const RestoredPath restored;
    std::mt19937 rng (3);
    std::uniform_real_distribution<float> level (-0.5f, 0.5f), knob (0.0f, 10.0f);
    std::uniform_int_distribution<int> blockSize (1, 700);

    std::vector<float> left (60000), right (60000);
    for (size_t i = 0; i < left.size(); ++i)
    {
        left[i] = level (rng);
        right[i] = level (rng);
    }

    struct Run
    {
        KernelPath::Path path;
        std::unique_ptr<mydsp> engine = std::make_unique<mydsp>();
        std::vector<float> outLeft, outRight;
    };

    std::vector<Run> runs;
    for (auto path : allPaths)
    {
        if (! KernelPath::isAvailable (path))
            continue;

        Run run;
        run.path = path;
        runs.push_back (std::move (run));
    }

    ASSERT_FALSE (runs.empty());

    // The same blocks and settings for every path, one block on each in turn.
    for (auto& run : runs)
    {
        run.engine->init (48000);
        run.outLeft = left;
        run.outRight = right;
    }

    for (size_t start = 0; start < left.size();)
    {
        const auto count = std::min (size_t (blockSize (rng)), left.size() - start);
        const float space = knob (rng), lumens = knob (rng), tone = knob (rng), mix = knob (rng) / 10.0f;

        for (auto& run : runs)
        {
            ASSERT_TRUE (KernelPath::force (run.path));
            run.engine->fHslider2 = space;
            run.engine->fHslider3 = lumens;
            run.engine->fHslider1 = tone;
            run.engine->fHslider0 = mix;
            float* io[] = { run.outLeft.data() + start, run.outRight.data() + start };
            run.engine->compute (int (count), io, io);
        }

        start += count;
    }

    const auto& first = runs.front();
    const auto* stateBegin = reinterpret_cast<const char*> (&first.engine->fHslider0);
    const auto stateLength = size_t (reinterpret_cast<const char*> (&first.engine->fRec9 + 1) - stateBegin);

    for (const auto& run : runs)
    {
        EXPECT_EQ (std::memcmp (run.outLeft.data(), first.outLeft.data(), left.size() * sizeof (float)), 0) << KernelPath::name (run.path);
        EXPECT_EQ (std::memcmp (run.outRight.data(), first.outRight.data(), right.size() * sizeof (float)), 0) << KernelPath::name (run.path);
        EXPECT_EQ (std::memcmp (&run.engine->fHslider0, stateBegin, stateLength), 0) << KernelPath::name (run.path);
    }
}
