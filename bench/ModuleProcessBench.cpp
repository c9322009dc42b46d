// What a host pays for the effect: the built VST3 module loaded through its factory (the raw
// host of tests/vst3) and its IAudioProcessor::process timed at 48 kHz, stereo, at the block
// sizes hosts run. Prints the cost per block and per stereo sample, and the fixed cost per
// block from a least-squares line through the cost per block against the block size.
// Plain VST3 interfaces only, so the same program cross-built for Windows times the Windows
// module under Wine. Not a test: it asserts nothing.
//
//   PelorvaneModuleBench [module] [--runs N] [--seconds S] [--quick] [--block N]
//
// module     the module's binary (default: the one this build made)
// --runs     runs; each measures every block size once, one after another (default 41)
// --seconds  processor time per block size and run (default 0.025)
// --quick    one short run, to see that it works
// --block    this block size only, without the fit (for a profiler)
// --ftz      the host's thread runs with flush-to-zero and denormals-are-zero on, as many
//            hosts' audio threads do (without it, as the thread starts: both off)
//
// On a shared machine the speed moves with the load. The block sizes of one run are measured
// within a fraction of a second of each other, so each run gives its own fit and its own
// ratio of the 32- to the 512-sample cost; the figures reported are the medians over the runs,
// with the lowest and highest.

#include "RawAudioHost.h"
#include "RawBlockCall.h"
#include "RawHostFixtures.h"
#include "RawHostInterfaces.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <xmmintrin.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <time.h>
#endif

using namespace Steinberg;

namespace
{
constexpr double sampleRate = 48000.0;
const std::vector<int> allBlockSizes { 16, 32, 64, 128, 512 };

// Long enough that the reverb's input never repeats within its own memory.
constexpr int inputLength = 1 << 18;

#if defined(_WIN32)
constexpr const char* clockName = "wall-clock time (QueryPerformanceCounter)";

double nowInNanoseconds()
{
    return double (std::chrono::duration_cast<std::chrono::nanoseconds> (std::chrono::steady_clock::now().time_since_epoch()).count());
}
#else
// The machine is shared: the thread's own processor time leaves out the time other
// processes had the core.
constexpr const char* clockName = "the thread's processor time";

double nowInNanoseconds()
{
    timespec t {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &t);
    return double (t.tv_sec) * 1.0e9 + double (t.tv_nsec);
}
#endif

/** One instance of the module, set up for one block size, fed as a host's audio engine feeds
    it (RawBlockCall): its input channels point into the recorded input, its outputs are the
    engine's own, an empty parameter-change list comes in and one for the plug-in's changes
    goes out, and a running transport is described in the process context.
*/
class TimedInstance
{
public:
    TimedInstance (const std::string& modulePath, int blockSize, const std::vector<float>& inputLeft, const std::vector<float>& inputRight)
        : host (modulePath, sampleRate, blockSize), blockSize (blockSize), left (inputLeft), right (inputRight), outputLeft (static_cast<size_t> (blockSize)), outputRight (static_cast<size_t> (blockSize)), call (sampleRate, &noChanges, &changesForHost)
    {
        if (! host.error().empty())
            return;

        // Space 6, Lumens 5, Tone 5, Mix 50 %, as in PelorvaneBench.
        std::vector<float> l (static_cast<size_t> (blockSize)), r (static_cast<size_t> (blockSize));
        host.process (l.data(), r.data(), blockSize, { { RawHostParameters::space, 0.6 }, { RawHostParameters::lumens, 0.5 }, { RawHostParameters::tone, 0.5 }, { RawHostParameters::mix, 0.5 } });

        // Past the first, colder blocks, and with sound in every delay line.
        run (int (sampleRate) / blockSize);
    }

    const std::string& error() const { return host.error(); }

    /** Processes numBlocks blocks; false if the module refused one. */
    bool run (int numBlocks)
    {
        bool ok = true;

        for (int block = 0; block < numBlocks; ++block)
        {
            if (position + blockSize > inputLength)
                position = 0;

            const auto offset = static_cast<size_t> (position);
            ok = host.processData (call.next (left.data() + offset, right.data() + offset, outputLeft.data(), outputRight.data(), blockSize)) && ok;
            changesForHost.clear();
            position += blockSize;
        }

        return ok;
    }

