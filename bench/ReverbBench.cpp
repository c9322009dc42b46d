// Prints the cost of the reverb per stereo sample at 48 kHz. Not a test: it asserts nothing.
#include "dsp/mydsp.h"
#include "processor/PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace
{
constexpr int sampleRate = 48000;

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

void computeBlocks (benchmark::State& state)
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
        engine->compute (blockSize, inputs, outputs);
        benchmark::DoNotOptimize (outL.data());
    }
    setNanosecondsPerSample (state, blockSize);
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
} // namespace

BENCHMARK (computeBlocks)->Arg (32)->Arg (512)->MinTime (1.0);
BENCHMARK (processBlocks)->Arg (32)->Arg (512)->MinTime (1.0);

BENCHMARK_MAIN();
