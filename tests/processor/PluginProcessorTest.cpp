#include "processor/PluginProcessor.h"
#include "dsp/mydsp.h"

#include <juce_audio_utils/juce_audio_utils.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#if JUCE_INTEL
#include <xmmintrin.h>
#endif

namespace
{
class ProcessorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing::internal::CaptureStdout();
        processor = std::make_unique<PelorvaneAudioProcessor>();
        constructionOutput = testing::internal::GetCapturedStdout();
    }

    juce::RangedAudioParameter& param (const char* id) { return *processor->parameters.getParameter (id); }

    void setPlain (const char* id, float plainValue)
    {
        auto& p = param (id);
        p.setValueNotifyingHost (p.convertTo0to1 (plainValue));
    }

    float plain (const char* id) { return processor->parameters.getRawParameterValue (id)->load(); }

    juce::AudioBuffer<float> process (const juce::AudioBuffer<float>& input, int blockSize = 512)
    {
        juce::AudioBuffer<float> out (input);
        juce::MidiBuffer midi;
        for (int start = 0; start < out.getNumSamples(); start += blockSize)
        {
            const int count = std::min (blockSize, out.getNumSamples() - start);
            juce::AudioBuffer<float> block (out.getArrayOfWritePointers(), 2, start, count);
            processor->processBlock (block, midi);
        }
        return out;
    }

    juce::ScopedJuceInitialiser_GUI juceInit;
    std::unique_ptr<PelorvaneAudioProcessor> processor;
    std::string constructionOutput;
};

juce::AudioBuffer<float> noiseBuffer (int length, unsigned seed, float level = 0.5f)
{
    juce::AudioBuffer<float> b (2, length);
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-level, level);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < length; ++i)
            b.setSample (ch, i, dist (rng));
    return b;
}

bool sameChannel (const juce::AudioBuffer<float>& a, int chA, const juce::AudioBuffer<float>& b, int chB)
{
    for (int i = 0; i < a.getNumSamples(); ++i)
        if (a.getSample (chA, i) != b.getSample (chB, i))
            return false;
    return true;
}

/** Runs the bare engine the way the processor should: left input on both inputs. */
juce::AudioBuffer<float> engineOutput (int sampleRate, float space, float lumens, float tone, float mix, const juce::AudioBuffer<float>& input)
{
    auto engine = std::make_unique<mydsp>();
    engine->init (sampleRate);
    engine->fHslider2 = space;
    engine->fHslider3 = lumens;
    engine->fHslider1 = tone;
    engine->fHslider0 = mix;

    juce::AudioBuffer<float> out (input);
    out.copyFrom (1, 0, out, 0, 0, out.getNumSamples());
    for (int start = 0; start < out.getNumSamples(); start += 512)
    {
        float* io[] = { out.getWritePointer (0, start), out.getWritePointer (1, start) };
        engine->compute (std::min (512, out.getNumSamples() - start), io, io);
    }
    return out;
}
} // namespace

TEST_F (ProcessorTest, PrintsTheFrameworkVersionOncePerInstance)
{
    EXPECT_EQ (constructionOutput, juce::SystemStats::getJUCEVersion().toStdString() + "\n");
    EXPECT_TRUE (juce::String (constructionOutput).startsWith ("JUCE v"));
}

