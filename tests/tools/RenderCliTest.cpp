#include "RenderTestSupport.h"
#include "dsp/ReferenceNetwork.h"
#include "render/SpectrogramImage.h"
#include "render/WavFileSink.h"

#include <juce_graphics/juce_graphics.h>

#include <gtest/gtest.h>

using namespace rendertest;

namespace
{
class RenderCli : public ::testing::Test
{
protected:
    juce::String path (const juce::String& name) const { return scratch.file (name).getFullPathName(); }

    /** Writes a 0.5 s stereo test file and returns its path. */
    juce::String stereoInput (double sampleRate = 44100.0, const juce::String& name = "in.wav")
    {
        writeWav (scratch.file (name), toneAndNoise (static_cast<int> (0.5 * sampleRate), sampleRate), sampleRate);
        return path (name);
    }

    /** A failed run must leave the folder as it was: no output, no temporary files. */
    void expectOnlyFiles (const juce::StringArray& expected) const
    {
        EXPECT_EQ (scratch.fileNames().joinIntoString (" "), expected.joinIntoString (" "));
    }

    ScratchFolder scratch;
    juce::ScopedJuceInitialiser_GUI framework;
};

const EffectSettings sparkling { { { "Space", 7.3f }, { "Lumens", 8.0f }, { "Tone", 3.2f }, { "Mix", 65.0f } }, false };
const juce::StringArray sparklingOptions { "--space", "7.3", "--lumens", "8", "--tone", "3.2", "--mix", "65" };

juce::StringArray with (juce::StringArray arguments, const juce::StringArray& more)
{
    arguments.addArray (more);
    return arguments;
}

float meanBrightness (const juce::Image& image, juce::Rectangle<int> area)
{
    double sum = 0.0;
    for (int y = area.getY(); y < area.getBottom(); ++y)
        for (int x = area.getX(); x < area.getRight(); ++x)
            sum += image.getPixelAt (x, y).getPerceivedBrightness();

    return static_cast<float> (sum / (area.getWidth() * area.getHeight()));
}

} // namespace

TEST_F (RenderCli, BadCommandLinesExitWithTwoAndWriteNothing)
{
    const auto input = stereoInput();

    const struct
    {
        juce::StringArray arguments;
        const char* message;
    } cases[] = {
        { { input, "-o", path ("out.wav"), "--shine", "3" }, "unknown option '--shine'" },
        { { input, "-o", path ("out.wav"), "--space", "11" }, "--space 11 is out of range: 0 to 10" },
        { { input, "-o", path ("out.wav"), "--mix", "-5" }, "--mix -5 is out of range: 0 to 100" },
        { { input, "-o", path ("out.wav"), "--block", "0" }, "--block 0 is out of range" },
        { { input }, "no output file given" },
    };

    for (const auto& c : cases)
    {
        const auto run = runRenderer (c.arguments);
        EXPECT_EQ (run.exitCode, 2) << c.message;
        EXPECT_TRUE (run.output.contains (juce::String ("pelorvane-render: error: ") + c.message)) << run.output;
        EXPECT_TRUE (run.output.contains ("--help")) << run.output;
    }

    expectOnlyFiles ({ "in.wav" });

    const auto help = runRenderer ({ "--help" });
    EXPECT_EQ (help.exitCode, 0);
    EXPECT_TRUE (help.output.contains ("Usage: pelorvane-render")) << help.output;
    EXPECT_TRUE (help.output.contains ("mono file's channel is\nfed as the left input")) << help.output;
}

TEST_F (RenderCli, UnusableInputExitsWithOneAndWritesNothing)
{
    scratch.file ("notes.wav").replaceWithText ("not audio at all, just text with a .wav name\n");
    scratch.file ("folder.wav").createDirectory();
    writeWav (scratch.file ("empty.wav"), juce::AudioBuffer<float> (2, 0), 48000.0);

    const struct
    {
        const char* input;
        const char* message;
    } cases[] = {
        { "missing.wav", "missing.wav: no such file" },
        { "notes.wav", "notes.wav is not an audio file the renderer can read (WAV, AIFF, FLAC or Ogg Vorbis)" },
        { "folder.wav", "folder.wav is a folder, not an audio file" },
        { "empty.wav", "empty.wav contains no audio" },
    };

    for (const auto& c : cases)
    {
        const auto run = runRenderer ({ path (c.input), "-o", path ("out.wav"), "--spectrogram", path ("out.png") });
        EXPECT_EQ (run.exitCode, 1) << c.input;
        EXPECT_TRUE (run.output.contains (c.message)) << run.output;
    }

    expectOnlyFiles ({ "empty.wav", "folder.wav", "notes.wav" });
}

