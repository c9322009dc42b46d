#include "dsp/mydsp.h"

#include "dsp/CornerAngle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace
{
constexpr int kShifterWindow = 22833;

#if defined(__SSE2__) || defined(_M_X64)
/** Four consecutive samples of one signal in one SSE2 register. Each operator is a single
    element-wise instruction, so every lane gets exactly the rounding of the scalar
    expression.
*/
struct Float4
{
    __m128 v;

    static Float4 fill (float s) { return { _mm_set1_ps (s) }; }
    static Float4 load (const float* source) { return { _mm_loadu_ps (source) }; }
    void store (float* destination) const { _mm_storeu_ps (destination, v); }

    /** Lanes 1, 3, 5, 7 (newer) and 0, 2, 4, 6 (older) of eight consecutive samples. */
    static void loadEveryOther (const float* source, Float4& newer, Float4& older)
    {
        const auto low = _mm_loadu_ps (source), high = _mm_loadu_ps (source + 4);
        newer.v = _mm_shuffle_ps (low, high, _MM_SHUFFLE (3, 1, 3, 1));
        older.v = _mm_shuffle_ps (low, high, _MM_SHUFFLE (2, 0, 2, 0));
    }

    /** first, then lanes 0 to 2: the same signal one sample later. */
    Float4 delayedOneSample (float first) const
    {
        return { _mm_move_ss (_mm_castsi128_ps (_mm_slli_si128 (_mm_castps_si128 (v), 4)), _mm_set_ss (first)) };
    }

    float lastLane() const { return _mm_cvtss_f32 (_mm_shuffle_ps (v, v, _MM_SHUFFLE (3, 3, 3, 3))); }
};

Float4 operator+ (Float4 a, Float4 b) { return { _mm_add_ps (a.v, b.v) }; }
Float4 operator- (Float4 a, Float4 b) { return { _mm_sub_ps (a.v, b.v) }; }
Float4 operator* (Float4 a, Float4 b) { return { _mm_mul_ps (a.v, b.v) }; }

// min (1, x) as std::min evaluates it: x where x < 1, else 1 (also for NaN).
Float4 atMostOne (Float4 a) { return { _mm_min_ps (a.v, _mm_set1_ps (1.0f)) }; }
#else
/** Four consecutive samples of one signal; plain lanes where SSE2 is missing. */
struct Float4
{
    float v[4];

    static Float4 fill (float s) { return { { s, s, s, s } }; }

    static Float4 load (const float* source)
    {
        Float4 r;
        std::memcpy (r.v, source, sizeof (r.v));
        return r;
    }

    void store (float* destination) const { std::memcpy (destination, v, sizeof (v)); }

    static void loadEveryOther (const float* source, Float4& newer, Float4& older)
    {
        newer = { { source[1], source[3], source[5], source[7] } };
        older = { { source[0], source[2], source[4], source[6] } };
    }

    Float4 delayedOneSample (float first) const { return { { first, v[0], v[1], v[2] } }; }
    float lastLane() const { return v[3]; }
};

template <typename Operation>
Float4 eachLane (Float4 a, Float4 b, Operation operation)
{
    for (int k = 0; k < 4; ++k)
        a.v[k] = operation (a.v[k], b.v[k]);
    return a;
}

Float4 operator+ (Float4 a, Float4 b) { return eachLane (a, b, [] (float x, float y) { return x + y; }); }
Float4 operator- (Float4 a, Float4 b) { return eachLane (a, b, [] (float x, float y) { return x - y; }); }
Float4 operator* (Float4 a, Float4 b) { return eachLane (a, b, [] (float x, float y) { return x * y; }); }
Float4 atMostOne (Float4 a) { return eachLane (a, Float4::fill (1.0f), [] (float x, float one) { return std::min (one, x); }); }
#endif

Float4 operator* (float s, Float4 a) { return Float4::fill (s) * a; }
Float4 operator* (Float4 a, float s) { return a * Float4::fill (s); }
Float4 operator- (float s, Float4 a) { return Float4::fill (s) - a; }
float atMostOne (float a) { return std::min (1.0f, a); }

// The network's formulas, each written once for one sample (float) and for four (Float4).
// Operands are in the equations' order: any other order would round differently.

template <typename T>
struct FeedbackRows
{
    T row[4];
};

// The 4 x 4 sign matrix applied to the lines' previous outputs.
template <typename T>
FeedbackRows<T> feedback (T p1, T p2, T p3, T p4)
{
    const T sum12 = p1 + p2, difference12 = p1 - p2;
    return { { sum12 + p3 + p4, difference12 + p3 - p4, sum12 - p3 - p4, difference12 - p3 + p4 } };
}

template <typename T>
struct Diffused
{
    T firstAllpass, secondAllpass, line;
};

// A line's two all-pass sections; delayed1 and delayed2 are the sections' own samples
// from 729 and 1331 samples back.
template <typename T>
Diffused<T> diffuse (float gain, T feedbackSum, T dry, T delayed1, T delayed2)
{
    const T u = gain * feedbackSum + 0.6f * delayed1 + dry;
    const T v = -0.6f * u + 0.6f * delayed2 + delayed1;
    return { u, v, -0.6f * v + delayed2 };
}

// Line 4's octave shifter blended with its plain tap. The phase is a whole number after
// every clear, so both shifter taps interpolate with weights of exactly 1 and 0: each is
// its newer sample plus 0 times its older one (kept, so that non-finite values spread
// exactly as in the interpolating form).
template <typename T>
T shimmer (float share, float plainShare, T phase, T nearTap, T nearOlder, T farTap, T farOlder, T plainTap)
{
    const T near = nearTap + 0.0f * nearOlder;
    const T far = farTap + 0.0f * farOlder;
    const T nearWeight = atMostOne (phase * 4.379626e-05f);
    const T shifted = (1.0f - nearWeight) * far + nearWeight * near;
    return 0.5f * (share * shifted + plainShare * plainTap);
}

template <typename T>
T mixOutput (float wet, float dry, T lineA, T lineB, T input)
{
    return wet * (lineA + lineB) + dry * input;
}

float tapAt (const float* memory, std::uint32_t mask, std::uint32_t position) { return memory[position & mask]; }

int roomBeforeWrap (std::uint32_t position, std::uint32_t mask) { return int (mask + 1 - (position & mask)); }

/** The quantities of one block derived from the zones. */
struct BlockGains
{
    explicit BlockGains (const mydsp& d)
        : feedback (float (d.fHslider2) * 0.05f + 0.5f),
          shimmer (float (d.fHslider3) * 0.07f),
          plainShare (1.0f - shimmer),
          wet (float (d.fHslider0) + float (d.fHslider0)),
          dry (1.0f - float (d.fHslider0))
    {
        const float t = std::tan (clampCornerAngle ((float (d.fHslider1) * 710.0f + 900.0f) * d.fConst0));
        lowpassGain = 1.0f / (1.0f / t + 1.0f);
        lowpassFeedback = 1.0f - 1.0f / t;
    }

    float feedback, shimmer, plainShare, wet, dry, lowpassGain, lowpassFeedback;
};

/** One call of compute: the block's gains and the running values, over the engine's state. */
class BlockRun
{
public:
    BlockRun (mydsp& engine, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs)
        : d (engine),
          gains (engine),
          inL (inputs[0]),
          inR (inputs[1]),
          outL (outputs[0]),
          outR (outputs[1]),
          lines { { d.fVec0, d.fVec1, d.fVec2, mydsp::kLine1Size - 1 },
                  { d.fVec3, d.fVec4, d.fVec5, mydsp::kLine2Size - 1 },
                  { d.fVec6, d.fVec7, d.fVec8, mydsp::kLine3Size - 1 },
                  { d.fVec9, d.fVec10, d.fVec11, mydsp::kLine4Size - 1 } },
          previous { d.fRec0[1], d.fRec3[1], d.fRec6[1], d.fRec9[1] },
          lastPhase (int (d.fRec12[1]))
    {
    }

    void run (int count)
    {
        for (int i = 0; i < count;)
        {
            // Groups of four need the near shifter tap to read before them (phase >= 7 at
            // a group's first sample) and no memory position to wrap inside them.
            const int phase = nextPhase();
            const int inFours = std::min ({ count - i, samplesBeforeAnyWrap (phase), phase - 3 }) / 4 * 4;

            if (inFours <= 0)
            {
                computeOne (i++, phase);
                continue;
            }

            for (const int end = i + inFours; i < end; i += 4)
                computeFour (i, nextPhase());
        }

        storePairs();
    }

private:
    struct Line
    {
        float* firstAllpass;
        float* secondAllpass;
        float* memory;
        std::uint32_t memoryMask;
    };

    static constexpr std::uint32_t firstMask = mydsp::kAllpass1Size - 1;
    static constexpr std::uint32_t secondMask = mydsp::kAllpass2Size - 1;
    static constexpr std::uint32_t shimmerMask = mydsp::kLine4Size - 1;

    int nextPhase() const { return lastPhase == 0 ? kShifterWindow - 1 : lastPhase - 1; }

    // How many samples from now on run as groups of four without a memory position
    // wrapping inside a group. The shifter taps move two positions per sample.
    int samplesBeforeAnyWrap (int phase) const
    {
        const std::uint32_t n = d.IOTA0;
        const auto nearOlder = n - std::uint32_t (phase) - 1;
        // The writes (and the plain tap, 8 x 1024 back) wrap no sooner than the first
        // all-pass memory does at n.
        return std::min ({ roomBeforeWrap (n, firstMask),
                           roomBeforeWrap (n - 729, firstMask),
                           roomBeforeWrap (n - 1331, secondMask),
                           roomBeforeWrap (nearOlder, shimmerMask) / 2,
                           roomBeforeWrap (nearOlder - std::uint32_t (kShifterWindow), shimmerMask) / 2 });
    }

    float lowpass (const Line& line, std::uint32_t position, float before) const
    {
        const float halfSum = 0.5f * (tapAt (line.memory, line.memoryMask, position) + tapAt (line.memory, line.memoryMask, position - 1));
        return gains.lowpassGain * (halfSum - gains.lowpassFeedback * before);
    }

    float highpass (std::uint32_t position, float before) const
    {
        const auto& line = lines[1];
        const float halfSum = 0.5f * (d.fConst1 * tapAt (line.memory, line.memoryMask, position) + d.fConst2 * tapAt (line.memory, line.memoryMask, position - 1));
        return halfSum - d.fConst3 * before;
    }

    // Four samples: the filters first, then the diffusion that feeds on their outputs.
    void computeFour (int i, int phase)
    {
        const std::uint32_t n = d.IOTA0;

        // Lines 1 to 3: the one-pole recurrences, one sample after another. Element 0 is
        // the output of the sample before.
        float y1[5] = { previous[0] }, y2[5] = { previous[1] }, y3[5] = { previous[2] };
        for (std::uint32_t j = 0; j < 4; ++j)
        {
            y1[j + 1] = lowpass (lines[0], n + j - 2401, y1[j]);
            y2[j + 1] = highpass (n + j - 3125, y2[j]);
            y3[j + 1] = lowpass (lines[2], n + j - 6561, y3[j]);
        }

        // Line 4: from sample to sample both shifter taps advance by two positions.
        const float* memory4 = lines[3].memory;
        Float4 near, nearOlder, far, farOlder;
        Float4::loadEveryOther (memory4 + ((n - std::uint32_t (phase) - 1) & shimmerMask), near, nearOlder);
        Float4::loadEveryOther (memory4 + ((n - std::uint32_t (phase + kShifterWindow) - 1) & shimmerMask), far, farOlder);
        const auto plain = Float4::load (memory4 + ((n - 8192) & shimmerMask));
        const auto phases = Float4::fill (float (phase)) - Float4 { { 0.0f, 1.0f, 2.0f, 3.0f } };
        const auto y4 = shimmer (gains.shimmer, gains.plainShare, phases, near, nearOlder, far, farOlder, plain);

        const auto rows = feedback (Float4::load (y1), Float4::load (y2), Float4::load (y3), y4.delayedOneSample (previous[3]));
        const auto xL = Float4::load (inL + i), xR = Float4::load (inR + i);

        for (int k = 0; k < 4; ++k)
        {
            const auto& line = lines[k];
            const auto out = diffuse (gains.feedback,
                                      rows.row[k],
                                      k % 2 == 0 ? xL : xR,
                                      Float4::load (line.firstAllpass + ((n - 729) & firstMask)),
                                      Float4::load (line.secondAllpass + ((n - 1331) & secondMask)));
            out.firstAllpass.store (line.firstAllpass + (n & firstMask));
            out.secondAllpass.store (line.secondAllpass + (n & secondMask));
            out.line.store (line.memory + (n & line.memoryMask));
        }

        mixOutput (gains.wet, gains.dry, Float4::load (y1 + 1), Float4::load (y3 + 1), xL).store (outL + i);
        mixOutput (gains.wet, gains.dry, Float4::load (y2 + 1), y4, xR).store (outR + i);

        previous[0] = y1[4];
        previous[1] = y2[4];
        previous[2] = y3[4];
        previous[3] = y4.lastLane();
        lastPhase = phase - 3;
        d.IOTA0 += 4;
    }

    // One sample in the equations' order, diffusion before the filters, so that a shifter
    // tap at delay 0 reads this sample's line value.
    void computeOne (int i, int phase)
    {
        const std::uint32_t n = d.IOTA0;
        const float xL = inL[i], xR = inR[i];
        const auto rows = feedback (previous[0], previous[1], previous[2], previous[3]);

        for (int k = 0; k < 4; ++k)
        {
            const auto& line = lines[k];
            const auto out = diffuse (gains.feedback,
                                      rows.row[k],
                                      k % 2 == 0 ? xL : xR,
                                      tapAt (line.firstAllpass, firstMask, n - 729),
                                      tapAt (line.secondAllpass, secondMask, n - 1331));
            line.firstAllpass[n & firstMask] = out.firstAllpass;
            line.secondAllpass[n & secondMask] = out.secondAllpass;
            line.memory[n & line.memoryMask] = out.line;
        }

        const float y1 = lowpass (lines[0], n - 2401, previous[0]);
        const float y2 = highpass (n - 3125, previous[1]);
        const float y3 = lowpass (lines[2], n - 6561, previous[2]);

        const float* memory4 = lines[3].memory;
        const auto near = n - std::uint32_t (phase);
        const auto far = near - std::uint32_t (kShifterWindow);
        const float y4 = shimmer (gains.shimmer,
                                  gains.plainShare,
                                  float (phase),
                                  tapAt (memory4, shimmerMask, near),
                                  tapAt (memory4, shimmerMask, near - 1),
                                  tapAt (memory4, shimmerMask, far),
                                  tapAt (memory4, shimmerMask, far - 1),
                                  tapAt (memory4, shimmerMask, n - 8192));

        outL[i] = mixOutput (gains.wet, gains.dry, y1, y3, xL);
        outR[i] = mixOutput (gains.wet, gains.dry, y2, y4, xR);

        previous[0] = y1;
        previous[1] = y2;
        previous[2] = y3;
        previous[3] = y4;
        lastPhase = phase;
        ++d.IOTA0;
    }

    // Every pair ends holding the last sample's value twice, as after its roll-over.
    void storePairs()
    {
        const std::uint32_t last = d.IOTA0 - 1;
        float* firstDelayed[] = { d.fRec1, d.fRec4, d.fRec7, d.fRec10 };
        float* secondDelayed[] = { d.fRec2, d.fRec5, d.fRec8, d.fRec11 };
        float* lineOutputs[] = { d.fRec0, d.fRec3, d.fRec6, d.fRec9 };

        for (int k = 0; k < 4; ++k)
        {
            firstDelayed[k][0] = firstDelayed[k][1] = tapAt (lines[k].firstAllpass, firstMask, last - 728);
            secondDelayed[k][0] = secondDelayed[k][1] = tapAt (lines[k].secondAllpass, secondMask, last - 1330);
            lineOutputs[k][0] = lineOutputs[k][1] = previous[k];
        }

        d.fRec12[0] = d.fRec12[1] = float (lastPhase);
    }

    mydsp& d;
    const BlockGains gains;
    const FAUSTFLOAT* inL;
    const FAUSTFLOAT* inR;
    FAUSTFLOAT* outL;
    FAUSTFLOAT* outR;
    const Line lines[4];
    float previous[4]; // each line's output of the sample before
    int lastPhase;     // shifter phase of the sample before
};
} // namespace