    float lastOutput() const { return outputLeft.back() + outputRight.back(); }

private:
    RawAudioHost host;
    int blockSize;
    const std::vector<float>& left;
    const std::vector<float>& right;
    std::vector<float> outputLeft, outputRight;
    int position = 0;

    RawParameterChanges noChanges;
    RawOutputParameterChanges changesForHost;
    RawBlockCall call;
};

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    const auto n = values.size();
    return n % 2 == 1 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

/** Least-squares line through (block size, ns per block): the fixed cost per block and the
    cost per sample.
*/
struct Line
{
    double fixed, perSample;
};

Line fitLine (const std::vector<int>& blockSizes, const std::vector<double>& nanosecondsPerBlock)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    const double n = double (blockSizes.size());

    for (size_t i = 0; i < blockSizes.size(); ++i)
    {
        const double x = blockSizes[i], y = nanosecondsPerBlock[i];
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }

    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    return { (sy - slope * sx) / n, slope };
}

std::string defaultModule()
{
#ifdef PELORVANE_VST3_MODULE
    return PELORVANE_VST3_MODULE;
#else
    return {};
#endif
}

int usage (const char* program, bool asked = false)
{
    std::fprintf (asked ? stdout : stderr,
                  "usage: %s [module] [--runs N] [--seconds S] [--quick] [--block N] [--ftz]\n"
                  "Times IAudioProcessor::process of a Pelorvane VST3 module at 16 to 512 samples per block.\n"
                  "  module     the module's binary (default: the one this build made)\n"
                  "  --runs     runs; each measures every block size once (default 41)\n"
                  "  --seconds  processor time per block size and run (default 0.025)\n"
                  "  --quick    one short run, to see that it works\n"
                  "  --block    this block size only, without the fit (for a profiler)\n"
                  "  --ftz      the host's thread runs with flush-to-zero and denormals-are-zero on\n",
                  program);
    return asked ? 0 : 2;
}
} // namespace

