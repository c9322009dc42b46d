// The web page's engine compiled natively: what its C interface costs per 128-sample block (the
// AudioWorklet's quantum) on each of the engine's kernel paths. scripts/web-bench.sh prints it
// beside the same engine's cost in the browser's AudioWorklet.
//
// Usage: pelorvane-web-bench [seconds per run]   (prints one line per kernel path)

#include "dsp/KernelPath.h"
#include "web/WebEngine.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr int quantum = 128;
constexpr double sampleRate = 48000.0;

/** Nanoseconds per sample of one run of the engine over the demo phrase, looped. */
double nanosecondsPerSample (const std::vector<float>& input, double seconds)
{
    auto* engine = pelorvane_create (sampleRate);
    pelorvane_set (engine, 7.0f, 8.0f, 4.0f, 40.0f, 0);
    float* left = pelorvane_left (engine);
    const auto blocks = static_cast<long> (seconds * sampleRate / quantum);
    std::size_t position = 0;
    float sink = 0.0f;

    const auto started = std::chrono::steady_clock::now();

    for (long b = 0; b < blocks; ++b)
    {
        if (position + quantum > input.size())
            position = 0;

        std::copy (input.begin() + static_cast<long> (position), input.begin() + static_cast<long> (position + quantum), left);
        pelorvane_process (engine, quantum);
        sink += pelorvane_right (engine)[quantum - 1];
        position += quantum;
    }

    const auto elapsed = std::chrono::duration<double, std::nano> (std::chrono::steady_clock::now() - started).count();
    pelorvane_destroy (engine);

    if (sink == 12345.0f)
        std::puts ("");

    return elapsed / static_cast<double> (blocks * quantum);
}
} // namespace

int main (int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof (argv[1]) : 20.0;
    std::vector<float> input (static_cast<std::size_t> (pelorvane_demo_length()));
    pelorvane_demo (input.data());

    for (const auto path : { KernelPath::Path::sse2, KernelPath::Path::avx2 })
    {
        if (! KernelPath::force (path))
            continue;

        std::vector<double> runs;

        for (int run = 0; run < 5; ++run)
            runs.push_back (nanosecondsPerSample (input, seconds / 5.0));

        std::sort (runs.begin(), runs.end());
        const double median = runs[runs.size() / 2];
        std::printf ("native %-5s %7.2f ns per sample, %8.0f ns per %d-sample block (median of %zu runs, %.0f s of 48 kHz audio each; best %.2f ns per sample)\n",
                     KernelPath::name (path), median, median * quantum, quantum, runs.size(), seconds / 5.0, runs.front());
    }

    return 0;
}
