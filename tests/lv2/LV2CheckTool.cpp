// The helper of the LV2 host check (lv2-host-check.sh): a test signal, a JACK client that plays
// it into another JACK client (jalv, running the LV2 bundle) and records what comes back, and
// the sample-exact comparison of that recording, or of lv2apply's output, with pelorvane-render's.
// No LV2 code here: the plug-in is hosted by jalv and lv2apply alone.
//
//   PelorvaneLV2CheckTool signal SIGNAL.wav RATE SECONDS TAIL_SECONDS
//       A stereo test signal: plucked notes over quiet noise on the left (never exactly zero),
//       other noise on the right, then TAIL_SECONDS of silence.
//   PelorvaneLV2CheckTool wait-server SECONDS
//       Waits for the JACK server (JACK_DEFAULT_SERVER) to take clients.
//   PelorvaneLV2CheckTool play SIGNAL.wav RECORDING.wav CLIENT
//       Connects (within 30 s) to CLIENT's in_l/in_r and out_l/out_r, prints "playing" once the signal
//       starts, and writes four channels: sent left, sent right, returned left, returned right.
//       Both pairs are taken in the same process cycle, so they stay in step with each other.
//       Then prints the latency that CLIENT declares on its outputs.
//   PelorvaneLV2CheckTool split RECORDING.wav RENDER_INPUT.wav
//       The recording starts with the plug-in switched off through its lv2:enabled port: the
//       left input comes back on both sides. From the first sample where it does not, the
//       effect ran from its freshly prepared state; the input from there on is written out for
//       pelorvane-render.
//   PelorvaneLV2CheckTool compare RECORDING.wav RENDERED.wav [--expect-different]
//       The returned audio from that sample on against pelorvane-render's output, sample for
//       sample; exit 0 when every sample is the same float (or, with --expect-different, when
//       they are not). A stereo RECORDING (what lv2apply writes) is compared from its start.
#include "lv2/LV2Ports.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace
{
struct Audio
{
    double rate = 0;
    std::vector<std::vector<float>> channels;

    std::size_t frames() const { return channels.empty() ? 0 : channels[0].size(); }
};

// 32-bit float WAV through the framework's own reader and writer, which pass floats unchanged.
bool writeWav (const std::string& path, const Audio& audio)
{
    const juce::File file (path);
    file.deleteFile();
    auto stream = file.createOutputStream();
    std::unique_ptr<juce::AudioFormatWriter> writer (juce::WavAudioFormat().createWriterFor (
        stream.get(), audio.rate, static_cast<unsigned int> (audio.channels.size()), 32, {}, 0));

    if (writer == nullptr)
        return false;

    stream.release(); // the writer owns it now
    std::vector<const float*> channels;
    for (const auto& channel : audio.channels)
        channels.push_back (channel.data());

    return writer->writeFromFloatArrays (channels.data(), static_cast<int> (channels.size()), static_cast<int> (audio.frames()));
}

bool readWav (const std::string& path, Audio& audio)
{
    std::unique_ptr<juce::AudioFormatReader> reader (
        juce::WavAudioFormat().createReaderFor (juce::File (path).createInputStream().release(), true));

    if (reader == nullptr || ! reader->usesFloatingPointData || reader->bitsPerSample != 32)
        return false;

    audio.rate = reader->sampleRate;
    const auto frames = static_cast<std::size_t> (reader->lengthInSamples);
    audio.channels.assign (reader->numChannels, std::vector<float> (frames));
    std::vector<float*> channels;
    for (auto& channel : audio.channels)
        channels.push_back (channel.data());

    return reader->read (channels.data(), static_cast<int> (channels.size()), 0, static_cast<int> (frames));
}

int fail (const std::string& message)
{
    std::cerr << "PelorvaneLV2CheckTool: " << message << "\n";
    return 1;
}

int makeSignal (const std::string& path, double rate, double seconds, double tailSeconds)
{
    const auto frames = static_cast<std::size_t> (rate * seconds);
    const auto total = frames + static_cast<std::size_t> (rate * tailSeconds);
    Audio audio { rate, { std::vector<float> (total), std::vector<float> (total) } };

    std::uint32_t seed = 12345;
    const auto noise = [&seed]
    {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float> (seed >> 8) / 16777216.0f - 0.5f;
    };

    const double notes[] = { 220.0, 329.63, 261.63, 392.0, 293.66, 440.0 };
    for (std::size_t i = 0; i < frames; ++i)
    {
        const double t = static_cast<double> (i) / rate;
        const auto note = static_cast<std::size_t> (t / 0.4);
        const double since = t - static_cast<double> (note) * 0.4;
        const double pluck = 0.4 * std::exp (-6.0 * since) * std::sin (2.0 * M_PI * notes[note % 6] * since);
        // Quiet noise that is never exactly zero keeps every sample of the input telling.
        const float floor = 0.002f * noise();
        audio.channels[0][i] = static_cast<float> (pluck) + (floor >= 0 ? floor + 1.0e-4f : floor - 1.0e-4f);
        audio.channels[1][i] = 0.3f * noise();
    }
    return writeWav (path, audio) ? 0 : fail ("cannot write " + path);
}

struct Loop
{
    jack_client_t* client = nullptr;
    jack_port_t* sends[2] {};
    jack_port_t* returns[2] {};
    const Audio* signal = nullptr;
    Audio recording;
    std::atomic<bool> started { false };
    std::atomic<bool> finished { false };
    std::size_t position = 0;

    static int process (jack_nframes_t numFrames, void* arg)
    {
        auto& self = *static_cast<Loop*> (arg);
        float* sent[2];
        const float* returned[2];
        for (int c = 0; c < 2; ++c)
        {
            sent[c] = static_cast<float*> (jack_port_get_buffer (self.sends[c], numFrames));
            returned[c] = static_cast<const float*> (jack_port_get_buffer (self.returns[c], numFrames));
        }

        for (jack_nframes_t i = 0; i < numFrames; ++i)
        {
            const bool playing = self.started.load() && self.position < self.signal->frames();
            for (int c = 0; c < 2; ++c)
            {
                sent[c][i] = playing ? self.signal->channels[(size_t) c][self.position] : 0.0f;
                if (playing)
                {
                    self.recording.channels[(size_t) c][self.position] = sent[c][i];
                    self.recording.channels[(size_t) c + 2][self.position] = returned[c][i];
                }
            }
            if (playing && ++self.position == self.signal->frames())
                self.finished = true;
        }
        return 0;
    }
};

int waitForServer (double seconds)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double> (seconds);
    for (;;)
    {
        jack_status_t status {};
        if (auto* client = jack_client_open ("pelorvane-wait", JackNoStartServer, &status))
        {
            jack_client_close (client);
            return 0;
        }
        if (std::chrono::steady_clock::now() > limit)
            return fail ("no JACK server came up");
        std::this_thread::sleep_for (std::chrono::milliseconds (100));
    }
}