TEST_F (ProcessorTest, ParameterTable)
{
    const auto& params = processor->getParameters();
    ASSERT_EQ (params.size(), 5);

    const char* ids[] = { "Bypass", "Space", "Lumens", "Tone", "Mix" };
    for (int i = 0; i < 5; ++i)
    {
        auto* p = dynamic_cast<juce::RangedAudioParameter*> (params[i]);
        ASSERT_NE (p, nullptr);
        EXPECT_EQ (p->getParameterID(), ids[i]);
        EXPECT_EQ (p->getName (100), ids[i]);
        EXPECT_EQ (p->getVersionHint(), 1);
        EXPECT_TRUE (p->isAutomatable());
        EXPECT_FALSE (p->isMetaParameter());
    }

    EXPECT_NE (dynamic_cast<juce::AudioParameterBool*> (params[0]), nullptr);
    EXPECT_EQ (param ("Bypass").getDefaultValue(), 0.0f);

    for (const char* id : { "Space", "Lumens", "Tone" })
    {
        const auto& range = param (id).getNormalisableRange();
        EXPECT_EQ (range.start, 0.0f);
        EXPECT_EQ (range.end, 10.0f);
        EXPECT_FLOAT_EQ (range.interval, 0.1f);
        EXPECT_EQ (range.skew, 1.0f);
        EXPECT_EQ (plain (id), 5.0f);
        EXPECT_EQ (param (id).getLabel(), "");
        EXPECT_EQ (param (id).getCurrentValueAsText(), "5.0");
    }

    const auto& mixRange = param ("Mix").getNormalisableRange();
    EXPECT_EQ (mixRange.end, 100.0f);
    EXPECT_EQ (mixRange.interval, 1.0f);
    EXPECT_EQ (plain ("Mix"), 50.0f);
    EXPECT_EQ (param ("Mix").getLabel(), "%");
    EXPECT_EQ (param ("Mix").getCurrentValueAsText(), "50");

    EXPECT_EQ (processor->getBypassParameter(), &param ("Bypass"));
    EXPECT_EQ (processor->parameters.state.getType().toString(), "Pelorvane");
}

TEST_F (ProcessorTest, HostValuesSnapToTheStep)
{
    setPlain ("Space", 5.03f);
    EXPECT_FLOAT_EQ (plain ("Space"), 5.0f);
    setPlain ("Mix", 49.6f);
    EXPECT_EQ (plain ("Mix"), 50.0f);
    setPlain ("Tone", 12.0f);
    EXPECT_EQ (plain ("Tone"), 10.0f);
}

TEST_F (ProcessorTest, BypassTexts)
{
    auto& bypass = param ("Bypass");
    EXPECT_EQ (bypass.getText (1.0f, 0), "Bypassed");
    EXPECT_EQ (bypass.getText (0.0f, 0), "Active");
    EXPECT_EQ (bypass.getValueForText ("Bypassed"), 1.0f);
    EXPECT_EQ (bypass.getValueForText ("bypassed"), 0.0f);
    EXPECT_EQ (bypass.getValueForText ("On"), 0.0f);
}

TEST_F (ProcessorTest, ProgramsAndMidi)
{
    EXPECT_EQ (processor->getName(), "Pelorvane");
    EXPECT_EQ (processor->getNumPrograms(), 1);
    processor->setCurrentProgram (3);
    EXPECT_EQ (processor->getCurrentProgram(), 0);
    EXPECT_EQ (processor->getProgramName (0), "Default");
    EXPECT_EQ (processor->getProgramName (1), "");
    EXPECT_FALSE (processor->acceptsMidi());
    EXPECT_FALSE (processor->producesMidi());
    EXPECT_EQ (processor->getLatencySamples(), 0);
}

TEST_F (ProcessorTest, OnlyStereoInAndOutIsSupported)
{
    using Set = juce::AudioChannelSet;
    const auto layout = [] (Set in, Set out)
    {
        juce::AudioProcessor::BusesLayout l;
        l.inputBuses.add (in);
        l.outputBuses.add (out);
        return l;
    };

    EXPECT_TRUE (processor->checkBusesLayoutSupported (layout (Set::stereo(), Set::stereo())));
    EXPECT_FALSE (processor->checkBusesLayoutSupported (layout (Set::mono(), Set::mono())));
    EXPECT_FALSE (processor->checkBusesLayoutSupported (layout (Set::mono(), Set::stereo())));
    EXPECT_FALSE (processor->checkBusesLayoutSupported (layout (Set::stereo(), Set::create5point1())));
    EXPECT_FALSE (processor->checkBusesLayoutSupported (layout (Set::disabled(), Set::stereo())));

    ASSERT_EQ (processor->getBusCount (true), 1);
    ASSERT_EQ (processor->getBusCount (false), 1);
    EXPECT_EQ (processor->getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor->getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor->getBus (true, 0)->getDefaultLayout(), Set::stereo());
    EXPECT_EQ (processor->getBus (false, 0)->getDefaultLayout(), Set::stereo());
}