void mydsp::metadata (Meta* m)
{
    m->declare ("basics.lib/name", "Faust Basic Element Library");
    m->declare ("basics.lib/version", "0.2");
    m->declare ("compile_options", "-lang cpp -es 1 -mcd 16 -single -ftz 0");
    m->declare ("delays.lib/name", "Faust Delay Library");
    m->declare ("delays.lib/version", "0.1");
    m->declare ("filename", "pelorvane");
    m->declare ("filters.lib/lowpass0_highpass1", "Ombrix Audio");
    m->declare ("filters.lib/name", "Faust Filters Library");
    m->declare ("filters.lib/version", "0.3");
    m->declare ("maths.lib/author", "Ombrix Audio");
    m->declare ("maths.lib/license", "LGPL with exception");
    m->declare ("maths.lib/name", "Faust Math Library");
    m->declare ("maths.lib/version", "2.5");
    m->declare ("misceffects.lib/name", "Misc Effects Library");
    m->declare ("misceffects.lib/version", "2.0");
    m->declare ("name", "pelorvane");
    m->declare ("platform.lib/name", "Generic Platform Library");
    m->declare ("platform.lib/version", "0.2");
    m->declare ("routes.lib/name", "Faust Signal Routing Library");
    m->declare ("routes.lib/version", "0.2");
    m->declare ("signals.lib/name", "Faust Signal Routing Library");
    m->declare ("signals.lib/version", "0.1");
}

