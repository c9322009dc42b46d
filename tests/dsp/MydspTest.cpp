#include "ReferenceNetwork.h"
#include "dsp/mydsp.h"

#include <faust/gui/MapUI.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace
{
struct Stereo
{
    explicit Stereo (int length) : left (size_t (length), 0.0f), right (size_t (length), 0.0f) {}
    std::vector<float> left, right;
};

Stereo noise (int length, unsigned seed, float level = 0.5f)
{
    Stereo s (length);
    std::mt19937 rng (seed);
    std::uniform_real_distribution<float> dist (-level, level);
    for (int i = 0; i < length; ++i)
    {
        s.left[size_t (i)] = dist (rng);
        s.right[size_t (i)] = dist (rng);
    }
    return s;
}

/** Owns an initialised engine on the heap (it is far too large for the stack). */
struct Engine
{
    explicit Engine (int sampleRate) : dsp (std::make_unique<mydsp>())
    {
        dsp->buildUserInterface (&map);
        dsp->init (sampleRate);
    }

    void setControls (const ReferenceNetwork::Controls& c)
    {
        map.setParamValue ("space", c.space);
        map.setParamValue ("lumens", c.lumens);
        map.setParamValue ("tone", c.tone);
        map.setParamValue ("mix", c.mix);
    }

    Stereo run (const Stereo& in, int blockSize)
    {
        Stereo out (int (in.left.size()));
        const int length = int (in.left.size());
        for (int start = 0; start < length; start += blockSize)
        {
            const int count = std::min (blockSize, length - start);
            float* inputs[] = { const_cast<float*> (in.left.data()) + start, const_cast<float*> (in.right.data()) + start };
            float* outputs[] = { out.left.data() + start, out.right.data() + start };
            dsp->compute (count, inputs, outputs);
        }
        return out;
    }

    MapUI map;
    std::unique_ptr<mydsp> dsp;
};

Stereo runReference (ReferenceNetwork& reference, const ReferenceNetwork::Controls& c, const Stereo& in)
{
    Stereo out (int (in.left.size()));
    reference.process (c, in.left.data(), in.right.data(), out.left.data(), out.right.data(), int (in.left.size()));
    return out;
}

/** Equal in value: the same float, where +0 and -0 count as one. */
::testing::AssertionResult sameSamples (const std::vector<float>& a, const std::vector<float>& b)
{
    if (a.size() != b.size())
        return ::testing::AssertionFailure() << "lengths differ: " << a.size() << " vs " << b.size();

    for (size_t i = 0; i < a.size(); ++i)
        if (! (a[i] == b[i]) && ! (std::isnan (a[i]) && std::isnan (b[i])))
            return ::testing::AssertionFailure() << "first difference at sample " << i << ": " << a[i] << " vs " << b[i];

    return ::testing::AssertionSuccess();
}

int firstNonZero (const std::vector<float>& v)
{
    for (size_t i = 0; i < v.size(); ++i)
        if (v[i] != 0.0f)
            return int (i);
    return -1;
}
} // namespace

struct NetworkCase
{
    int sampleRate;
    ReferenceNetwork::Controls controls;
    int blockSize = 512;
};

void PrintTo (const NetworkCase& c, std::ostream* os)
{
    *os << c.sampleRate << " Hz, space " << c.controls.space << ", lumens " << c.controls.lumens
        << ", tone " << c.controls.tone << ", mix " << c.controls.mix << ", blocks of " << c.blockSize;
}

class MydspMatchesReference : public ::testing::TestWithParam<NetworkCase>
{
};

TEST_P (MydspMatchesReference, OverLongNoiseRuns)
{
    const auto& param = GetParam();
    const auto input = noise (3 * 48000, 1234u + unsigned (param.sampleRate));

    Engine engine (param.sampleRate);
    engine.setControls (param.controls);
    ReferenceNetwork reference (param.sampleRate);

    const auto actual = engine.run (input, param.blockSize);
    const auto expected = runReference (reference, param.controls, input);

    EXPECT_TRUE (sameSamples (actual.left, expected.left));
    EXPECT_TRUE (sameSamples (actual.right, expected.right));
}

