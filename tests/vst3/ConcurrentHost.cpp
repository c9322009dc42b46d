// A host that calls the built VST3 module from two threads at once, as hosts do: its audio thread
// processes block after block while its main thread saves and restores the state, changes
// parameters and opens and closes the window. scripts/test-tsan.sh builds it and the module with
// ThreadSanitizer and judges the reports; this program itself checks only that the module
// accepted everything it was asked to do.
//
//   PelorvaneConcurrentHost <module> [--run-loop] [--seconds S] [--seed N]
//
// Runs S seconds (default 5), longer only on a machine too slow to open and release the window,
// pause processing, and make the other calls twice each in that time (at most max (60, 6 S)).
//
// Without --run-loop the window's frame lends the plug-in no run loop (Steinberg::Linux::IRunLoop),
// so a JUCE-based plug-in runs its message loop on a thread of its own and the host's main thread
// is not the plug-in's message thread. With --run-loop it lends one, and the main thread services
// it between its other calls, as a Linux host's main loop does; the plug-in's message thread is
// then the host's main thread. The window needs an X display (DISPLAY).
//
// Audio thread: 64-sample blocks paced at 48 kHz with the process context of a running transport;
// parameter changes with every 4th block (Bypass among them); every 16th block 300 samples long,
// although the setup announced 256; the host's own edits delivered with the next block.
// Main thread: getState/setState round trips, other saved states restored (setState and then the
// controller's setComponentState), setComponentState alone, setParamNormalized, edits, the window
// opened (createView, attached to an X window) and released; every so often the audio thread is
// paused for setProcessing (false), setActive (false) and back, as hosts do.

#include "CheckReport.h"
#include "OpenEditor.h"
#include "RawAudioHost.h"
#include "RawBlockCall.h"
#include "RawHostFixtures.h"
#include "RawHostInterfaces.h"
#include "RawPlugFrame.h"
#include "X11HostSetup.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace
{
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Steinberg::Vst::ParamID;

constexpr double sampleRate = 48000.0;
constexpr int announcedBlockSize = 256;
constexpr int smallBlock = 64;
constexpr int overlongBlock = 300;

const std::array<ParamID, 5> parameters { RawHostParameters::bypass, RawHostParameters::space, RawHostParameters::lumens, RawHostParameters::tone, RawHostParameters::mix };

struct Options
{
    std::string modulePath;
    bool runLoop = false;
    double seconds = 5.0;
    unsigned seed = 1;
};

bool parseOptions (int argc, char** argv, Options& options)
{
    if (argc < 2)
        return false;

    options.modulePath = argv[1];

    for (int i = 2; i < argc; ++i)
    {
        const std::string arg = argv[i];

        if (arg == "--run-loop")
            options.runLoop = true;
        else if (arg == "--seconds" && i + 1 < argc)
            options.seconds = std::atof (argv[++i]);
        else if (arg == "--seed" && i + 1 < argc)
            options.seed = static_cast<unsigned> (std::strtoul (argv[++i], nullptr, 10));
        else
            return false;
    }

    return options.seconds > 0.0;
}

/** The host's audio thread. Between pause and resume it makes no process call, so that the main
    thread can switch processing off and on, as hosts do around setActive. */
class AudioThread
{
public:
    AudioThread (RawAudioHost& hostToDrive, unsigned seed)
        : host (hostToDrive), rng (seed)
    {
        thread = std::thread ([this] { run(); });
    }

    ~AudioThread()
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            stopRequested = true;
            pauseRequested = false;
        }

        changed.notify_all();
        stopFlag.store (true, std::memory_order_relaxed);
        thread.join();
    }

    /** Returns once the audio thread has finished its block and waits. */
    void pause()
    {
        std::unique_lock<std::mutex> guard (lock);
        pauseRequested = true;
        pauseFlag.store (true, std::memory_order_relaxed);
        changed.wait (guard, [this] { return paused; });
    }

    void resume()
    {
        {
            const std::lock_guard<std::mutex> guard (lock);
            pauseRequested = false;
            pauseFlag.store (false, std::memory_order_relaxed);
        }

        changed.notify_all();
    }

    /** An edit made on the main thread, delivered with the next block as hosts deliver them. A
        newer edit replaces one not yet delivered. */
    void deliverEdit (size_t parameterIndex, float value)
    {
        std::uint32_t bits;
        std::memcpy (&bits, &value, sizeof (bits));
        pendingEdit.store ((std::uint64_t (parameterIndex + 1) << 32) | bits, std::memory_order_release);
    }

    long blocks() const { return blocksDone.load(); }
    long failedBlocks() const { return blocksFailed.load(); }
    long overlongBlocks() const { return overlongDone.load(); }
    long changesSent() const { return changesDone.load(); }
    long editsDelivered() const { return editsDone.load(); }