void mydsp::buildUserInterface (UI* ui_interface)
{
    ui_interface->openVerticalBox ("pelorvane");
    ui_interface->addVerticalSlider ("lumens", &fHslider3, FAUSTFLOAT (0.3f), FAUSTFLOAT (0.0f), FAUSTFLOAT (0.7f), FAUSTFLOAT (0.01f));
    ui_interface->addVerticalSlider ("mix", &fHslider0, FAUSTFLOAT (0.75f), FAUSTFLOAT (0.0f), FAUSTFLOAT (1.0f), FAUSTFLOAT (0.01f));
    ui_interface->addVerticalSlider ("space", &fHslider2, FAUSTFLOAT (0.7f), FAUSTFLOAT (0.5f), FAUSTFLOAT (1.0f), FAUSTFLOAT (0.01f));
    ui_interface->addVerticalSlider ("tone", &fHslider1, FAUSTFLOAT (4000.0f), FAUSTFLOAT (900.0f), FAUSTFLOAT (8000.0f), FAUSTFLOAT (0.01f));
    ui_interface->closeBox();
}

void mydsp::instanceInit (int sample_rate)
{
    instanceConstants (sample_rate);
    instanceResetUserInterface();
    instanceClear();
}

void mydsp::instanceConstants (int sample_rate)
{
    fSampleRate = sample_rate;
    const float fs = std::min (192000.0f, std::max (1.0f, float (fSampleRate)));
    fConst0 = 3.14159274f / fs;
    const float t90 = std::tan (clampCornerAngle (282.743347f / fs));
    const float invT90 = 1.0f / t90;
    fConst3 = (1.0f - invT90) / (invT90 + 1.0f);
    fConst1 = 1.0f / ((invT90 + 1.0f) * t90);
    fConst2 = -fConst1;
}