TEST_F (RenderCli, SampleRatesFromEightTo384KilohertzAreRendered)
{
    for (double rate : { 7999.0, 384001.0 })
    {
        const auto input = stereoInput (rate, "odd.wav");
        const auto run = runRenderer ({ input, "-o", path ("out.wav") });
        EXPECT_EQ (run.exitCode, 1) << rate;
        EXPECT_TRUE (run.output.contains ("the renderer takes 8000 to 384000 Hz")) << run.output;
    }

    expectOnlyFiles ({ "odd.wav" });

    for (double rate : { 8000.0, 384000.0 })
    {
        const auto input = stereoInput (rate, "edge.wav");
        const auto run = runRenderer ({ input, "-o", path ("out.wav"), "--tail", "0.2" });
        ASSERT_EQ (run.exitCode, 0) << run.output;

        const auto out = readAudio (scratch.file ("out.wav"));
        EXPECT_EQ (out.sampleRate, rate);
        EXPECT_EQ (out.samples.getNumChannels(), 2);
        EXPECT_GE (out.samples.getNumSamples(), static_cast<int> (0.5 * rate));
        EXPECT_LE (out.samples.getNumSamples(), static_cast<int> (0.7 * rate));
    }
}

TEST_F (RenderCli, OutputThatCannotBeWrittenExitsWithOneAndLeavesNothing)
{
    const auto input = stereoInput();
    scratch.file ("taken.wav").createDirectory();

    const struct
    {
        juce::StringArray arguments;
        const char* message;
    } cases[] = {
        { { input, "-o", path ("no/such/folder/out.wav") }, "the folder" },
        { { input, "-o", path ("taken.wav") }, "taken.wav is a directory" },
        { { input, "-o", path ("out.wav"), "--spectrogram", path ("missing/out.png") }, "out.png cannot be written" },
        { { input, "-o", path ("out.wav"), "--vst3", path ("Nothing.vst3") }, "Nothing.vst3 does not exist" },
    };

    for (const auto& c : cases)
    {
        const auto run = runRenderer (c.arguments);
        EXPECT_EQ (run.exitCode, 1) << c.message;
        EXPECT_TRUE (run.output.contains (c.message)) << run.output;
    }

    expectOnlyFiles ({ "in.wav", "taken.wav" });
}

TEST_F (RenderCli, OutputEqualsTheProcessorDrivenDirectlyAndEndsAtMinus90Decibels)
{
    const double rate = 44100.0;
    const auto input = stereoInput (rate);
    const auto run = runRenderer (with ({ input, "-o", path ("out.wav"), "--float", "--block", "300" }, sparklingOptions));
    ASSERT_EQ (run.exitCode, 0) << run.output;

    const auto out = readAudio (scratch.file ("out.wav"));
    ASSERT_EQ (out.samples.getNumChannels(), 2);
    EXPECT_TRUE (out.usesFloatingPoint);
    EXPECT_EQ (out.bitsPerSample, 32);
    EXPECT_EQ (out.sampleRate, rate);

    const auto expected = processDirectly (readAudio (scratch.file ("in.wav")).samples, rate, sparkling, 300, 20.0);
    const int end = endOfSignal (expected, -90.0f);
    ASSERT_LT (end, expected.getNumSamples() - static_cast<int> (rate)) << "the reference rendering is too short for this tail";

    EXPECT_EQ (out.samples.getNumSamples(), end);
    EXPECT_TRUE (sameSamples (out.samples, expected, end));

    EXPECT_TRUE (run.output.contains ("Space 7.3, Lumens 8.0, Tone 3.2, Mix 65 %, active")) << run.output;
    EXPECT_TRUE (run.output.contains ("the right channel differed from the left and was discarded")) << run.output;
    EXPECT_TRUE (run.output.contains (path ("out.wav") + ": ")) << run.output;
    EXPECT_TRUE (run.output.contains ("x real time")) << run.output;
    expectOnlyFiles ({ "in.wav", "out.wav" });
}