INSTANTIATE_TEST_SUITE_P (SettingsAndRates,
                          MydspMatchesReference,
                          ::testing::Values (NetworkCase { 48000, { 5.0f, 5.0f, 5.0f, 0.5f } },
                                             NetworkCase { 44100, { 0.0f, 0.0f, 0.0f, 0.0f } },
                                             NetworkCase { 44100, { 10.0f, 10.0f, 10.0f, 1.0f } },
                                             NetworkCase { 96000, { 7.3f, 2.1f, 9.9f, 0.37f } },
                                             NetworkCase { 22050, { 9.0f, 6.0f, 10.0f, 0.8f } },
                                             NetworkCase { 192000, { 3.0f, 8.0f, 1.0f, 0.66f } },
                                             NetworkCase { 384000, { 6.5f, 4.5f, 7.5f, 0.25f } },
                                             // Low rates, where the damping corner is held below Nyquist.
                                             NetworkCase { 8000, { 9.0f, 7.0f, 10.0f, 0.9f }, 1 },
                                             NetworkCase { 11025, { 6.0f, 10.0f, 8.0f, 0.5f }, 33 },
                                             NetworkCase { 16000, { 10.0f, 3.0f, 10.0f, 1.0f }, 4096 },
                                             // Block sizes around the engine's groups of four.
                                             NetworkCase { 48000, { 8.0f, 9.0f, 2.0f, 0.7f }, 1 },
                                             NetworkCase { 48000, { 8.0f, 9.0f, 2.0f, 0.7f }, 3 },
                                             NetworkCase { 44100, { 4.0f, 6.0f, 6.0f, 0.4f }, 4095 }),
                          [] (const auto& instance) { return "case" + std::to_string (instance.index) + "_" + std::to_string (instance.param.sampleRate) + "Hz"; });

TEST (Mydsp, ZonesChangedBetweenBlocksMatchReference)
{
    Engine engine (48000);
    ReferenceNetwork reference (48000);
    std::mt19937 rng (7);
    std::uniform_real_distribution<float> knob (0.0f, 10.0f);

    for (int block = 0; block < 200; ++block)
    {
        ReferenceNetwork::Controls c { knob (rng), knob (rng), knob (rng), knob (rng) / 10.0f };
        const auto input = noise (300 + block, unsigned (block));
        engine.setControls (c);
        const auto actual = engine.run (input, 4096);
        const auto expected = runReference (reference, c, input);
        ASSERT_TRUE (sameSamples (actual.left, expected.left)) << "block " << block;
        ASSERT_TRUE (sameSamples (actual.right, expected.right)) << "block " << block;
    }
}

TEST (Mydsp, ArrivalTimesOfAnImpulse)
{
    Engine engine (48000);
    engine.setControls ({ 5.0f, 5.0f, 5.0f, 1.0f });
    Stereo input (8000);
    input.left[0] = 1.0f;

    const auto out = engine.run (input, 512);

    // Line 1's tap at 2401 reaches the left; the right hears line 1 fed back one
    // sample later through line 2's tap at 3125.
    EXPECT_EQ (firstNonZero (out.left), 2401);
    EXPECT_EQ (firstNonZero (out.right), 5527);
}

TEST (Mydsp, SilenceGivesExactZerosAtEveryRateAndSetting)
{
    for (int rate : { 1, 100, 1200, 4000, 8000, 10600, 16000, 44100, 48000, 192000, 384000 })
        for (float knobValue : { 0.0f, 5.0f, 10.0f })
        {
            Engine engine (rate);
            engine.setControls ({ knobValue, knobValue, knobValue, knobValue / 10.0f });
            const auto out = engine.run (Stereo (30000), 1000);
            EXPECT_EQ (firstNonZero (out.left), -1) << rate << " Hz, knobs " << knobValue;
            EXPECT_EQ (firstNonZero (out.right), -1) << rate << " Hz, knobs " << knobValue;
        }
}

TEST (Mydsp, StaysBoundedAtLowSampleRates)
{
    // At low rates the damping corner would pass Nyquist; the output must stay finite
    // and no louder than the network can make it.
    for (int rate : { 1, 50, 1200, 3000, 5512, 8000, 10600, 11025, 16000 })
        for (float tone : { 0.0f, 5.0f, 10.0f })
        {
            Engine engine (rate);
            engine.setControls ({ 9.0f, 5.0f, tone, 1.0f });
            const auto out = engine.run (noise (60000, 3u), 256);
            float peak = 0.0f;
            for (auto* channel : { &out.left, &out.right })
                for (float s : *channel)
                {
                    ASSERT_TRUE (std::isfinite (s)) << rate << " Hz, tone " << tone;
                    peak = std::max (peak, std::abs (s));
                }
            EXPECT_LT (peak, 100.0f) << rate << " Hz, tone " << tone;
        }
}