TEST_F (ProcessorTest, ProcessesTheLeftInputThroughTheNetwork)
{
    setPlain ("Space", 7.0f);
    setPlain ("Lumens", 3.0f);
    setPlain ("Tone", 8.0f);
    setPlain ("Mix", 100.0f);
    processor->prepareToPlay (48000.0, 512);

    const auto input = noiseBuffer (48000, 1u);
    const auto out = process (input);
    const auto expected = engineOutput (48000, plain ("Space"), plain ("Lumens"), plain ("Tone"), 1.0f, input);

    EXPECT_TRUE (sameChannel (out, 0, expected, 0));
    EXPECT_TRUE (sameChannel (out, 1, expected, 1));
}

TEST_F (ProcessorTest, MixZeroGivesTheDryLeftOnBoth)
{
    setPlain ("Mix", 0.0f);
    processor->prepareToPlay (44100.0, 512);
    const auto input = noiseBuffer (20000, 2u);
    const auto out = process (input);
    EXPECT_TRUE (sameChannel (out, 0, input, 0));
    EXPECT_TRUE (sameChannel (out, 1, input, 0));
}

TEST_F (ProcessorTest, BypassPassesLeftAndFreezesTheTail)
{
    processor->prepareToPlay (48000.0, 512);
    const auto input = noiseBuffer (12000, 3u);
    juce::AudioBuffer<float> silent (2, 20000);
    silent.clear();

    // Reference run: sound, then silence, without bypass.
    process (input);
    const auto tail = process (silent);

    auto second = std::make_unique<PelorvaneAudioProcessor>();
    std::swap (processor, second);
    processor->prepareToPlay (48000.0, 512);
    process (input);

    setPlain ("Bypass", 1.0f);
    const auto bypassedInput = noiseBuffer (5000, 4u);
    const auto bypassed = process (bypassedInput);
    EXPECT_TRUE (sameChannel (bypassed, 0, bypassedInput, 0));
    EXPECT_TRUE (sameChannel (bypassed, 1, bypassedInput, 0));

    setPlain ("Bypass", 0.0f);
    const auto resumed = process (silent);
    EXPECT_TRUE (sameChannel (resumed, 0, tail, 0));
    EXPECT_TRUE (sameChannel (resumed, 1, tail, 1));
}

// Bypass is the host's bypass parameter; a host's own bypass freezes the tail as Bypass does.
TEST_F (ProcessorTest, HostsOwnBypassFreezesTheTail)
{
    EXPECT_EQ (processor->getBypassParameter(), processor->parameters.getParameter ("Bypass"));

    processor->prepareToPlay (48000.0, 512);
    const auto input = noiseBuffer (512, 3u);
    juce::AudioBuffer<float> silent (2, 4096);
    silent.clear();
    process (input);
    const auto tail = process (silent);

    processor->prepareToPlay (48000.0, 512);
    process (input);
    auto hostBypassed = noiseBuffer (512, 4u);
    const auto bypassedInput = hostBypassed;
    juce::MidiBuffer midi;
    processor->processBlockBypassed (hostBypassed, midi);
    EXPECT_TRUE (sameChannel (hostBypassed, 0, bypassedInput, 0));
    EXPECT_TRUE (sameChannel (hostBypassed, 1, bypassedInput, 0));

    const auto resumed = process (silent);
    EXPECT_TRUE (sameChannel (resumed, 0, tail, 0));
    EXPECT_TRUE (sameChannel (resumed, 1, tail, 1));
}