int play (const std::string& signalPath, const std::string& recordingPath, const std::string& target)
{
    Audio signal;
    if (! readWav (signalPath, signal) || signal.channels.size() != 2)
        return fail ("cannot read the stereo float signal " + signalPath);

    Loop loop;
    loop.signal = &signal;
    loop.recording.channels.assign (4, std::vector<float> (signal.frames()));

    jack_status_t status {};
    loop.client = jack_client_open ("pelorvane-loop", JackNoStartServer, &status);
    if (loop.client == nullptr)
        return fail ("no JACK server");
    loop.recording.rate = jack_get_sample_rate (loop.client);
    if (loop.recording.rate != signal.rate)
        return fail ("the JACK server runs at another sample rate than the signal");

    for (int c = 0; c < 2; ++c)
    {
        const auto n = std::to_string (c + 1);
        loop.sends[c] = jack_port_register (loop.client, ("send_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        loop.returns[c] = jack_port_register (loop.client, ("return_" + n).c_str(), JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
    }
    jack_set_process_callback (loop.client, Loop::process, &loop);
    if (jack_activate (loop.client) != 0)
        return fail ("cannot activate the JACK client");

    // CLIENT may still be starting.
    const auto connectBy = std::chrono::steady_clock::now() + std::chrono::seconds (30);
    for (int c = 0; c < 2; ++c)
    {
        const auto n = std::to_string (c + 1);
        const auto connect = [&] (const std::string& from, const std::string& to)
        {
            while (jack_connect (loop.client, from.c_str(), to.c_str()) != 0)
            {
                if (std::chrono::steady_clock::now() > connectBy)
                    return false;
                std::this_thread::sleep_for (std::chrono::milliseconds (100));
            }
            return true;
        };
        if (! connect (jack_port_name (loop.sends[c]), target + ":" + LV2Ports::audio[c].symbol)
            || ! connect (target + ":" + LV2Ports::audio[c + 2].symbol, jack_port_name (loop.returns[c])))
            return fail ("cannot connect to " + target + "'s audio ports");
    }

    loop.started = true;
    std::cout << "playing " << signal.frames() << " frames at " << signal.rate << " Hz" << std::endl;

    const auto limit = std::chrono::steady_clock::now() + std::chrono::duration<double> (signal.frames() / signal.rate * 4 + 30);
    while (! loop.finished && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for (std::chrono::milliseconds (50));

    // The latency CLIENT declares on its outputs beyond that of its inputs (ours are 0): what
    // it reads from the plug-in's latency port.
    for (int c = 1; c <= 2; ++c)
    {
        const auto name = target + ":" + LV2Ports::audio[c + 1].symbol;
        if (auto* port = jack_port_by_name (loop.client, name.c_str()))
        {
            jack_latency_range_t range {};
            jack_port_get_latency_range (port, JackCaptureLatency, &range);
            std::cout << name << " latency " << range.min << " to " << range.max << " frames" << std::endl;
        }
    }
    jack_client_close (loop.client);

    if (! loop.finished)
        return fail ("the JACK server stopped running the loop");
    return writeWav (recordingPath, loop.recording) ? 0 : fail ("cannot write " + recordingPath);
}

// Where the recording's returned audio lags behind what was sent (the graph's cycle may add a
// period), and the first sent frame that did not come back unchanged on both sides.
struct Split
{
    std::size_t lag = 0;
    std::size_t firstProcessed = 0;
};

bool findSplit (const Audio& recording, Split& split)
{
    const auto& sent = recording.channels[0];
    const auto& left = recording.channels[2];
    const auto& right = recording.channels[3];
    const auto frames = recording.frames();

    // The signal's first sample is not zero, and what came back before it is silence.
    while (split.lag < frames && left[split.lag] == 0.0f)
        ++split.lag;
    if (split.lag == frames)
        return false;

    auto i = std::size_t { 0 };
    while (i + split.lag < frames && left[i + split.lag] == sent[i] && right[i + split.lag] == sent[i])
        ++i;
    split.firstProcessed = i;
    return true;
}

int splitRecording (const std::string& recordingPath, const std::string& renderInputPath)
{
    Audio recording;
    Split split;
    if (! readWav (recordingPath, recording) || recording.channels.size() != 4 || ! findSplit (recording, split))
        return fail ("no usable recording in " + recordingPath);

    std::cout << "returned audio lags " << split.lag << " frames; bypassed (left input on both sides) for "
              << split.firstProcessed << " frames (" << static_cast<double> (split.firstProcessed) / recording.rate << " s)\n";

    const auto remaining = recording.frames() - split.lag - split.firstProcessed;
    if (split.firstProcessed < 4096 || remaining < static_cast<std::size_t> (recording.rate * 2))
        return fail ("the effect was not switched on well inside the recording");

    Audio input { recording.rate, {} };
    for (int c = 0; c < 2; ++c)
        input.channels.emplace_back (recording.channels[(size_t) c].begin() + static_cast<std::ptrdiff_t> (split.firstProcessed),
                                     recording.channels[(size_t) c].end() - static_cast<std::ptrdiff_t> (split.lag));
    return writeWav (renderInputPath, input) ? 0 : fail ("cannot write " + renderInputPath);
}

int compare (const std::string& recordingPath, const std::string& renderedPath, bool expectDifferent)
{
    Audio recording, rendered;
    Split split;
    if (! readWav (recordingPath, recording))
        return fail ("no usable recording in " + recordingPath);

    // A recording holds what was sent, then what came back; a plain output only the latter.
    const auto returned = recording.channels.size() == 4 ? std::size_t { 2 } : std::size_t { 0 };
    if ((returned == 2 && ! findSplit (recording, split)) || (returned == 0 && recording.channels.size() != 2))
        return fail ("no usable recording in " + recordingPath);
    if (! readWav (renderedPath, rendered) || rendered.channels.size() != 2 || rendered.rate != recording.rate)
        return fail ("no stereo float render at the recording's rate in " + renderedPath);

    const auto start = split.lag + split.firstProcessed;
    const auto frames = std::min (recording.frames() - start, rendered.frames());
    std::size_t differing = 0, firstDifference = frames;
    double largest = 0, peak = 0;
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c)
        {
            const float host = recording.channels[(size_t) c + returned][start + i];
            const float ours = rendered.channels[(size_t) c][i];
            peak = std::max (peak, (double) std::abs (host));
            if (host != ours)
            {
                ++differing;
                firstDifference = std::min (firstDifference, i);
                largest = std::max (largest, (double) std::abs (host - ours));
            }
        }

    std::cout << "compared " << frames << " stereo frames (" << static_cast<double> (frames) / recording.rate
              << " s, peak " << peak << "): " << differing << " samples differ";
    if (differing > 0)
        std::cout << ", the first at frame " << firstDifference << ", by up to " << largest;
    std::cout << "\n";

    if (frames < static_cast<std::size_t> (recording.rate * 2) || peak == 0)
        return fail ("too little audio to compare");
    return (differing == 0) != expectDifferent ? 0 : 1;
}
} // namespace

int main (int argc, char** argv)
{
    const std::vector<std::string> args (argv + 1, argv + argc);
    if (args.size() == 5 && args[0] == "signal")
        return makeSignal (args[1], std::stod (args[2]), std::stod (args[3]), std::stod (args[4]));
    if (args.size() == 2 && args[0] == "wait-server")
        return waitForServer (std::stod (args[1]));
    if (args.size() == 4 && args[0] == "play")
        return play (args[1], args[2], args[3]);
    if (args.size() == 3 && args[0] == "split")
        return splitRecording (args[1], args[2]);
    if ((args.size() == 3 || (args.size() == 4 && args[3] == "--expect-different")) && args[0] == "compare")
        return compare (args[1], args[2], args.size() == 4);

    std::cerr << "usage: PelorvaneLV2CheckTool signal SIGNAL.wav RATE SECONDS TAIL_SECONDS\n"
                 "       PelorvaneLV2CheckTool wait-server SECONDS\n"
                 "       PelorvaneLV2CheckTool play SIGNAL.wav RECORDING.wav CLIENT\n"
                 "       PelorvaneLV2CheckTool split RECORDING.wav RENDER_INPUT.wav\n"
                 "       PelorvaneLV2CheckTool compare RECORDING.wav RENDERED.wav [--expect-different]\n";
    return 2;
}