// The network written out independently from its equations, fed the left channel on
// both inputs: what the renderer writes must be exactly its output.
TEST_F (RenderCli, OutputMatchesTheIndependentReferenceNetwork)
{
    const double rate = 48000.0;
    const auto input = stereoInput (rate);
    const auto run = runRenderer (with ({ input, "-o", path ("out.wav"), "--float" }, sparklingOptions));
    ASSERT_EQ (run.exitCode, 0) << run.output;

    const auto out = readAudio (scratch.file ("out.wav")).samples;
    const auto in = readAudio (scratch.file ("in.wav")).samples;

    std::vector<float> left (static_cast<size_t> (out.getNumSamples()), 0.0f);
    std::copy (in.getReadPointer (0), in.getReadPointer (0) + in.getNumSamples(), left.begin());
    std::vector<float> expectedLeft (left.size()), expectedRight (left.size());

    ReferenceNetwork network (static_cast<int> (rate));
    network.process ({ 7.3f, 8.0f, 3.2f, 65.0f * 0.01f }, left.data(), left.data(), expectedLeft.data(), expectedRight.data(), static_cast<int> (left.size()));

    juce::AudioBuffer<float> expected (2, out.getNumSamples());
    expected.copyFrom (0, 0, expectedLeft.data(), out.getNumSamples());
    expected.copyFrom (1, 0, expectedRight.data(), out.getNumSamples());
    EXPECT_TRUE (sameSamples (out, expected, out.getNumSamples()));
}

TEST_F (RenderCli, MonoInputIsTheLeftInputAndGivesA24BitStereoFile)
{
    const double rate = 48000.0;
    writeWav (scratch.file ("mono.wav"), toneAndNoise (24000, rate, 1), rate);

    const auto run = runRenderer ({ path ("mono.wav"), "-o", path ("out.wav") });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    EXPECT_TRUE (run.output.contains ("mono.wav is mono: its channel is the effect's (left) input, and the output is stereo")) << run.output;

    const auto out = readAudio (scratch.file ("out.wav"));
    ASSERT_EQ (out.samples.getNumChannels(), 2);
    EXPECT_EQ (out.bitsPerSample, 24);
    EXPECT_FALSE (out.usesFloatingPoint);

    const auto expected = processDirectly (readAudio (scratch.file ("mono.wav")).samples, rate, {}, 512, 20.0);
    ASSERT_EQ (out.samples.getNumSamples(), endOfSignal (expected, -90.0f));

    float largestError = 0.0f;
    for (int channel = 0; channel < 2; ++channel)
        for (int i = 0; i < out.samples.getNumSamples(); ++i)
            largestError = std::max (largestError, std::abs (out.samples.getSample (channel, i) - expected.getSample (channel, i)));

    EXPECT_LE (largestError, 1.0f / (1 << 23)); // 24-bit rounding, nothing more
}

TEST_F (RenderCli, AiffAndFlacFilesRenderLikeTheSameSamplesInAWavFile)
{
    const auto samples = toneAndNoise (22050, 44100.0);
    writeWav (scratch.file ("in.wav"), samples, 44100.0, 24);
    juce::AiffAudioFormat aiff;
    writeAudio (aiff, scratch.file ("in.aiff"), samples, 44100.0, 24);
    juce::FlacAudioFormat flac;
    writeAudio (flac, scratch.file ("in.flac"), samples, 44100.0, 24);

    for (const auto* name : { "in.wav", "in.aiff", "in.flac" })
    {
        const auto run = runRenderer ({ path (name), "-o", path (juce::String (name) + ".out.wav"), "--float", "--space", "6" });
        ASSERT_EQ (run.exitCode, 0) << run.output;
    }

    const auto reference = readAudio (scratch.file ("in.wav.out.wav")).samples;
    ASSERT_GT (reference.getNumSamples(), 22050);

    for (const auto* name : { "in.aiff", "in.flac" })
    {
        const auto out = readAudio (scratch.file (juce::String (name) + ".out.wav")).samples;
        ASSERT_EQ (out.getNumSamples(), reference.getNumSamples()) << name;
        EXPECT_TRUE (sameSamples (out, reference, reference.getNumSamples())) << name;
    }
}