TEST_F (ProcessorTest, HalfwayBypassValueCountsAsOn)
{
    processor->prepareToPlay (48000.0, 512);
    param ("Bypass").setValueNotifyingHost (0.5f);
    const auto input = noiseBuffer (2000, 5u);
    const auto out = process (input);
    EXPECT_TRUE (sameChannel (out, 1, input, 0));
}

#if JUCE_INTEL
// The block runs with flush-to-zero and denormals-are-zero on (seen from the dry path: with Mix
// at 0 a denormal input leaves as exact zero), and the host's register is as it was afterwards,
// whether the host had them on or off.
TEST_F (ProcessorTest, BlocksRunWithDenormalsFlushedAndLeaveTheControlRegisterAsFound)
{
    setPlain ("Mix", 0.0f);
    processor->prepareToPlay (48000.0, 64);

    const auto hostRegister = _mm_getcsr();
    const float denormal = std::numeric_limits<float>::denorm_min() * 5.0f;

    for (const unsigned int flushBits : { 0u, 0x8040u })
    {
        const auto before = (hostRegister & ~0x8040u) | flushBits;
        _mm_setcsr (before);

        juce::AudioBuffer<float> block (2, 64);
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 64; ++i)
                block.setSample (ch, i, denormal);

        juce::MidiBuffer midi;
        processor->processBlock (block, midi);
        const auto after = _mm_getcsr();
        _mm_setcsr (hostRegister);

        EXPECT_EQ (after, before) << "host flush bits " << flushBits;

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ (block.getSample (ch, i), 0.0f) << "channel " << ch << ", sample " << i << ", host flush bits " << flushBits;
    }
}
#endif

TEST_F (ProcessorTest, ZeroLengthBlockChangesNothing)
{
    processor->prepareToPlay (48000.0, 512);
    const auto input = noiseBuffer (6000, 6u);
    auto a = std::make_unique<PelorvaneAudioProcessor>();
    a->prepareToPlay (48000.0, 512);

    process (input);
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;
    processor->processBlock (empty, midi);
    const auto withEmpty = process (input);

    std::swap (processor, a);
    process (input);
    const auto without = process (input);
    EXPECT_TRUE (sameChannel (withEmpty, 0, without, 0));
    EXPECT_TRUE (sameChannel (withEmpty, 1, without, 1));
}

TEST_F (ProcessorTest, PrepareTruncatesTheRateAndClearsTheReverb)
{
    const auto input = noiseBuffer (30000, 7u);
    processor->prepareToPlay (47999.9, 512);
    const auto out = process (input);
    const auto expected = engineOutput (47999, 5.0f, 5.0f, 5.0f, 0.5f, input);
    EXPECT_TRUE (sameChannel (out, 0, expected, 0));
    EXPECT_TRUE (sameChannel (out, 1, expected, 1));

    processor->prepareToPlay (47999.9, 512);
    juce::AudioBuffer<float> silence (2, 30000);
    silence.clear();
    const auto afterPrepare = process (silence);
    EXPECT_EQ (afterPrepare.getMagnitude (0, 30000), 0.0f);
}

TEST_F (ProcessorTest, UnusableSampleRatesStillGiveFiniteSound)
{
    const auto input = noiseBuffer (4096, 12u);
    setPlain ("Space", 9.0f);

    for (const double rate : { std::nan (""), 0.0, -44100.0, 0.5, 3.0e9, HUGE_VAL })
    {
        processor->prepareToPlay (rate, 512);
        const auto out = process (input);
        EXPECT_TRUE (std::isfinite (out.getMagnitude (0, 4096)) && std::isfinite (out.getMagnitude (1, 4096))) << rate;
    }
}

