// The audio path must neither allocate nor lock: counted on the calling thread around each
// processBlock and compute call, with the host's parameter changes and bypass toggles in
// between.
#include "AllocationCounter.h"
#include "dsp/mydsp.h"
#include "editor/EditorTestSupport.h"
#include "processor/PluginProcessor.h"

#include <faust/gui/MapUI.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
// Keeps a test allocation from being optimised away.
void* volatile escape = nullptr;

// Without the framework's version line on the test's output.
std::unique_ptr<PelorvaneAudioProcessor> makeQuietProcessor()
{
    testing::internal::CaptureStdout();
    auto processor = std::make_unique<PelorvaneAudioProcessor>();
    testing::internal::GetCapturedStdout();
    return processor;
}

std::vector<float> noise (int length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> level (-0.5f, 0.5f);
    std::vector<float> v (static_cast<size_t> (length));
    for (auto& s : v)
        s = level (rng);
    return v;
}
} // namespace

TEST (AllocationCounter, SeesEveryHeapCallAndLock)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    std::mutex mutex;
    long heapCalls = 0, locks = 0;
    {
        AllocationCounter counter;
        escape = new int (3);
        delete static_cast<int*> (escape);
        escape = std::malloc (100);
        std::free (escape);
        const std::string longText (200, 'x');
        escape = const_cast<char*> (longText.data());
        std::lock_guard<std::mutex> lock (mutex);
        heapCalls = counter.heapCalls();
        locks = counter.locks();
    }
    EXPECT_EQ (heapCalls, 5); // new, delete, malloc, free and the string's buffer
    EXPECT_EQ (locks, 1);

    AllocationCounter fresh;
    EXPECT_EQ (fresh.heapCalls(), 0);
    EXPECT_EQ (fresh.locks(), 0);
}

TEST (AudioThreadAllocation, ProcessBlockNeitherAllocatesNorLocks)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    juce::ScopedJuceInitialiser_GUI juceInit;
    const auto processor = makeQuietProcessor();

    constexpr int maxBlock = 1024;
    processor->prepareToPlay (48000.0, maxBlock);
    auto& parameters = processor->parameters;

    const auto input = noise (maxBlock, 1u);
    juce::AudioBuffer<float> buffer (2, maxBlock);
    juce::MidiBuffer midi;
    std::mt19937 rng (2);
    std::uniform_int_distribution<int> blockSize (1, maxBlock);
    std::uniform_real_distribution<float> normalised (0.0f, 1.0f);

    AudioPathCounts counts;
    int bypassedBlocks = 0, blocksWithTail = 0;

    for (int block = 0; block < 3000; ++block)
    {
        // The host's side: automation of every knob, and the footswitch now and then.
        for (const char* id : { "Space", "Lumens", "Tone", "Mix" })
            parameters.getParameter (id)->setValueNotifyingHost (normalised (rng));
        if (block % 97 == 0)
            parameters.getParameter ("Bypass")->setValueNotifyingHost (block % 2 == 0 ? 1.0f : 0.0f);

        const int count = blockSize (rng);
        buffer.copyFrom (0, 0, input.data(), count);
        buffer.copyFrom (1, 0, input.data(), count);
        juce::AudioBuffer<float> view (buffer.getArrayOfWritePointers(), 2, 0, count);

        counts.count ([&] { processor->processBlock (view, midi); });

        const bool bypassed = parameters.getRawParameterValue ("Bypass")->load() >= 0.5f;
        bypassedBlocks += bypassed ? 1 : 0;
        blocksWithTail += ! bypassed && view.getSample (0, count - 1) != input[size_t (count - 1)] ? 1 : 0;
    }

    EXPECT_EQ (counts.heapCalls, 0) << "over " << counts.calls << " blocks";
    EXPECT_EQ (counts.locks, 0) << "over " << counts.calls << " blocks";

    // Both paths were taken, and the reverb really ran.
    EXPECT_GT (bypassedBlocks, 100);
    EXPECT_GT (blocksWithTail, 100);
}