// A recording cut short mid-frame, and a header claiming 4 GiB in a small file: what the
// file holds renders as that prefix on its own would, and a note says what was missing.
TEST_F (RenderCli, AFileShorterThanItsHeaderRendersWhatItHolds)
{
    const int length = 22050, bytesPerFrame = 6; // 24-bit stereo
    const juce::uint32 fourGiB = 0xfffffff0;
    const auto samples = toneAndNoise (length, 44100.0);
    juce::AiffAudioFormat aiff;
    writeWav (scratch.file ("cut.wav"), samples, 44100.0, 24);
    writeAudio (aiff, scratch.file ("cut.aiff"), samples, 44100.0, 24);
    writeWav (scratch.file ("huge.wav"), samples, 44100.0, 24);
    removeLastBytes (scratch.file ("cut.wav"), 1000 * bytesPerFrame + 4);
    removeLastBytes (scratch.file ("cut.aiff"), 1000 * bytesPerFrame + 4);
    declareWavDataBytes (scratch.file ("huge.wav"), fourGiB);

    const struct
    {
        const char* name;
        int present;
        juce::int64 declared;
    } cases[] = {
        { "cut.wav", length - 1001, length },
        { "cut.aiff", length - 1001, length },
        { "huge.wav", length, fourGiB / bytesPerFrame },
    };

    for (const auto& c : cases)
    {
        auto prefix = samples;
        prefix.setSize (2, c.present, true);
        writeWav (scratch.file ("prefix.wav"), prefix, 44100.0, 24);

        const auto damaged = runRenderer ({ path (c.name), "-o", path ("damaged.wav"), "--float" });
        const auto intact = runRenderer ({ path ("prefix.wav"), "-o", path ("intact.wav"), "--float" });
        ASSERT_EQ (damaged.exitCode, 0) << damaged.output;
        ASSERT_EQ (intact.exitCode, 0) << intact.output;
        EXPECT_TRUE (damaged.output.contains (juce::String (c.name) + " is cut short: its header declares " + juce::String (c.declared)
                                              + " frames but the file holds " + juce::String (c.present) + "; only those are rendered"))
            << damaged.output;

        const auto out = readAudio (scratch.file ("damaged.wav")).samples;
        const auto expected = readAudio (scratch.file ("intact.wav")).samples;
        ASSERT_EQ (out.getNumSamples(), expected.getNumSamples()) << c.name;
        EXPECT_TRUE (sameSamples (out, expected, out.getNumSamples())) << c.name;
    }
}

// Writing 4 GiB takes minutes, so the decision is checked on its numbers, and the header
// overhead it rests on against what the framework's writer really puts in a file.
TEST (WavFileSink, AFileEndingJustShortOfFourGiBIsTakenToRf64RatherThanWrapping)
{
    const ScratchFolder scratch;
    juce::AudioBuffer<float> silence (2, 100);
    silence.clear();
    writeWav (scratch.file ("small.wav"), silence, 48000.0, 24);

    juce::MemoryBlock bytes;
    ASSERT_TRUE (scratch.file ("small.wav").loadFileAsData (bytes));
    const auto riffSize = juce::ByteOrder::littleEndianInt (static_cast<const char*> (bytes.getData()) + 4);
    EXPECT_EQ (riffSize, 100 * 6 + WavFileSink::riffBytesBesidesSamples);

    EXPECT_EQ (WavFileSink::silentFramesNeeded (4294967192, 8), 0); // RIFF size 2^32 - 8
    EXPECT_EQ (WavFileSink::silentFramesNeeded (4294967200, 8), 12); // RIFF size 2^32
    EXPECT_EQ (WavFileSink::silentFramesNeeded (4294967202, 6), 16);
    EXPECT_EQ (WavFileSink::silentFramesNeeded (4294967296, 8), 0); // RF64 already
}

TEST_F (RenderCli, BypassGivesTheLeftInputOnBothSidesWithoutATail)
{
    const auto input = stereoInput();
    const auto run = runRenderer ({ input, "-o", path ("out.wav"), "--float", "--bypass", "--space", "9" });
    ASSERT_EQ (run.exitCode, 0) << run.output;

    const auto in = readAudio (scratch.file ("in.wav")).samples;
    const auto out = readAudio (scratch.file ("out.wav")).samples;
    ASSERT_EQ (out.getNumSamples(), in.getNumSamples());

    juce::AudioBuffer<float> leftTwice (2, in.getNumSamples());
    leftTwice.copyFrom (0, 0, in, 0, 0, in.getNumSamples());
    leftTwice.copyFrom (1, 0, in, 0, 0, in.getNumSamples());
    EXPECT_TRUE (sameSamples (out, leftTwice, in.getNumSamples()));
}

TEST_F (RenderCli, TheTailLimitCutsAnEndlessTail)
{
    const double rate = 44100.0;
    const auto input = stereoInput (rate);
    const auto run = runRenderer ({ input, "-o", path ("out.wav"), "--space", "10", "--mix", "100", "--tail", "0.25" });
    ASSERT_EQ (run.exitCode, 0) << run.output;

    EXPECT_EQ (readAudio (scratch.file ("out.wav")).samples.getNumSamples(), static_cast<int> (0.75 * rate));
    EXPECT_TRUE (run.output.contains ("the tail was still above -90 dBFS when the --tail limit of 0.25 s was reached")) << run.output;
}