private:
    void run()
    {
        std::vector<float> inLeft (overlongBlock), inRight (overlongBlock), outLeft (overlongBlock), outRight (overlongBlock);
        RawTestSignal signal;
        RawParameterChanges changes;
        RawOutputParameterChanges changesForHost;
        RawBlockCall call (sampleRate, &changes, &changesForHost);
        std::uniform_int_distribution<size_t> anyParameter (0, parameters.size() - 1);
        std::uniform_real_distribution<double> normalised (0.0, 1.0);
        auto deadline = Clock::now();

        for (long block = 0; ! stopFlag.load (std::memory_order_relaxed); ++block)
        {
            // Checked without synchronising on every block, so that the blocks themselves tell
            // the race detector nothing about the main thread's calls.
            if (pauseFlag.load (std::memory_order_relaxed))
            {
                waitWhilePaused();
                deadline = Clock::now();
                continue;
            }

            const int numSamples = block % 16 == 15 ? overlongBlock : smallBlock;

            for (int i = 0; i < numSamples; ++i)
                signal.next (inLeft[size_t (i)], inRight[size_t (i)]);

            changes.clear();

            if (block % 4 == 0)
            {
                const auto index = anyParameter (rng);
                const auto value = index == 0 ? (normalised (rng) < 0.5 ? 0.0 : 1.0) : normalised (rng);
                changes.add (parameters[index], value);
                ++changesDone;
            }

            if (const auto edit = pendingEdit.exchange (0, std::memory_order_acquire); edit != 0)
            {
                const auto bits = static_cast<std::uint32_t> (edit);
                float value;
                std::memcpy (&value, &bits, sizeof (value));
                changes.add (parameters[size_t (edit >> 32) - 1], value);
                ++editsDone;
            }

            auto& data = call.next (inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), numSamples);

            if (! host.processData (data))
                ++blocksFailed;

            changesForHost.clear();
            ++blocksDone;

            if (numSamples > announcedBlockSize)
                ++overlongDone;

            // In real time, as an audio device would ask for blocks.
            deadline += std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (numSamples / sampleRate));

            if (deadline > Clock::now())
                std::this_thread::sleep_until (deadline);
            else
                deadline = Clock::now();
        }
    }

    void waitWhilePaused()
    {
        std::unique_lock<std::mutex> guard (lock);
        paused = true;
        changed.notify_all();
        changed.wait (guard, [this] { return ! pauseRequested || stopRequested; });
        paused = false;
    }

    RawAudioHost& host;
    std::mt19937 rng;

    std::mutex lock;
    std::condition_variable changed;
    bool pauseRequested = false, paused = false, stopRequested = false;
    std::atomic<bool> pauseFlag { false }, stopFlag { false };

    std::atomic<std::uint64_t> pendingEdit { 0 };
    std::atomic<long> blocksDone { 0 }, blocksFailed { 0 }, overlongDone { 0 }, changesDone { 0 }, editsDone { 0 };

    std::thread thread;
};

