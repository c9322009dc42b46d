// The built module's IAudioProcessor::process as a host's audio thread calls it, counted on
// that thread: no heap call and no lock, block after block, whatever the block sizes; only the
// framework's own notification of a host's parameter change takes a lock (the parameter's
// listener lock, as in AudioThreadAllocationTest). A thread the host starts after loading the
// module, which has never called into it, neither allocates nor wakes the message thread from
// its very first block on.
#include "AllocationCounter.h"
#include "OpenEditor.h"
#include "RawAudioHost.h"
#include "RawBlockCall.h"
#include "RawHostFixtures.h"
#include "RawHostInterfaces.h"
#include "RawPlugFrame.h"
#include "X11HostSetup.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>
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

/** A host's automation of all five parameters, one list of changes a block, made before the
    blocks so that only the module's work counts: the first block moves every parameter, then
    every other block one of the knobs, and every 97th Bypass. */
std::vector<RawParameterChanges> automation (size_t numBlocks, unsigned seed)
{
    using namespace RawHostParameters;
    const Steinberg::Vst::ParamID knobs[] = { space, lumens, tone, mix };
    std::mt19937 rng (seed);
    std::uniform_real_distribution<double> normalised (0.0, 1.0);
    std::vector<RawParameterChanges> changes (numBlocks);

    for (size_t block = 0; block < numBlocks; ++block)
    {
        for (size_t knob = 0; knob < 4; ++knob)
            if (block == 0 || (block % 2 == 0 && knob == block / 2 % 4))
                changes[block].add (knobs[knob], normalised (rng));

        if (block % 97 == 0)
            changes[block].add (bypass, block / 97 % 2 == 0 ? 1.0 : 0.0);
    }

    return changes;
}

/** Processes one block a list of changes, paced as a sound card paces them, on a thread started
    now, after the module was loaded and set up, and counts from its very first process call;
    meanwhile this thread serves the run loop, as a host's main thread does. */
AudioPathCounts countOnFreshAudioThread (RawAudioHost& host, std::vector<RawParameterChanges>& changes, RawRunLoop& runLoop, bool& processed)
{
    constexpr int blockSize = 64;
    const auto left = noise (blockSize, 8u), right = noise (blockSize, 9u);
    std::vector<float> outLeft (blockSize), outRight (blockSize);
    RawOutputParameterChanges changesForHost;
    AudioPathCounts counts;
    std::atomic<bool> finished { false };

    std::thread audioThread ([&]
                             {
                                 for (auto& blockChanges : changes)
                                 {
                                     RawBlockCall call (sampleRate, &blockChanges, &changesForHost);
                                     auto& data = call.next (left.data(), right.data(), outLeft.data(), outRight.data(), blockSize);
                                     counts.count ([&]
                                                   { processed = host.processData (data) && processed; });
                                     changesForHost.clear();
                                     std::this_thread::sleep_for (std::chrono::microseconds (blockSize * 1000000 / int (sampleRate)));
                                 }

                                 finished = true;
                             });

    while (! finished)
        runLoop.dispatch (1);

    audioThread.join();
    return counts;
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
    auto changes = automation (2000, 6u);
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

TEST (ModuleAudioThread, FreshAudioThreadNeitherAllocatesNorWakesFromItsFirstBlock)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    auto* display = openHostDisplay();

    for (const bool windowOpen : { false, true })
    {
        if (windowOpen && display == nullptr)
            GTEST_SKIP() << "no X display to open the window on";

        RawRunLoop runLoop;
        RawPlugFrame frame (&runLoop);
        RawAudioHost host (PELORVANE_VST3_MODULE, sampleRate, 64);
        ASSERT_TRUE (host.error().empty()) << host.error();
        std::unique_ptr<OpenEditor> editor;

        if (windowOpen)
        {
            editor = std::make_unique<OpenEditor> (host, frame, display);
            ASSERT_TRUE (editor->isAttached());

            for (int i = 0; i < 100; ++i)
                runLoop.dispatch (2);
        }

        auto changes = automation (400, 7u);
        bool processed = true;
        const auto counts = countOnFreshAudioThread (host, changes, runLoop, processed);
        const char* window = windowOpen ? "the window open" : "the window closed";

        EXPECT_TRUE (processed);
        EXPECT_EQ (counts.heapCalls, 0) << "over " << counts.calls << " blocks with " << window;
        EXPECT_EQ (counts.writes, 0) << "over " << counts.calls << " blocks with " << window;
    }

    closeHostDisplay (display);
}