TEST_F (RenderCli, TheVst3ModuleRendersTheSameAudioAsTheLinkedProcessor)
{
    ASSERT_TRUE (vst3Bundle().isDirectory()) << vst3Bundle().getFullPathName();
    const auto input = stereoInput (96000.0);

    for (const auto& extra : { sparklingOptions, juce::StringArray { "--bypass" } })
    {
        const auto linked = runRenderer (with ({ input, "-o", path ("linked.wav"), "--float", "--block", "1000" }, extra));
        const auto hosted = runRenderer (with ({ input, "-o", path ("hosted.wav"), "--float", "--block", "1000", "--vst3", vst3Bundle().getFullPathName() }, extra));
        ASSERT_EQ (linked.exitCode, 0) << linked.output;
        ASSERT_EQ (hosted.exitCode, 0) << hosted.output;
        EXPECT_TRUE (hosted.output.contains ("through the VST3 module")) << hosted.output;

        const auto a = readAudio (scratch.file ("linked.wav")).samples;
        const auto b = readAudio (scratch.file ("hosted.wav")).samples;
        ASSERT_EQ (a.getNumSamples(), b.getNumSamples());
        EXPECT_GE (a.getNumSamples(), 48000);
        EXPECT_TRUE (sameSamples (a, b, a.getNumSamples())) << extra.joinIntoString (" ");
    }
}

TEST_F (RenderCli, DrawsTheDemoPhrasesSpectrogramsWithShimmerAndTailBelowTheInput)
{
    const auto run = runRenderer ({ "-o", path ("demo.wav"), "--spectrogram", path ("demo.png"), "--lumens", "10" });
    ASSERT_EQ (run.exitCode, 0) << run.output;
    EXPECT_TRUE (run.output.contains ("rendering the built-in demo phrase (4.0 s at 48000 Hz)")) << run.output;
    EXPECT_TRUE (run.output.contains (path ("demo.png") + ": spectrogram, 1200 x 800")) << run.output;

    const auto image = juce::ImageFileFormat::loadFrom (scratch.file ("demo.png"));
    ASSERT_TRUE (image.isValid());
    EXPECT_EQ (image.getWidth(), 1200);
    EXPECT_EQ (image.getHeight(), 800);

    const double rate = 48000.0, phraseSeconds = 4.0;
    const double totalSeconds = readAudio (scratch.file ("demo.wav")).samples.getNumSamples() / rate;
    ASSERT_GT (totalSeconds, phraseSeconds + 1.0);

    // Areas of a panel between two times and two frequencies, the same in both panels.
    const auto area = [&] (int panel, double fromSeconds, double toSeconds, double lowHertz, double highHertz)
    {
        const auto plot = SpectrogramImage::plotBounds (panel);
        const int left = SpectrogramImage::columnForTime (plot, fromSeconds, totalSeconds);
        const int top = SpectrogramImage::rowForFrequency (plot, highHertz, rate);
        return juce::Rectangle<int>::leftTopRightBottom (left, top, SpectrogramImage::columnForTime (plot, toSeconds, totalSeconds), SpectrogramImage::rowForFrequency (plot, lowHertz, rate));
    };

    // The notes themselves: lit in the input, where they lie below 2 kHz.
    EXPECT_GT (meanBrightness (image, area (0, 0.5, 3.5, 100.0, 2000.0)), 0.25f);

    // Above the notes' partials the input is dark; the output holds the shimmer's octaves.
    const auto inputHigh = meanBrightness (image, area (0, 2.5, 4.0, 2500.0, 8000.0));
    const auto outputHigh = meanBrightness (image, area (1, 2.5, 4.0, 2500.0, 8000.0));
    EXPECT_LT (inputHigh, 0.01f); // black but for a grid line
    EXPECT_GT (outputHigh, inputHigh + 0.05f);

    // After the phrase: nothing in the input, the decaying tail in the output.
    const auto inputAfter = meanBrightness (image, area (0, 4.1, 5.0, 50.0, 2000.0));
    const auto outputAfter = meanBrightness (image, area (1, 4.1, 5.0, 50.0, 2000.0));
    EXPECT_LT (inputAfter, 0.05f);
    EXPECT_GT (outputAfter, inputAfter + 0.1f);
}