TEST (Mydsp, MixZeroPassesTheInputExactly)
{
    Engine engine (48000);
    engine.setControls ({ 8.0f, 5.0f, 5.0f, 0.0f });
    const auto input = noise (20000, 9u);
    const auto out = engine.run (input, 333);
    EXPECT_TRUE (sameSamples (out.left, input.left));
    EXPECT_TRUE (sameSamples (out.right, input.right));
}

TEST (Mydsp, LumensZeroGivesLineFourAsHalfItsPlainTap)
{
    Engine engine (48000);
    engine.setControls ({ 6.0f, 0.0f, 5.0f, 0.5f });

    std::vector<float> l (1), r (1);
    std::mt19937 rng (5);
    std::uniform_real_distribution<float> dist (-1.0f, 1.0f);
    auto& d = *engine.dsp;

    for (int i = 0; i < 20000; ++i)
    {
        l[0] = dist (rng);
        r[0] = dist (rng);
        float* in[] = { l.data(), r.data() };
        const std::uint32_t n = d.IOTA0;
        d.compute (1, in, in);
        ASSERT_EQ (d.fRec9[1], 0.5f * d.fVec11[(n - 8192) & 131071]) << "sample " << i;
    }
}

TEST (Mydsp, ShifterPhaseStartsAtTopAndHasAPeriodOf22833)
{
    Engine engine (48000);
    engine.setControls ({ 5.0f, 5.0f, 5.0f, 0.5f });
    auto& d = *engine.dsp;
    float zero[1] = { 0.0f };
    float* io[] = { zero, zero };

    d.compute (1, io, io);
    EXPECT_EQ (d.fRec12[1], 22832.0f);

    for (int i = 1; i < 22832; ++i)
        d.compute (1, io, io);
    EXPECT_EQ (d.fRec12[1], 1.0f);

    d.compute (1, io, io);
    EXPECT_EQ (d.fRec12[1], 0.0f);
    d.compute (1, io, io);
    EXPECT_EQ (d.fRec12[1], 22832.0f);
}

TEST (Mydsp, OutputDoesNotDependOnBlockSize)
{
    const auto input = noise (40000, 11u);
    const ReferenceNetwork::Controls c { 7.0f, 6.0f, 4.0f, 0.6f };

    Engine whole (44100);
    whole.setControls (c);
    const auto expected = whole.run (input, 40000);

    for (int blockSize : { 1, 7, 32, 511, 4096 })
    {
        Engine engine (44100);
        engine.setControls (c);
        const auto actual = engine.run (input, blockSize);
        EXPECT_TRUE (sameSamples (actual.left, expected.left)) << "block size " << blockSize;
        EXPECT_TRUE (sameSamples (actual.right, expected.right)) << "block size " << blockSize;
    }
}

TEST (Mydsp, InPlaceEqualsSeparateArrays)
{
    const auto input = noise (15000, 12u);
    const ReferenceNetwork::Controls c { 9.0f, 7.0f, 3.0f, 0.7f };

    Engine separate (48000);
    separate.setControls (c);
    const auto expected = separate.run (input, 256);

    Engine inPlace (48000);
    inPlace.setControls (c);
    auto buffer = input;
    for (int start = 0; start < 15000; start += 256)
    {
        float* io[] = { buffer.left.data() + start, buffer.right.data() + start };
        inPlace.dsp->compute (std::min (256, 15000 - start), io, io);
    }

    EXPECT_TRUE (sameSamples (buffer.left, expected.left));
    EXPECT_TRUE (sameSamples (buffer.right, expected.right));
}

