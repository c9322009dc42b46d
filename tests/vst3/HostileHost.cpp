#include "HostileHost.h"

#include "CheckReport.h"
#include "RawAudioHost.h"
#include "RawHostFixtures.h"
#include "RawHostInterfaces.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

using namespace Steinberg;

namespace
{
using Changes = std::vector<RawAudioHost::ParameterChange>;

constexpr double sampleRate = 48000.0;
constexpr int announcedBlock = 512;

struct Stereo
{
    std::vector<float> left, right;

    Stereo (RawTestSignal& signal, int length)
        : left (static_cast<size_t> (length)), right (static_cast<size_t> (length))
    {
        for (size_t i = 0; i < left.size(); ++i)
            signal.next (left[i], right[i]);
    }

    bool isFinite() const
    {
        const auto finite = [] (float x)
        { return std::isfinite (x); };
        return std::all_of (left.begin(), left.end(), finite) && std::all_of (right.begin(), right.end(), finite);
    }

    double energy() const
    {
        double sum = 0.0;

        for (size_t i = 0; i < left.size(); ++i)
            sum += static_cast<double> (left[i]) * left[i] + static_cast<double> (right[i]) * right[i];

        return sum;
    }
};

bool hostedWell (const RawAudioHost& host)
{
    check (host.error().empty(), "the module is hosted: " + host.error());
    return host.error().empty();
}

/** A call with the bus buffers a host hands over: numChannels pointers to left or right. */
struct BusCall
{
    BusCall (Stereo& audio, int numChannels, bool withPointers)
    {
        pointers[0] = audio.left.data();
        pointers[1] = audio.right.data();

        for (auto* bus : { &input, &output })
        {
            bus->numChannels = numChannels;
            bus->channelBuffers32 = withPointers ? pointers : nullptr;
        }

        data.numSamples = static_cast<int32> (audio.left.size());
        data.numInputs = 1;
        data.numOutputs = 1;
        data.inputs = &input;
        data.outputs = &output;
    }