// A host may hand over fewer channels than the buses have: one channel is the input and gets
// the network's left output; none is nothing to do.
TEST_F (ProcessorTest, OneChannelGetsTheLeftOutputAndNoChannelsNothing)
{
    processor->prepareToPlay (44100.0, 4096);
    const auto input = noiseBuffer (5000, 13u);
    const auto stereo = process (input, 700);

    processor->prepareToPlay (44100.0, 4096);
    juce::AudioBuffer<float> mono (1, input.getNumSamples());
    mono.copyFrom (0, 0, input, 0, 0, input.getNumSamples());
    juce::MidiBuffer midi;

    for (int start = 0; start < mono.getNumSamples(); start += 700)
    {
        juce::AudioBuffer<float> block (mono.getArrayOfWritePointers(), 1, start, std::min (700, mono.getNumSamples() - start));
        processor->processBlock (block, midi);
    }

    EXPECT_TRUE (sameChannel (mono, 0, stereo, 0));

    juce::AudioBuffer<float> none (0, 512);
    processor->processBlock (none, midi);
}

// The framework's Standalone app opens its audio device with as many channels as the buses
// have switched on; played through its processor player, the effect must sound.
TEST (StandaloneProcessor, PlaysStereoThroughTheEffectWhileTheVst3BusesStartOff)
{
    juce::ScopedJuceInitialiser_GUI juceInit;
    testing::internal::CaptureStdout();
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Standalone);
    PelorvaneAudioProcessor standalone;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_VST3);
    PelorvaneAudioProcessor vst3;
    juce::AudioProcessor::setTypeOfNextNewPlugin (juce::AudioProcessor::wrapperType_Undefined);
    testing::internal::GetCapturedStdout();

    EXPECT_EQ (standalone.getMainBusNumInputChannels(), 2);
    EXPECT_EQ (standalone.getMainBusNumOutputChannels(), 2);
    EXPECT_EQ (vst3.getMainBusNumInputChannels(), 0);
    EXPECT_EQ (vst3.getMainBusNumOutputChannels(), 0);

    // The player as the app's device callback: stereo in and out, 512-sample blocks.
    struct StereoDevice : juce::AudioIODevice
    {
        StereoDevice()
            : AudioIODevice ("test", "test") {}
        juce::StringArray getOutputChannelNames() override { return { "L", "R" }; }
        juce::StringArray getInputChannelNames() override { return { "L", "R" }; }
        juce::Array<double> getAvailableSampleRates() override { return { 48000.0 }; }
        juce::Array<int> getAvailableBufferSizes() override { return { 512 }; }
        int getDefaultBufferSize() override { return 512; }
        juce::String open (const juce::BigInteger&, const juce::BigInteger&, double, int) override { return {}; }
        void close() override {}
        bool isOpen() override { return true; }
        void start (juce::AudioIODeviceCallback*) override {}
        void stop() override {}
        bool isPlaying() override { return true; }
        juce::String getLastError() override { return {}; }
        int getCurrentBufferSizeSamples() override { return 512; }
        double getCurrentSampleRate() override { return 48000.0; }
        int getCurrentBitDepth() override { return 32; }
        juce::BigInteger getActiveOutputChannels() const override { return 3; }
        juce::BigInteger getActiveInputChannels() const override { return 3; }
        int getOutputLatencyInSamples() override { return 0; }
        int getInputLatencyInSamples() override { return 0; }
    } device;

    juce::AudioProcessorPlayer player;
    player.audioDeviceAboutToStart (&device);
    player.setProcessor (&standalone);

    auto input = noiseBuffer (512, 14u);
    input.clear (0, 256, 256);
    juce::AudioBuffer<float> output (2, 512);
    float peakRight = 0.0f, tailLeft = 0.0f;

    for (int block = 0; block < 40; ++block)
    {
        player.audioDeviceIOCallbackWithContext (input.getArrayOfReadPointers(), 2, output.getArrayOfWritePointers(), 2, 512, {});
        peakRight = std::max (peakRight, output.getMagnitude (1, 0, 512));
        tailLeft = std::max (tailLeft, output.getMagnitude (0, 256, 256));
        input.clear();
    }

    player.setProcessor (nullptr);
    EXPECT_GT (peakRight, 0.05f) << "the left input reaches both outputs";
    EXPECT_GT (tailLeft, 0.001f) << "the reverb sounds on after the input stops";
}