// The host's audio thread automates every parameter with its blocks while the window is open
// and the message thread runs. The framework's own parameter notification takes the
// parameter's listener lock once per change (and the container's listener lock once more when
// the value changed), window or not; the window must add nothing.
TEST (AudioThreadAllocation, AutomationWithTheWindowOpenAddsNeitherAllocationsNorLocks)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    juce::ScopedJuceInitialiser_GUI juceInit;
    const auto processor = makeQuietProcessor();

    constexpr int blockSize = 256;
    constexpr int numBlocks = 400;
    processor->prepareToPlay (48000.0, blockSize);
    std::vector<juce::AudioProcessorParameter*> automated;
    for (const char* id : { "Bypass", "Space", "Lumens", "Tone", "Mix" })
        automated.push_back (processor->parameters.getParameter (id));

    const auto input = noise (blockSize, 6u);
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    // The same values on every run: Bypass on every third block, the knobs on their own cycles.
    const auto valueFor = [] (size_t parameter, int block)
    {
        if (parameter == 0)
            return block % 3 == 0 ? 1.0f : 0.0f;

        return static_cast<float> ((block * 7 + static_cast<int> (parameter) * 3) % 11) / 10.0f;
    };

    struct AudioThreadCounts
    {
        AudioPathCounts automation, blocks;
    };

    const auto runAudioThread = [&]
    {
        AudioThreadCounts counts;
        std::atomic<bool> finished { false };
        for (auto* parameter : automated)
            parameter->setValueNotifyingHost (0.0f);

        std::thread audioThread ([&]
                                 {
                                     for (int block = 0; block < numBlocks; ++block)
                                     {
                                         buffer.copyFrom (0, 0, input.data(), blockSize);
                                         for (size_t i = 0; i < automated.size(); ++i)
                                             counts.automation.count ([&] { automated[i]->setValueNotifyingHost (valueFor (i, block)); });
                                         counts.blocks.count ([&] { processor->processBlock (buffer, midi); });
                                         std::this_thread::sleep_for (std::chrono::microseconds (300));
                                     }
                                     finished = true; });

        // The message thread keeps running meanwhile, so whatever the window does with the
        // changes happens while they arrive.
        EditorTestSupport::pumpMessagesUntil ([&]
                                              { return finished.load(); },
                                              20000);
        audioThread.join();
        return counts;
    };

    const auto windowClosed = runAudioThread();
    const std::unique_ptr<juce::AudioProcessorEditor> editor (processor->createEditor());
    const auto windowOpen = runAudioThread();

    EXPECT_EQ (windowOpen.automation.heapCalls, windowClosed.automation.heapCalls);
    EXPECT_EQ (windowOpen.automation.locks, windowClosed.automation.locks);
    EXPECT_EQ (windowOpen.blocks.heapCalls + windowClosed.blocks.heapCalls, 0);
    EXPECT_EQ (windowOpen.blocks.locks + windowClosed.blocks.locks, 0);

    std::cout << "over " << windowClosed.automation.calls << " changes of five parameters: window closed "
              << windowClosed.automation.locks << " locks, " << windowClosed.automation.heapCalls << " heap calls; window open "
              << windowOpen.automation.locks << " locks, " << windowOpen.automation.heapCalls << " heap calls\n";
}

TEST (AudioThreadAllocation, ZoneWritesAndComputeNeitherAllocateNorLock)
{
    if (! AllocationCounter::isAvailable)
        GTEST_SKIP() << AllocationCounter::whyUnavailable;

    MapUI map;
    auto engine = std::make_unique<mydsp>();
    engine->buildUserInterface (&map);

    constexpr int maxBlock = 4096;
    const auto left = noise (maxBlock, 3u), right = noise (maxBlock, 4u);
    std::vector<float> outLeft (maxBlock), outRight (maxBlock);
    std::mt19937 rng (5);
    std::uniform_int_distribution<int> blockSize (1, maxBlock);
    std::uniform_real_distribution<float> knob (0.0f, 10.0f);
    AudioPathCounts counts;

    for (int rate : { 8000, 44100, 48000, 192000 })
    {
        engine->init (rate);

        for (int block = 0; block < 300; ++block)
        {
            const int count = blockSize (rng);
            const float space = knob (rng), lumens = knob (rng), tone = knob (rng), mix = knob (rng) / 10.0f;
            float* inputs[] = { const_cast<float*> (left.data()), const_cast<float*> (right.data()) };
            float* outputs[] = { outLeft.data(), outRight.data() };

            // The labels fit the strings' own buffers, so the map's look-ups need no heap.
            counts.count ([&]
                          {
                              map.setParamValue ("space", space);
                              map.setParamValue ("lumens", lumens);
                              map.setParamValue ("tone", tone);
                              map.setParamValue ("mix", mix);
                              engine->compute (count, inputs, outputs);
                          });
        }
    }

    EXPECT_EQ (counts.heapCalls, 0) << "over " << counts.calls << " blocks";
    EXPECT_EQ (counts.locks, 0) << "over " << counts.calls << " blocks";
}
