// The built LV2 module driven through the bare LV2 interface by a host that breaks its promises:
// blocks longer than the maximum it announced, a maximum of 0, and ports left unconnected.
#include "AllocationCounter.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace
{
// The bundle's ports: audio in 1 and 2, audio out 1 and 2, events in, events out.
constexpr uint32_t audioIn[] = { 0, 1 };
constexpr uint32_t audioOut[] = { 2, 3 };
constexpr uint32_t eventsOut = 5;

class UridMap
{
public:
    LV2_URID map (const char* uri)
    {
        return uris.emplace (uri, static_cast<LV2_URID> (uris.size() + 1)).first->second;
    }

    LV2_URID_Map feature { this, [] (LV2_URID_Map_Handle self, const char* uri) { return static_cast<UridMap*> (self)->map (uri); } };

private:
    std::map<std::string, LV2_URID> uris;
};

/** One instance of the module, with stereo buffers of `capacity` samples it connects as asked. */
class RawLv2Host
{
public:
    RawLv2Host (int64_t announcedMaxBlock, size_t capacity)
        : maxBlock (announcedMaxBlock), in (2, std::vector<float> (capacity)), out (2, std::vector<float> (capacity))
    {
        library = dlopen (PELORVANE_LV2_MODULE, RTLD_NOW | RTLD_LOCAL);

        if (library == nullptr)
            return;

        const auto entry = reinterpret_cast<LV2_Descriptor_Function> (dlsym (library, "lv2_descriptor"));
        descriptor = entry != nullptr ? entry (0) : nullptr;

        if (descriptor == nullptr)
            return;

        options[0] = { LV2_OPTIONS_INSTANCE, 0, urids.map (LV2_BUF_SIZE__maxBlockLength), sizeof (maxBlock), urids.map (LV2_ATOM__Long), &maxBlock };
        const LV2_Feature mapFeature { LV2_URID__map, &urids.feature };
        const LV2_Feature optionsFeature { LV2_OPTIONS__options, options };
        const LV2_Feature bounded { LV2_BUF_SIZE__boundedBlockLength, nullptr };
        const LV2_Feature* features[] = { &mapFeature, &optionsFeature, &bounded, nullptr };

        instance = descriptor->instantiate (descriptor, 48000.0, PELORVANE_LV2_BUNDLE, features);
    }

    ~RawLv2Host()
    {
        if (instance != nullptr)
            descriptor->cleanup (instance);

        // The framework's message thread and leak checks live in the module: it stays loaded.
    }

    bool isRunning() const { return instance != nullptr; }

    void connectAudio()
    {
        for (int c = 0; c < 2; ++c)
        {
            descriptor->connect_port (instance, audioIn[c], in[(size_t) c].data());
            descriptor->connect_port (instance, audioOut[c], out[(size_t) c].data());
        }
    }

    void disconnectInputs()
    {
        for (auto port : audioIn)
            descriptor->connect_port (instance, port, nullptr);
    }

    void connectEventsOut()
    {
        descriptor->connect_port (instance, eventsOut, events.data());
    }

    void run (uint32_t numSamples)
    {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*> (events.data());
        sequence->atom.size = static_cast<uint32_t> (events.size() * sizeof (events[0]) - sizeof (LV2_Atom));
        descriptor->run (instance, numSamples);
    }

    /** A noisy pluck on the left, other noise on the right, from sample `start` of the signal on. */
    void fill (size_t numSamples, size_t start)
    {
        for (size_t i = 0; i < numSamples; ++i)
        {
            const auto n = static_cast<double> (start + i);
            in[0][i] = static_cast<float> (0.5 * std::exp (-n / 4000.0) * std::sin (n * 0.05) + 0.01 * std::sin (n * 1.7));
            in[1][i] = static_cast<float> (0.2 * std::sin (n * 0.31));
        }
    }

    std::vector<std::vector<float>> in, out;

private:
    int64_t maxBlock;
    void* library = nullptr;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle instance = nullptr;
    UridMap urids;
    LV2_Options_Option options[2] {};
    std::vector<uint64_t> events = std::vector<uint64_t> (1024);
};

/** Plays the same signal through a host in blocks of `blockSize`; returns the left output. */
std::vector<float> play (RawLv2Host& host, uint32_t blockSize, size_t total, AudioPathCounts* counts = nullptr)
{
    std::vector<float> left;
    host.connectAudio();
    host.connectEventsOut();

    for (size_t start = 0; start < total; start += blockSize)
    {
        host.fill (blockSize, start);

        if (counts != nullptr)
            counts->count ([&] { host.run (blockSize); });
        else
            host.run (blockSize);

        left.insert (left.end(), host.out[0].begin(), host.out[0].begin() + blockSize);
    }

    return left;
}
} // namespace

TEST (Lv2Guard, BlocksLongerThanAnnouncedSoundAsIfSentInPiecesAndAllocateNothing)
{
    // Four pieces of the announced size each; then pieces of 256, 256, 256 and 232.
    for (const uint32_t longBlock : { 1024u, 1000u })
    {
        RawLv2Host careless (256, longBlock), careful (longBlock, longBlock);
        ASSERT_TRUE (careless.isRunning() && careful.isRunning());

        AudioPathCounts counts;
        const auto fromLongBlocks = play (careless, longBlock, 48000, longBlock == 1024 ? &counts : nullptr);
        const auto fromAnnouncedBlocks = play (careful, longBlock, 48000);

        EXPECT_EQ (fromLongBlocks, fromAnnouncedBlocks) << longBlock << "-sample blocks";
        EXPECT_GT (*std::max_element (fromLongBlocks.begin(), fromLongBlocks.end()), 0.01f);

        // The framework's buffer grows, and so allocates, whenever a block is longer than the one
        // before it: the pieces of 1000 samples (256 after 232) do that, as would a host's.
        if (AllocationCounter::isAvailable && longBlock == 1024)
            EXPECT_EQ (counts.heapCalls, 0) << "heap calls in " << counts.calls << " blocks of " << longBlock << " samples announced as 256";
    }
}

TEST (Lv2Guard, AMaximumOfZeroStillRuns)
{
    RawLv2Host host (0, 512);
    ASSERT_TRUE (host.isRunning());

    AudioPathCounts counts;
    const auto left = play (host, 512, 4096, &counts);
    EXPECT_GT (*std::max_element (left.begin(), left.end()), 0.01f);

    if (AllocationCounter::isAvailable)
        EXPECT_EQ (counts.heapCalls, 0);
}

TEST (Lv2Guard, UnconnectedPortsAreNeitherReadNorWritten)
{
    RawLv2Host host (512, 512);
    ASSERT_TRUE (host.isRunning());

    // Nothing connected at all.
    host.run (512);

    // The outputs alone: whatever lies in the input buffers, the plug-in hears silence.
    host.connectAudio();
    host.disconnectInputs();
    host.fill (512, 0);

    for (int block = 0; block < 20; ++block)
    {
        host.out[0].assign (512, 1.0f);
        host.out[1].assign (512, 1.0f);
        host.run (512);

        for (const auto& channel : host.out)
            ASSERT_TRUE (std::all_of (channel.begin(), channel.end(), [] (float sample) { return sample == 0.0f; })) << "block " << block;
    }
}