int main (int argc, char** argv)
{
    std::string modulePath = defaultModule();
    int runs = 41;
    double seconds = 0.025;
    auto blockSizes = allBlockSizes;
    bool flushDenormals = false;

    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];

        if (arg == "--help" || arg == "-h")
            return usage (argv[0], true);

        if (arg == "--runs" && i + 1 < argc)
            runs = std::max (1, std::atoi (argv[++i]));
        else if (arg == "--seconds" && i + 1 < argc)
            seconds = std::max (0.001, std::atof (argv[++i]));
        else if (arg == "--block" && i + 1 < argc)
            blockSizes = { std::max (1, std::atoi (argv[++i])) };
        else if (arg == "--ftz")
            flushDenormals = true;
        else if (arg == "--quick")
        {
            runs = 1;
            seconds = 0.01;
        }
        else if (! arg.empty() && arg[0] != '-')
            modulePath = arg;
        else
            return usage (argv[0]);
    }

    if (modulePath.empty())
        return usage (argv[0]);

    if (flushDenormals)
        _mm_setcsr (_mm_getcsr() | 0x8040);

    std::vector<float> left (inputLength), right (inputLength);
    RawTestSignal signal;

    for (int i = 0; i < inputLength; ++i)
        signal.next (left[size_t (i)], right[size_t (i)]);

    std::vector<std::unique_ptr<TimedInstance>> instances;

    for (int blockSize : blockSizes)
    {
        instances.push_back (std::make_unique<TimedInstance> (modulePath, blockSize, left, right));

        if (! instances.back()->error().empty())
        {
            std::fprintf (stderr, "%s: %s\n", modulePath.c_str(), instances.back()->error().c_str());
            return 1;
        }
    }

    // As many blocks per measurement as take about `seconds` of processor time.
    std::vector<int> blocksPerRun;

    for (auto& instance : instances)
    {
        int numBlocks = 64;
        double elapsed = 0.0;

        for (;;)
        {
            const auto start = nowInNanoseconds();
            instance->run (numBlocks);
            elapsed = nowInNanoseconds() - start;

            if (elapsed > 0.05 * seconds * 1.0e9 || numBlocks > (1 << 28))
                break;

            numBlocks *= 4;
        }

        blocksPerRun.push_back (std::max (1, int (double (numBlocks) * seconds * 1.0e9 / std::max (elapsed, 1.0))));
    }

    // The block sizes take turns, each run starting with another, so that the machine's load
    // changing meanwhile weighs on all of them alike.
    const int numBlockSizes = int (blockSizes.size());
    std::vector<std::vector<double>> perBlock (static_cast<size_t> (numBlockSizes));
    bool refused = false;

    for (int run = 0; run < runs; ++run)
    {
        for (int k = 0; k < numBlockSizes; ++k)
        {
            const auto index = size_t ((run + k) % numBlockSizes);
            const auto start = nowInNanoseconds();
            refused = ! instances[index]->run (blocksPerRun[index]) || refused;
            perBlock[index].push_back ((nowInNanoseconds() - start) / blocksPerRun[index]);
        }
    }

    if (refused)
    {
        std::fprintf (stderr, "%s refused a process call\n", modulePath.c_str());
        return 1;
    }

    std::printf ("\nIAudioProcessor::process of %s\n", modulePath.c_str());
    std::printf ("%.0f Hz, stereo, %s, %s, median of %d runs of %.3f s per block size (min to max)\n\n",
                 sampleRate,
                 clockName,
                 flushDenormals ? "host thread with flush-to-zero and denormals-are-zero on" : "host thread with denormals on (flush-to-zero off)",
                 runs,
                 seconds);
    std::printf ("%6s %22s %28s\n", "block", "ns per block", "ns per stereo sample");

    std::vector<double> medians;

    for (int i = 0; i < numBlockSizes; ++i)
    {
        const auto& values = perBlock[size_t (i)];
        const auto [low, high] = std::minmax_element (values.begin(), values.end());
        const double b = blockSizes[i];
        medians.push_back (median (values));
        std::printf ("%6d %9.0f (%5.0f to %5.0f) %10.2f (%6.2f to %6.2f)\n", blockSizes[i], medians.back(), *low, *high, medians.back() / b, *low / b, *high / b);
    }

    if (numBlockSizes < 2)
        return 0;

    // Every run on its own: its fit, and its ratio of the 32- to the 512-sample cost.
    std::vector<double> fixedPerRun, perSamplePerRun, ratioPerRun;
    const bool allSizes = blockSizes == allBlockSizes;

    for (size_t run = 0; run < size_t (runs); ++run)
    {
        std::vector<double> thisRun;

        for (const auto& values : perBlock)
            thisRun.push_back (values[run]);

        const auto line = fitLine (blockSizes, thisRun);
        fixedPerRun.push_back (line.fixed);
        perSamplePerRun.push_back (line.perSample);

        if (allSizes)
            ratioPerRun.push_back ((thisRun[1] / 32.0) / (thisRun[4] / 512.0));
    }

    const auto report = [] (const char* what, const std::vector<double>& values, const char* unit)
    {
        const auto [low, high] = std::minmax_element (values.begin(), values.end());
        std::printf ("%s: %.2f%s (runs: %.2f to %.2f)\n", what, median (values), unit, *low, *high);
    };

    std::printf ("\nmedians of the runs' own figures:\n");
    report ("fixed cost per block (least-squares line through ns per block against block size)", fixedPerRun, " ns");
    report ("cost per stereo sample beyond it", perSamplePerRun, " ns");

    if (allSizes)
        report ("32-sample blocks cost, per sample, this many times the 512-sample cost", ratioPerRun, "");

    const auto line = fitLine (blockSizes, medians);
    std::printf ("the same from the medians per block size above: fixed %.0f ns, %.2f ns per sample", line.fixed, line.perSample);

    if (allSizes)
        std::printf (", ratio %.2f", (medians[1] / 32.0) / (medians[4] / 512.0));

    std::printf ("\n");

    // Keeps the outputs alive.
    float sum = 0.0f;

    for (auto& instance : instances)
        sum += instance->lastOutput();

    return sum == sum ? 0 : 1;
}