/** Saves the state the parameters have after one block carrying the changes. */
std::string stateWith (RawAudioHost& host, const std::vector<RawAudioHost::ParameterChange>& changes)
{
    std::vector<float> left (smallBlock), right (smallBlock);
    host.process (left.data(), right.data(), smallBlock, changes);
    return host.saveState();
}

struct Tally
{
    long roundTrips = 0, restores = 0, controllerRestores = 0, parameterSets = 0, edits = 0;
    long windowsOpened = 0, windowsAttached = 0, windowsReleased = 0, suspensions = 0;
    long failures = 0;
};

void report (const Options& options, const Tally& tally, const AudioThread& audio, const RawComponentHandler& handler, const RawRunLoop& runLoop, Clock::duration took)
{
    std::printf ("  %s, %.1f s\n", options.runLoop ? "with the host's run loop" : "without a run loop",
                 std::chrono::duration<double> (took).count());
    std::printf ("  audio thread: %ld blocks (%ld of %d samples with %d announced), %ld with parameter changes, %ld host edits delivered\n",
                 audio.blocks(), audio.overlongBlocks(), overlongBlock, announcedBlockSize, audio.changesSent(), audio.editsDelivered());
    std::printf ("  main thread: %ld state round trips, %ld other states restored, %ld setComponentState, %ld setParamNormalized, %ld edits, "
                 "%ld windows opened (%ld attached) and %ld released, %ld pauses for setActive\n",
                 tally.roundTrips, tally.restores, tally.controllerRestores, tally.parameterSets, tally.edits,
                 tally.windowsOpened, tally.windowsAttached, tally.windowsReleased, tally.suspensions);
    std::printf ("  component handler: %ld edits, %ld restarts; run loop: %ld callbacks\n",
                 handler.edits.load(), handler.restarts.load(), runLoop.callbacks());
}
} // namespace

