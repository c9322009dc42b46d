// Prints the cost of the reverb per stereo sample at 48 kHz: the engine's compute on each of its
// kernel paths beside the per-sample formulation it must match (same process, same input, same
// settings), and the processor's whole processBlock. Not a test: it asserts nothing.
#include "PerSampleReference.h"
#include "dsp/KernelPath.h"
#include "dsp/mydsp.h"
#include "processor/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace
{
constexpr int sampleRate = 48000;
constexpr int repetitions = 5;

std::vector<float> makeNoise (int length, unsigned seed)
{
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-0.5f, 0.5f);
    std::vector<float> v (static_cast<size_t> (length));
    for (auto& s : v)
        s = dist (rng);
    return v;
}

void setNanosecondsPerSample (benchmark::State& state, int blockSize)
{
    state.SetItemsProcessed (state.iterations() * blockSize);
    // An inverted rate of (samples / 1e9) reads as nanoseconds per sample.
    state.counters["ns_per_sample"] = benchmark::Counter (double (state.iterations() * blockSize) * 1.0e-9,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

template <typename ComputeBlock>
void runEngine (benchmark::State& state, ComputeBlock computeBlock)
{
    const int blockSize = int (state.range (0));
    auto engine = std::make_unique<mydsp>();
    engine->init (sampleRate);
    engine->fHslider2 = 6.0f;
    engine->fHslider3 = 5.0f;
    engine->fHslider1 = 5.0f;
    engine->fHslider0 = 0.5f;

    const auto left = makeNoise (blockSize, 1), right = makeNoise (blockSize, 2);
    std::vector<float> outL (static_cast<size_t> (blockSize)), outR (static_cast<size_t> (blockSize));
    float* inputs[] = { const_cast<float*> (left.data()), const_cast<float*> (right.data()) };
    float* outputs[] = { outL.data(), outR.data() };

    for (auto _ : state)
    {
        computeBlock (*engine, blockSize, inputs, outputs);
        benchmark::DoNotOptimize (outL.data());
    }
    setNanosecondsPerSample (state, blockSize);
}

void perSampleBlocks (benchmark::State& state)
{
    runEngine (state, computePerSample);
}

// The engine on the kernel path of the second argument; the path is put back afterwards.
void computeBlocks (benchmark::State& state)
{
    const auto path = static_cast<KernelPath::Path> (state.range (1));
    const auto before = KernelPath::active();

    if (! KernelPath::force (path))
    {
        state.SkipWithError ("the processor has no such path");
        return;
    }

    state.SetLabel (KernelPath::name (path));
    runEngine (state, [] (mydsp& engine, int count, float** inputs, float** outputs) { engine.compute (count, inputs, outputs); });
    KernelPath::force (before);
}

void processBlocks (benchmark::State& state)
{
    const int blockSize = int (state.range (0));
    juce::ScopedJuceInitialiser_GUI juceInit;
    PelorvaneAudioProcessor processor;
    processor.prepareToPlay (sampleRate, blockSize);

    const auto noise = makeNoise (blockSize, 3);
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (auto _ : state)
    {
        buffer.copyFrom (0, 0, noise.data(), blockSize);
        processor.processBlock (buffer, midi);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }
    setNanosecondsPerSample (state, blockSize);
}

const KernelPath::Path comparedPaths[] = { KernelPath::Path::sse2, KernelPath::Path::avx2 };

/** Shows the runs as usual and keeps each benchmark's median cost per sample. */
class MedianCollector : public benchmark::ConsoleReporter
{
public:
    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);

        for (const auto& run : runs)
        {
            if (run.run_type != Run::RT_Aggregate || run.aggregate_name != "median" || run.error_occurred)
                continue;

            // Arguments "block" or "block/path".
            const auto& args = run.run_name.args;
            const auto slash = args.find ('/');
            const int blockSize = std::stoi (args.substr (0, slash));
            const int path = slash == std::string::npos ? -1 : std::stoi (args.substr (slash + 1));
            nanosecondsPerSample[{ run.run_name.function_name, blockSize, path }] = run.counters.at ("ns_per_sample");
        }
    }

    void printComparison() const
    {
        std::printf ("\nns per stereo sample at %d Hz, median of %d runs (CPU time); compute on each kernel path\n"
                     "and how many times faster it is than the per-sample formulation (widest path: %s)\n",
                     sampleRate,
                     repetitions,
                     KernelPath::name (KernelPath::widest()));
        std::printf ("%8s %12s", "block", "per-sample");

        for (auto path : comparedPaths)
            std::printf (" %10s %6s", KernelPath::name (path), "ratio");

        std::printf ("\n");

        for (int blockSize : { 32, 512 })
        {
            const auto perSample = find ("perSampleBlocks", blockSize, -1);

            if (perSample <= 0.0)
                continue;

            std::printf ("%8d %12.2f", blockSize, perSample);

            for (auto path : comparedPaths)
            {
                const auto fast = find ("computeBlocks", blockSize, int (path));

                if (fast > 0.0)
                    std::printf (" %10.2f %6.2f", fast, perSample / fast);
                else
                    std::printf (" %10s %6s", "-", "-");
            }

            std::printf ("\n");
        }
    }

private:
    double find (const std::string& function, int blockSize, int path) const
    {
        const auto found = nanosecondsPerSample.find ({ function, blockSize, path });
        return found != nanosecondsPerSample.end() ? found->second : 0.0;
    }

    std::map<std::tuple<std::string, int, int>, double> nanosecondsPerSample;
};
} // namespace

BENCHMARK (perSampleBlocks)->Arg (32)->Arg (512)->MinTime (0.5)->Repetitions (repetitions);
BENCHMARK (computeBlocks)
    ->ArgsProduct ({ { 32, 512 }, { int (KernelPath::Path::sse2), int (KernelPath::Path::avx2) } })
    ->MinTime (0.5)
    ->Repetitions (repetitions);
BENCHMARK (processBlocks)->Arg (32)->Arg (512)->MinTime (0.5)->Repetitions (repetitions);

int main (int argc, char** argv)
{
    // The repetitions take turns in random order, so that the machine's load changing
    // during the run weighs on both sides of the comparison alike.
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> arguments (argv, argv + argc);
    arguments.insert (arguments.begin() + 1, interleave);
    int argumentCount = int (arguments.size());

    benchmark::Initialize (&argumentCount, arguments.data());
    if (benchmark::ReportUnrecognizedArguments (argumentCount, arguments.data()))
        return 1;

    MedianCollector reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    reporter.printComparison();
    benchmark::Shutdown();
    return 0;
}
