#include "dsp/mydsp.h"

#include "dsp/CornerAngle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
constexpr float kShifterWindow = 22833.0f;
constexpr int kShifterMaxDelay = 65537;

int clampShifterDelay (int delay) { return std::min (kShifterMaxDelay, std::max (0, delay)); }
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

void mydsp::compute (int count, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs)
{
    if (count <= 0)
        return;

    FAUSTFLOAT* input0 = inputs[0];
    FAUSTFLOAT* input1 = inputs[1];
    FAUSTFLOAT* output0 = outputs[0];
    FAUSTFLOAT* output1 = outputs[1];

    const float fSlow0 = float (fHslider2) * 0.05f + 0.5f;                            // feedback gain G
    const float fSlow1 = float (fHslider3) * 0.07f;                                   // shimmer share S
    const float fSlow2 = 1.0f - fSlow1;                                               // plain-tap share
    const float fSlow3 = float (fHslider0) + float (fHslider0);                       // wet gain
    const float fSlow4 = 1.0f - float (fHslider0);                                    // dry gain
    const float fSlow5 = std::tan (clampCornerAngle ((float (fHslider1) * 710.0f + 900.0f) * fConst0));
    const float fSlow6 = 1.0f / (1.0f / fSlow5 + 1.0f);                               // low-pass input gain A
    const float fSlow7 = 1.0f - 1.0f / fSlow5;                                        // low-pass feedback factor Q

    for (int i = 0; i < count; ++i)
    {
        const float xL = float (input0[i]);
        const float xR = float (input1[i]);
        const std::uint32_t n = IOTA0;

        // Line 1: row (+1, +1, +1, +1), damping low-pass at 2401.
        {
            const float m = fRec0[1] + fRec3[1] + fRec6[1] + fRec9[1];
            const float u = fSlow0 * m + 0.6f * fRec1[1] + xL;
            fVec0[n & 1023] = u;
            fRec1[0] = fVec0[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * fRec2[1] + fRec1[1];
            fVec1[n & 2047] = v;
            fRec2[0] = fVec1[(n - 1330) & 2047];
            fVec2[n & 4095] = -0.6f * v + fRec2[1];
            fRec0[0] = fSlow6 * (0.5f * (fVec2[(n - 2401) & 4095] + fVec2[(n - 2402) & 4095]) - fSlow7 * fRec0[1]);
        }

        // Line 2: row (+1, -1, +1, -1), 90 Hz high-pass at 3125.
        {
            const float m = fRec0[1] - fRec3[1] + fRec6[1] - fRec9[1];
            const float u = fSlow0 * m + 0.6f * fRec4[1] + xR;
            fVec3[n & 1023] = u;
            fRec4[0] = fVec3[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * fRec5[1] + fRec4[1];
            fVec4[n & 2047] = v;
            fRec5[0] = fVec4[(n - 1330) & 2047];
            fVec5[n & 4095] = -0.6f * v + fRec5[1];
            fRec3[0] = 0.5f * (fConst1 * fVec5[(n - 3125) & 4095] + fConst2 * fVec5[(n - 3126) & 4095]) - fConst3 * fRec3[1];
        }

        // Line 3: row (+1, +1, -1, -1), damping low-pass at 6561.
        {
            const float m = fRec0[1] + fRec3[1] - fRec6[1] - fRec9[1];
            const float u = fSlow0 * m + 0.6f * fRec7[1] + xL;
            fVec6[n & 1023] = u;
            fRec7[0] = fVec6[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * fRec8[1] + fRec7[1];
            fVec7[n & 2047] = v;
            fRec8[0] = fVec7[(n - 1330) & 2047];
            fVec8[n & 8191] = -0.6f * v + fRec8[1];
            fRec6[0] = fSlow6 * (0.5f * (fVec8[(n - 6561) & 8191] + fVec8[(n - 6562) & 8191]) - fSlow7 * fRec6[1]);
        }

        // Line 4: row (+1, -1, -1, +1), octave-up shifter blended with a plain tap at 8192.
        {
            const float m = fRec0[1] - fRec3[1] - fRec6[1] + fRec9[1];
            const float u = fSlow0 * m + 0.6f * fRec10[1] + xR;
            fVec9[n & 1023] = u;
            fRec10[0] = fVec9[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * fRec11[1] + fRec10[1];
            fVec10[n & 2047] = v;
            fRec11[0] = fVec10[(n - 1330) & 2047];
            fVec11[n & 131071] = -0.6f * v + fRec11[1];

            const float phase = std::fmod (fRec12[1] + 22832.0f, kShifterWindow);
            fRec12[0] = phase;
            const int iA = int (phase);
            const float fA = std::floor (phase);
            const int iB = int (phase + kShifterWindow);
            const float fB = std::floor (phase + kShifterWindow);
            const float nearWeight = std::min (1.0f, phase * 4.379626e-05f);

            const auto tap = [this, n] (int delay) { return fVec11[(n - std::uint32_t (clampShifterDelay (delay))) & 131071]; };
            const float tapA = (1.0f - phase + fA) * tap (iA) + (phase - fA) * tap (iA + 1);
            const float tapB = (fB - phase - 22832.0f) * tap (iB) + (kShifterWindow - fB + phase) * tap (iB + 1);
            const float shifted = (1.0f - nearWeight) * tapB + nearWeight * tapA;
            fRec9[0] = 0.5f * (fSlow1 * shifted + fSlow2 * fVec11[(n - 8192) & 131071]);
        }

        output0[i] = FAUSTFLOAT (fSlow3 * (fRec0[0] + fRec6[0]) + fSlow4 * xL);
        output1[i] = FAUSTFLOAT (fSlow3 * (fRec3[0] + fRec9[0]) + fSlow4 * xR);

        for (auto* pair : { fRec1, fRec2, fRec0, fRec4, fRec5, fRec3, fRec7, fRec8, fRec6, fRec10, fRec11, fRec12, fRec9 })
            pair[1] = pair[0];

        ++IOTA0;
    }
}
