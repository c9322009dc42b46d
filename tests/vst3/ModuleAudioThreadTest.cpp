// The built module's IAudioProcessor::process as a host's audio thread calls it, counted on
// that thread: no heap call and no lock, block after block, whatever the block sizes; only the
// framework's own notification of a host's parameter change takes a lock (the parameter's
// listener lock, as in AudioThreadAllocationTest).
#include "AllocationCounter.h"
#include "RawAudioHost.h"
#include "RawBlockCall.h"
#include "RawHostFixtures.h"
#include "RawHostInterfaces.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;

std::vector<float> noise (size_t length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> level (-0.5f, 0.5f);
    std::vector<float> v (length);
    for (auto& s : v)
        s = level (rng);
    return v;
}

} // namespace

TEST (ModuleAudioThread, ProcessNeitherAllocatesNorLocksAtAnyBlockSize)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    for (const int maxBlock : { 32, 512 })
    {
        RawAudioHost host (PELORVANE_VST3_MODULE, sampleRate, maxBlock);
        ASSERT_TRUE (host.error().empty()) << host.error();

        const auto left = noise (size_t (maxBlock), 1u), right = noise (size_t (maxBlock), 2u);
        std::vector<float> outLeft (static_cast<size_t> (maxBlock)), outRight (static_cast<size_t> (maxBlock));
        RawParameterChanges noChanges;
        RawOutputParameterChanges changesForHost;
        RawBlockCall call (sampleRate, &noChanges, &changesForHost);
        std::mt19937 rng (3);
        std::uniform_int_distribution<int> blockSize (1, maxBlock);
        AudioPathCounts counts;
        bool processed = true;

        // The first blocks settle whatever the framework sets up once.
        for (int block = 0; block < 3000; ++block)
        {
            auto& data = call.next (left.data(), right.data(), outLeft.data(), outRight.data(), block % 3 == 0 ? maxBlock : blockSize (rng));

            if (block < 10)
                processed = host.processData (data) && processed;
            else
                counts.count ([&]
                              { processed = host.processData (data) && processed; });

            changesForHost.clear();
        }

        EXPECT_TRUE (processed);
        EXPECT_EQ (counts.heapCalls, 0) << "over " << counts.calls << " blocks of up to " << maxBlock;
        EXPECT_EQ (counts.locks, 0) << "over " << counts.calls << " blocks of up to " << maxBlock;
    }
}

TEST (ModuleAudioThread, HostParameterChangesAllocateNothing)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    constexpr int blockSize = 64;
    RawAudioHost host (PELORVANE_VST3_MODULE, sampleRate, blockSize);
    ASSERT_TRUE (host.error().empty()) << host.error();

    const auto left = noise (blockSize, 4u), right = noise (blockSize, 5u);
    std::vector<float> outLeft (blockSize), outRight (blockSize);
    const Steinberg::Vst::ParamID knobs[] = { RawHostParameters::space, RawHostParameters::lumens, RawHostParameters::tone, RawHostParameters::mix };

    // Every list of changes is made before the blocks, so that only the module's work counts.
    std::mt19937 rng (6);
    std::uniform_real_distribution<double> normalised (0.0, 1.0);
    std::vector<RawParameterChanges> changes (2000);

    for (size_t block = 0; block < changes.size(); ++block)
    {
        if (block % 2 == 0)
            changes[block].add (knobs[block / 2 % 4], normalised (rng));

        if (block % 97 == 0)
            changes[block].add (RawHostParameters::bypass, block / 97 % 2 == 0 ? 1.0 : 0.0);
    }

    RawOutputParameterChanges changesForHost;
    AudioPathCounts withChanges, without;
    bool processed = true;

    for (size_t block = 0; block < changes.size(); ++block)
    {
        RawBlockCall call (sampleRate, &changes[block], &changesForHost);
        auto& data = call.next (left.data(), right.data(), outLeft.data(), outRight.data(), blockSize);
        auto& counts = changes[block].getParameterCount() > 0 ? withChanges : without;

        if (block < 10)
            processed = host.processData (data) && processed;
        else
            counts.count ([&]
                          { processed = host.processData (data) && processed; });

        changesForHost.clear();
    }

    EXPECT_TRUE (processed);
    EXPECT_EQ (withChanges.heapCalls + without.heapCalls, 0);
    EXPECT_EQ (without.locks, 0) << "over " << without.calls << " blocks without changes";
}