TEST (Mydsp, InitClampsTheRateForItsConstantsOnly)
{
    Engine at48k (48000);
    EXPECT_EQ (at48k.dsp->getSampleRate(), 48000);
    EXPECT_EQ (at48k.dsp->fConst0, 3.1415927f / 48000.0f);

    Engine at384k (384000), at192k (192000);
    EXPECT_EQ (at384k.dsp->getSampleRate(), 384000);
    EXPECT_EQ (at384k.dsp->fConst0, at192k.dsp->fConst0);
    EXPECT_EQ (at384k.dsp->fConst1, at192k.dsp->fConst1);
    EXPECT_EQ (at384k.dsp->fConst3, at192k.dsp->fConst3);
    EXPECT_EQ (at384k.dsp->fConst2, -at384k.dsp->fConst1);

    Engine at1 (1);
    for (int rate : { 0, -44100 })
    {
        Engine low (rate);
        EXPECT_EQ (low.dsp->getSampleRate(), rate);
        EXPECT_EQ (low.dsp->fConst0, at1.dsp->fConst0);
        EXPECT_EQ (low.dsp->fConst1, at1.dsp->fConst1);
        EXPECT_EQ (low.dsp->fConst3, at1.dsp->fConst3);
    }
}

TEST (Mydsp, InitResetsZonesAndSilencesStateAgain)
{
    Engine engine (48000);
    engine.setControls ({ 9.0f, 9.0f, 9.0f, 0.9f });
    engine.run (noise (10000, 2u), 500);

    engine.dsp->init (48000);
    const auto& d = *engine.dsp;
    EXPECT_EQ (d.fHslider0, 0.75f);
    EXPECT_EQ (d.fHslider1, 4000.0f);
    EXPECT_EQ (d.fHslider2, 0.7f);
    EXPECT_EQ (d.fHslider3, 0.3f);
    EXPECT_EQ (d.IOTA0, 0u);

    const auto allZero = [] (const float* p, size_t n) { return std::all_of (p, p + n, [] (float x) { return x == 0.0f; }); };
    for (const float* memory : { d.fVec0, d.fVec3, d.fVec6, d.fVec9 })
        EXPECT_TRUE (allZero (memory, 1024));
    for (const float* memory : { d.fVec1, d.fVec4, d.fVec7, d.fVec10 })
        EXPECT_TRUE (allZero (memory, 2048));
    EXPECT_TRUE (allZero (d.fVec2, 4096));
    EXPECT_TRUE (allZero (d.fVec5, 4096));
    EXPECT_TRUE (allZero (d.fVec8, 8192));
    EXPECT_TRUE (allZero (d.fVec11, 131072));
    for (const float* pair : { d.fRec0, d.fRec1, d.fRec2, d.fRec3, d.fRec4, d.fRec5, d.fRec6, d.fRec7, d.fRec8, d.fRec9, d.fRec10, d.fRec11, d.fRec12 })
        EXPECT_TRUE (allZero (pair, 2));
}

TEST (Mydsp, NonPositiveCountChangesNothing)
{
    Engine engine (48000);
    engine.setControls ({ 5.0f, 5.0f, 5.0f, 0.5f });
    engine.run (noise (5000, 4u), 100);

    auto before = std::make_unique<mydsp> (*engine.dsp);
    float sentinel[4] = { 42.0f, 42.0f, 42.0f, 42.0f };
    float* io[] = { sentinel, sentinel + 2 };

    for (int count : { 0, -1, -4096 })
    {
        engine.dsp->compute (count, io, io);
        EXPECT_EQ (std::memcmp (before.get(), engine.dsp.get(), sizeof (mydsp)), 0) << count;
        EXPECT_EQ (sentinel[0], 42.0f);
    }
}

TEST (Mydsp, WriteCounterWrapsWithoutASeam)
{
    // Every memory length divides 2^32, so a network whose counter starts just below
    // the wrap must sound exactly like one starting at zero.
    const auto input = noise (30000, 21u);
    const ReferenceNetwork::Controls c { 8.0f, 7.0f, 5.0f, 0.5f };

    Engine fromZero (48000);
    fromZero.setControls (c);
    const auto expected = fromZero.run (input, 512);

    Engine nearWrap (48000);
    nearWrap.dsp->IOTA0 = 0xffffffffu - 9000u;
    nearWrap.setControls (c);
    const auto actual = nearWrap.run (input, 512);

    EXPECT_EQ (nearWrap.dsp->IOTA0, 30000u - 9001u);
    EXPECT_TRUE (sameSamples (actual.left, expected.left));
    EXPECT_TRUE (sameSamples (actual.right, expected.right));

    ReferenceNetwork reference (48000);
    reference.setWritePosition (0xffffffffu - 9000u);
    const auto referenceOut = runReference (reference, c, input);
    EXPECT_TRUE (sameSamples (actual.left, referenceOut.left));
}