TEST_F (ProcessorTest, NonFiniteInputIsTreatedAsSilence)
{
    processor->prepareToPlay (48000.0, 512);
    auto input = noiseBuffer (8192, 8u);
    auto cleaned = input;
    const float bad[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity() };
    for (int k = 0; k < 3; ++k)
    {
        input.setSample (0, 100 + 1000 * k, bad[k]);
        cleaned.setSample (0, 100 + 1000 * k, 0.0f);
    }

    const auto out = process (input);

    auto clean = std::make_unique<PelorvaneAudioProcessor>();
    std::swap (processor, clean);
    processor->prepareToPlay (48000.0, 512);
    const auto expected = process (cleaned);

    EXPECT_TRUE (sameChannel (out, 0, expected, 0));
    EXPECT_TRUE (sameChannel (out, 1, expected, 1));

    // Bypassed, the block is still the left input on both sides, with the same silence.
    setPlain ("Bypass", 1.0f);
    const auto bypassed = process (input);
    EXPECT_TRUE (sameChannel (bypassed, 0, cleaned, 0));
    EXPECT_TRUE (sameChannel (bypassed, 1, cleaned, 0));
}

TEST_F (ProcessorTest, OverflowingNetworkRecovers)
{
    setPlain ("Space", 10.0f);
    setPlain ("Mix", 100.0f);
    processor->prepareToPlay (48000.0, 512);

    auto huge = noiseBuffer (48000, 9u, 1.0e30f);
    process (huge);

    juce::AudioBuffer<float> quiet (2, 48000);
    quiet.clear();
    const auto after = process (quiet);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < after.getNumSamples(); ++i)
            ASSERT_TRUE (std::isfinite (after.getSample (ch, i))) << ch << " " << i;
}

TEST_F (ProcessorTest, TailLengthCoversTheMeasuredDecay)
{
    EXPECT_EQ (processor->getTailLengthSeconds(), processor->getTailLengthSeconds());

    setPlain ("Space", 10.0f);
    EXPECT_TRUE (std::isinf (processor->getTailLengthSeconds()));

    for (float space : { 2.0f, 5.0f, 8.0f })
    {
        auto p = std::make_unique<PelorvaneAudioProcessor>();
        std::swap (processor, p);
        setPlain ("Space", space);
        setPlain ("Mix", 100.0f);
        processor->prepareToPlay (48000.0, 512);
        const double reported = processor->getTailLengthSeconds();
        ASSERT_TRUE (std::isfinite (reported));
        ASSERT_GT (reported, 0.0);

        const auto excitation = process (noiseBuffer (48000, 10u));
        const float level = excitation.getRMSLevel (0, 38400, 9600);

        // Find the last 100 ms window whose level is within 60 dB of the excitation's.
        const int length = int ((reported + 2.0) * 48000.0);
        juce::AudioBuffer<float> silence (2, length);
        silence.clear();
        const auto tail = process (silence);
        double lastLoud = 0.0;
        for (int start = 0; start + 4800 <= length; start += 4800)
            if (std::max (tail.getRMSLevel (0, start, 4800), tail.getRMSLevel (1, start, 4800)) > level * 0.001f)
                lastLoud = (start + 4800) / 48000.0;

        EXPECT_LE (lastLoud, reported) << "space " << space;
        EXPECT_GE (lastLoud, reported * 0.3) << "space " << space << ": reported tail far longer than heard";
    }
}