void mydsp::instanceResetUserInterface()
{
    fHslider0 = FAUSTFLOAT (0.75f);
    fHslider1 = FAUSTFLOAT (4000.0f);
    fHslider2 = FAUSTFLOAT (0.7f);
    fHslider3 = FAUSTFLOAT (0.3f);
}

void mydsp::instanceClear()
{
    IOTA0 = 0;

    for (auto* memory : { fVec0, fVec3, fVec6, fVec9 })
        std::fill (memory, memory + kAllpass1Size, 0.0f);

    for (auto* memory : { fVec1, fVec4, fVec7, fVec10 })
        std::fill (memory, memory + kAllpass2Size, 0.0f);

    std::fill (std::begin (fVec2), std::end (fVec2), 0.0f);
    std::fill (std::begin (fVec5), std::end (fVec5), 0.0f);
    std::fill (std::begin (fVec8), std::end (fVec8), 0.0f);
    std::fill (std::begin (fVec11), std::end (fVec11), 0.0f);

    for (auto* pair : { fRec0, fRec1, fRec2, fRec3, fRec4, fRec5, fRec6, fRec7, fRec8, fRec9, fRec10, fRec11, fRec12 })
        pair[0] = pair[1] = 0.0f;
}

mydsp* mydsp::clone()
{
    return new mydsp();
}

// Within a sample, the only values needed from less than 729 samples back are the
// one-pole outputs of lines 1 to 3 and, while the shifter phase is small, line 4's near
// tap; everything else reads memory written at least 729 samples before. So four samples
// at a time run their filters first (the recurrences one after another) and then the
// diffusion of all four side by side, provided their near taps read before them
// (phase >= 7) and no memory position wraps inside the four; any other sample runs alone
// in the equations' order. Each value gets the same operations in the same order as in
// the per-sample formulation, so the output is identical. The all-pass sections' delayed
// samples are read from their memories, which hold the values the pairs would; the pairs
// and the phase are brought up to date at the end of the block.
void mydsp::compute (int count, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs)
{
    if (count <= 0)
        return;

    BlockRun (*this, inputs, outputs).run (count);
}