int main (int argc, char** argv)
{
    Options options;

    if (! parseOptions (argc, argv, options))
    {
        std::fprintf (stderr, "usage: %s <module> [--run-loop] [--seconds S] [--seed N]\n", argv[0]);
        return 2;
    }

    section (options.runLoop ? "concurrent host, with a run loop" : "concurrent host, without a run loop");

    auto* display = openHostDisplay();

    check (display != nullptr || ! options.runLoop, "an X display for the window, which a run loop is lent through");

    if (display == nullptr && options.runLoop)
        return finishReport();

    RawRunLoop runLoop;
    RawPlugFrame frame (options.runLoop ? &runLoop : nullptr);
    RawComponentHandler handler;

    {
        RawAudioHost host (options.modulePath, sampleRate, announcedBlockSize);
        check (host.error().empty(), "the module is hosted: " + host.error());

        if (! host.error().empty())
            return finishReport();

        host.setComponentHandler (&handler);

        using namespace RawHostParameters;
        const std::string activeState = stateWith (host, { { bypass, 0.0 }, { space, 0.8 }, { lumens, 0.3 }, { tone, 0.6 }, { mix, 0.4 } });
        const std::string bypassedState = stateWith (host, { { bypass, 1.0 }, { space, 0.2 }, { lumens, 0.9 }, { tone, 0.1 }, { mix, 1.0 } });
        check (! activeState.empty() && ! bypassedState.empty(), "the component saves its state");

        Tally tally;
        std::mt19937 rng (options.seed);
        std::uniform_int_distribution<size_t> anyParameter (0, parameters.size() - 1);
        std::uniform_real_distribution<float> normalised (0.0f, 1.0f);

        {
            AudioThread audio (host, options.seed + 1);
            std::unique_ptr<OpenEditor> editor;
            const auto start = Clock::now();
            const auto end = start + std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (options.seconds));

            // However slow the machine, the run goes on (for a while) until it has done each
            // thing at least twice: whatever races there are need both sides to happen.
            const auto latest = start + std::chrono::duration_cast<Clock::duration> (std::chrono::duration<double> (std::max (60.0, 6.0 * options.seconds)));
            const auto coveredEverything = [&]
            { return tally.windowsReleased >= 2 && tally.suspensions >= 2 && tally.roundTrips >= 2 && tally.edits >= 2; };

            const auto wait = [&]
            {
                if (options.runLoop)
                    runLoop.dispatch (1);
                else
                    std::this_thread::sleep_for (1ms);
            };

            for (long step = 0; Clock::now() < end || (! coveredEverything() && Clock::now() < latest); ++step)
            {
                // The window is open three quarters of the time, opened and closed again and again.
                const bool windowWanted = (step / 6) % 4 != 3;

                if (windowWanted && editor == nullptr)
                {
                    editor = std::make_unique<OpenEditor> (host, frame, display);
                    tally.windowsOpened += editor->isOpen() ? 1 : 0;
                    tally.windowsAttached += editor->isAttached() ? 1 : 0;
                    tally.failures += editor->isOpen() && (editor->isAttached() || display == nullptr) ? 0 : 1;
                }
                else if (! windowWanted && editor != nullptr)
                {
                    editor.reset();
                    ++tally.windowsReleased;
                }

                if (step % 32 == 31)
                {
                    audio.pause();
                    host.stopProcessing();
                    tally.failures += host.startProcessing() ? 0 : 1;
                    audio.resume();
                    ++tally.suspensions;
                }

                switch (step % 6)
                {
                    case 0:
                    {
                        const auto saved = host.saveState();
                        tally.failures += ! saved.empty() && host.restoreState (saved) ? 0 : 1;
                        ++tally.roundTrips;
                        break;
                    }
                    case 1:
                        tally.failures += host.restoreState ((step / 6) % 2 == 0 ? bypassedState : activeState) ? 0 : 1;
                        ++tally.restores;
                        break;
                    case 2:
                        tally.failures += host.restoreControllerState ((step / 6) % 2 == 0 ? activeState : bypassedState) ? 0 : 1;
                        ++tally.controllerRestores;
                        break;
                    case 3:
                        host.setParameterValue (parameters[anyParameter (rng)], normalised (rng));
                        ++tally.parameterSets;
                        break;
                    case 4:
                    {
                        // The user moves a control of the host's own: the controller shows it at
                        // once, the processor gets it with the next block.
                        const auto index = anyParameter (rng);
                        const auto value = normalised (rng);
                        host.setParameterValue (parameters[index], value);
                        audio.deliverEdit (index, value);
                        ++tally.edits;
                        break;
                    }
                    default:
                        // The host's own bypass switch.
                        host.setParameterValue (RawHostParameters::bypass, (step / 6) % 2 == 0 ? 1.0 : 0.0);
                        ++tally.parameterSets;
                        break;
                }

                wait();
            }

            editor.reset();

            // Whatever the plug-in still has queued for its message thread.
            for (int i = 0; i < 20; ++i)
                wait();

            report (options, tally, audio, handler, runLoop, Clock::now() - start);
            check (audio.blocks() > 100 && audio.failedBlocks() == 0, "every block is processed");
            check (audio.overlongBlocks() > 0, "blocks longer than announced are processed");
        }

        check (tally.failures == 0, "every state, setup and window call is accepted (" + std::to_string (tally.failures) + " refused)");
        check (tally.windowsReleased >= 2 && tally.suspensions >= 2, "the window is opened and released, and processing paused, again and again");
        check (! options.runLoop || runLoop.callbacks() > 0, "the plug-in runs its messages from the host's run loop");

        // With the audio thread gone, a restore still gives exactly the values it holds.
        check (host.restoreState (bypassedState), "the saved state is restored once more");
        check (host.parameterValue (bypass) == 1.0 && std::abs (host.parameterValue (mix) - 1.0) < 1e-6
                   && std::abs (host.parameterValue (space) - 0.2) < 1e-6,
               "the restored state holds the values it was saved with");

        host.setComponentHandler (nullptr);
    }

    closeHostDisplay (display);

    return finishReport();
}