    float* pointers[2];
    Vst::AudioBusBuffers input, output;
    Vst::ProcessData data;
};

//==============================================================================
int blocksLongerThanAnnounced (const std::string& module)
{
    section ("blocks longer than the size announced");
    RawAudioHost whole (module, sampleRate, announcedBlock);
    RawAudioHost inPieces (module, sampleRate, announcedBlock);

    if (! hostedWell (whole) || ! hostedWell (inPieces))
        return finishReport();

    using namespace RawHostParameters;
    const std::vector<std::pair<int, Changes>> blocks {
        { 4096, { { space, 0.8 }, { lumens, 0.7 }, { mix, 1.0 } } },
        { 1000, {} },
        { 513, { { tone, 0.2 } } },
        { 512, {} },
        { 1, { { bypass, 1.0 } } },
        { 7000, { { bypass, 0.0 }, { space, 0.3 } } },
        { 2048, {} },
    };

    RawTestSignal signalA, signalB;
    bool processed = true, identical = true, finite = true;
    double energy = 0.0;

    for (const auto& [length, changes] : blocks)
    {
        Stereo a (signalA, length), b (signalB, length);
        processed = whole.process (a.left.data(), a.right.data(), length, changes) && processed;

        for (int start = 0; start < length; start += announcedBlock)
        {
            const auto piece = std::min (announcedBlock, length - start);
            processed = inPieces.process (b.left.data() + start, b.right.data() + start, piece, start == 0 ? changes : Changes {}) && processed;
        }

        identical = identical && a.left == b.left && a.right == b.right;
        finite = finite && a.isFinite();
        energy += a.energy();
    }

    check (processed, "every block is processed");
    check (identical, "long blocks sound exactly like the same audio in blocks of the announced size");
    check (finite && energy > 1.0, "the output is finite and carries the signal");
    return finishReport();
}

int channelCountsBelowTheArrangement (const std::string& module)
{
    section ("buses with fewer channels than arranged");
    RawAudioHost host (module, sampleRate, announcedBlock);

    if (! hostedWell (host))
        return finishReport();

    RawTestSignal signal;

    for (const int channels : { 0, 1 })
    {
        Stereo audio (signal, 256);
        BusCall call (audio, channels, channels > 0);
        check (host.processData (call.data), "a block with " + std::to_string (channels) + " channels per bus is processed");
        check (audio.isFinite(), "what it leaves in the buffers is finite");
    }

    Stereo audio (signal, 1024);
    check (host.process (audio.left.data(), audio.right.data(), 1024), "stereo blocks are processed afterwards");
    check (audio.isFinite() && audio.energy() > 1.0, "with finite sound");
    return finishReport();
}

int flushesWithoutBuffers (const std::string& module)
{
    section ("flushes and blocks without buffers");
    RawAudioHost host (module, sampleRate, announcedBlock);

    if (! hostedWell (host))
        return finishReport();

    RawTestSignal signal;
    Stereo empty (signal, 0);
    BusCall flush (empty, 2, false);
    RawParameterChanges bypassOn;
    bypassOn.add (RawHostParameters::bypass, 1.0);
    flush.data.inputParameterChanges = &bypassOn;
    check (host.processData (flush.data), "a flush with buses but no channel pointers is taken");

    Vst::ProcessData busesWithoutArrays;
    busesWithoutArrays.numInputs = 1;
    busesWithoutArrays.numOutputs = 1;
    check (host.processData (busesWithoutArrays), "a flush that counts buses but hands none is taken");

    Stereo silent (signal, 700);
    BusCall noPointers (silent, 2, false);
    check (host.processData (noPointers.data), "a long block with no channel pointers is taken");

    // The flush's change arrived: bypassed, both sides carry the left input.
    Stereo audio (signal, 256);
    const auto input = audio.left;
    check (host.process (audio.left.data(), audio.right.data(), 256), "a block after the flushes is processed");
    check (audio.left == input && audio.right == input, "the bypass sent with the flush is in effect");
    return finishReport();
}

int busesLeftOff (const std::string& module)
{
    section ("audio buses never switched on");
    RawAudioHost host (module, sampleRate, announcedBlock, false);

    if (! hostedWell (host))
        return finishReport();

    RawTestSignal signal;
    bool processed = true;

    for (const int length : { 256, 512, 3000 })
    {
        Stereo audio (signal, length);
        processed = host.process (audio.left.data(), audio.right.data(), length) && processed;
    }

    check (processed, "blocks are taken, of the announced size and longer");
    return finishReport();
}

int unusableSetups (const std::string& module)
{
    section ("unusable sample rates and block sizes");
    const auto nan = std::numeric_limits<double>::quiet_NaN();
    const auto infinity = std::numeric_limits<double>::infinity();
    const std::vector<std::pair<double, int>> setups {
        { nan, announcedBlock },
        { 0.0, announcedBlock },
        { -48000.0, announcedBlock },
        { 3.0e9, announcedBlock },
        { infinity, announcedBlock },
        { 0.5, announcedBlock },
        { sampleRate, 0 },
        { sampleRate, -5 },
    };

    for (const auto& [rate, block] : setups)
    {
        const auto what = "rate " + std::to_string (rate) + ", block " + std::to_string (block);
        RawAudioHost host (module, rate, block);

        if (! hostedWell (host))
            continue;

        RawTestSignal signal;
        Stereo audio (signal, 2000);
        check (host.process (audio.left.data(), audio.right.data(), 2000, { { RawHostParameters::space, 0.9 } }), what + ": processed");
        check (audio.isFinite(), what + ": finite output");
        host.tailSamples();
    }

    return finishReport();
}

struct Case
{
    const char* name;
    int (*run) (const std::string&);
};

const Case cases[] = {
    { "long-blocks", blocksLongerThanAnnounced },
    { "few-channels", channelCountsBelowTheArrangement },
    { "flushes", flushesWithoutBuffers },
    { "buses-off", busesLeftOff },
    { "bad-setups", unusableSetups },
};
} // namespace

int runHostileHostCase (const std::string& modulePath, const std::string& caseName)
{
    for (const auto& c : cases)
        if (caseName == c.name)
            return c.run (modulePath);

    return 2;
}

int faultInsideTheModule (const std::string& modulePath)
{
#if defined(_WIN32)
    // As a host's own crash handling would after ours: end the process, no debugger.
    SetUnhandledExceptionFilter ([] (EXCEPTION_POINTERS*) -> LONG
                                 { return EXCEPTION_EXECUTE_HANDLER; });
#endif

    RawAudioHost host (modulePath, sampleRate, announcedBlock);

    if (! host.error().empty())
    {
        std::fprintf (stderr, "cannot host the module: %s\n", host.error().c_str());
        return 3;
    }

#if defined(_WIN32)
    auto* unreadable = static_cast<float*> (VirtualAlloc (nullptr, 65536, MEM_RESERVE, PAGE_NOACCESS));
#else
    auto* unreadable = static_cast<float*> (mmap (nullptr, 65536, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
#endif

    RawTestSignal signal;
    Stereo audio (signal, announcedBlock);
    BusCall call (audio, 2, true);
    float* inputs[] = { unreadable, unreadable };
    call.input.channelBuffers32 = inputs;
    host.processData (call.data);

    std::fprintf (stderr, "the module read unreadable memory without faulting\n");
    return 4;
}

const char* hostileHostCaseNames()
{
    return "long-blocks|few-channels|flushes|buses-off|bad-setups";
}