TEST (Mydsp, ZonesAreReachedByLabelAndPathWithoutClamping)
{
    Engine engine (48000);
    engine.map.setParamValue ("space", 7.5f);
    EXPECT_EQ (engine.dsp->fHslider2, 7.5f);
    engine.map.setParamValue ("/pelorvane/space", 2.5f);
    EXPECT_EQ (engine.dsp->fHslider2, 2.5f);
    engine.map.setParamValue ("/pelorvane/tone", 9.0f);
    EXPECT_EQ (engine.dsp->fHslider1, 9.0f);

    const auto zones = [&] { return std::vector<float> { engine.dsp->fHslider0, engine.dsp->fHslider1, engine.dsp->fHslider2, engine.dsp->fHslider3 }; };
    const auto before = zones();
    testing::internal::CaptureStderr();
    engine.map.setParamValue ("volume", 1.0f);
    const auto message = testing::internal::GetCapturedStderr();
    EXPECT_EQ (zones(), before);
    EXPECT_EQ (message, "ERROR : setParamValue 'volume' not found\n");
}

TEST (Mydsp, DeclaresItsInterface)
{
    struct Recorder : public UI
    {
        void openTabBox (const char*) override {}
        void openHorizontalBox (const char*) override {}
        void openVerticalBox (const char* label) override { log += std::string ("box ") + label + ";"; }
        void closeBox() override { log += "close;"; }
        void addButton (const char*, FAUSTFLOAT*) override {}
        void addCheckButton (const char*, FAUSTFLOAT*) override {}
        void addVerticalSlider (const char* label, FAUSTFLOAT*, FAUSTFLOAT init, FAUSTFLOAT lo, FAUSTFLOAT hi, FAUSTFLOAT step) override
        {
            log += std::string (label) + " " + std::to_string (init) + " " + std::to_string (lo) + " " + std::to_string (hi) + " " + std::to_string (step) + ";";
        }
        void addHorizontalSlider (const char*, FAUSTFLOAT*, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT) override {}
        void addNumEntry (const char*, FAUSTFLOAT*, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT) override {}
        void addHorizontalBargraph (const char*, FAUSTFLOAT*, FAUSTFLOAT, FAUSTFLOAT) override {}
        void addVerticalBargraph (const char*, FAUSTFLOAT*, FAUSTFLOAT, FAUSTFLOAT) override {}
        void addSoundfile (const char*, const char*, Soundfile**) override {}
        std::string log;
    } recorder;

    struct MetaRecorder : public Meta
    {
        void declare (const char* key, const char* value) override { entries.emplace_back (key, value); }
        std::vector<std::pair<std::string, std::string>> entries;
    } meta;

    auto dsp = std::make_unique<mydsp>();
    dsp->buildUserInterface (&recorder);
    EXPECT_EQ (recorder.log,
               "box pelorvane;lumens 0.300000 0.000000 0.700000 0.010000;mix 0.750000 0.000000 1.000000 0.010000;"
               "space 0.700000 0.500000 1.000000 0.010000;tone 4000.000000 900.000000 8000.000000 0.010000;close;");
    EXPECT_EQ (dsp->getNumInputs(), 2);
    EXPECT_EQ (dsp->getNumOutputs(), 2);

    dsp->metadata (&meta);
    EXPECT_TRUE (std::is_sorted (meta.entries.begin(), meta.entries.end()));
    const auto has = [&] (const std::string& k, const std::string& v) { return std::find (meta.entries.begin(), meta.entries.end(), std::make_pair (k, v)) != meta.entries.end(); };
    EXPECT_TRUE (has ("name", "pelorvane"));
    EXPECT_TRUE (has ("filename", "pelorvane"));
    EXPECT_TRUE (has ("signals.lib/name", "Faust Signal Routing Library"));

    std::unique_ptr<mydsp> copy (dsp->clone());
    EXPECT_EQ (copy->getSampleRate(), 0);
    EXPECT_EQ (copy->fVec11[100], 0.0f);
}
