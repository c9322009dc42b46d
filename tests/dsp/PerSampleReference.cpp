#include "PerSampleReference.h"

#include "dsp/CornerAngle.h"
#include "dsp/CornerTangent.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr float kShifterWindow = 22833.0f;
constexpr int kShifterMaxDelay = 65537;

int clampShifterDelay (int delay) { return std::min (kShifterMaxDelay, std::max (0, delay)); }
} // namespace

void computePerSample (mydsp& d, int count, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs)
{
    if (count <= 0)
        return;

    FAUSTFLOAT* input0 = inputs[0];
    FAUSTFLOAT* input1 = inputs[1];
    FAUSTFLOAT* output0 = outputs[0];
    FAUSTFLOAT* output1 = outputs[1];

    const float fSlow0 = float (d.fHslider2) * 0.05f + 0.5f;                          // feedback gain G
    const float fSlow1 = float (d.fHslider3) * 0.07f;                                 // shimmer share S
    const float fSlow2 = 1.0f - fSlow1;                                               // plain-tap share
    const float fSlow3 = float (d.fHslider0) + float (d.fHslider0);                   // wet gain
    const float fSlow4 = 1.0f - float (d.fHslider0);                                  // dry gain
    const float fSlow5 = cornerTangent (clampCornerAngle ((float (d.fHslider1) * 710.0f + 900.0f) * d.fConst0));
    const float fSlow6 = 1.0f / (1.0f / fSlow5 + 1.0f);                               // low-pass input gain A
    const float fSlow7 = 1.0f - 1.0f / fSlow5;                                        // low-pass feedback factor Q

    for (int i = 0; i < count; ++i)
    {
        const float xL = float (input0[i]);
        const float xR = float (input1[i]);
        const std::uint32_t n = d.IOTA0;

        // Line 1: row (+1, +1, +1, +1), damping low-pass at 2401.
        {
            const float m = d.fRec0[1] + d.fRec3[1] + d.fRec6[1] + d.fRec9[1];
            const float u = fSlow0 * m + 0.6f * d.fRec1[1] + xL;
            d.fVec0[n & 1023] = u;
            d.fRec1[0] = d.fVec0[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * d.fRec2[1] + d.fRec1[1];
            d.fVec1[n & 2047] = v;
            d.fRec2[0] = d.fVec1[(n - 1330) & 2047];
            d.fVec2[n & 4095] = -0.6f * v + d.fRec2[1];
            d.fRec0[0] = fSlow6 * (0.5f * (d.fVec2[(n - 2401) & 4095] + d.fVec2[(n - 2402) & 4095]) - fSlow7 * d.fRec0[1]);
        }

        // Line 2: row (+1, -1, +1, -1), 90 Hz high-pass at 3125.
        {
            const float m = d.fRec0[1] - d.fRec3[1] + d.fRec6[1] - d.fRec9[1];
            const float u = fSlow0 * m + 0.6f * d.fRec4[1] + xR;
            d.fVec3[n & 1023] = u;
            d.fRec4[0] = d.fVec3[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * d.fRec5[1] + d.fRec4[1];
            d.fVec4[n & 2047] = v;
            d.fRec5[0] = d.fVec4[(n - 1330) & 2047];
            d.fVec5[n & 4095] = -0.6f * v + d.fRec5[1];
            d.fRec3[0] = 0.5f * (d.fConst1 * d.fVec5[(n - 3125) & 4095] + d.fConst2 * d.fVec5[(n - 3126) & 4095]) - d.fConst3 * d.fRec3[1];
        }

        // Line 3: row (+1, +1, -1, -1), damping low-pass at 6561.
        {
            const float m = d.fRec0[1] + d.fRec3[1] - d.fRec6[1] - d.fRec9[1];
            const float u = fSlow0 * m + 0.6f * d.fRec7[1] + xL;
            d.fVec6[n & 1023] = u;
            d.fRec7[0] = d.fVec6[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * d.fRec8[1] + d.fRec7[1];
            d.fVec7[n & 2047] = v;
            d.fRec8[0] = d.fVec7[(n - 1330) & 2047];
            d.fVec8[n & 8191] = -0.6f * v + d.fRec8[1];
            d.fRec6[0] = fSlow6 * (0.5f * (d.fVec8[(n - 6561) & 8191] + d.fVec8[(n - 6562) & 8191]) - fSlow7 * d.fRec6[1]);
        }

        // Line 4: row (+1, -1, -1, +1), octave-up shifter blended with a plain tap at 8192.
        {
            const float m = d.fRec0[1] - d.fRec3[1] - d.fRec6[1] + d.fRec9[1];
            const float u = fSlow0 * m + 0.6f * d.fRec10[1] + xR;
            d.fVec9[n & 1023] = u;
            d.fRec10[0] = d.fVec9[(n - 728) & 1023];
            const float v = -0.6f * u + 0.6f * d.fRec11[1] + d.fRec10[1];
            d.fVec10[n & 2047] = v;
            d.fRec11[0] = d.fVec10[(n - 1330) & 2047];
            d.fVec11[n & 131071] = -0.6f * v + d.fRec11[1];

            const float phase = std::fmod (d.fRec12[1] + 22832.0f, kShifterWindow);
            d.fRec12[0] = phase;
            const int iA = int (phase);
            const float fA = std::floor (phase);
            const int iB = int (phase + kShifterWindow);
            const float fB = std::floor (phase + kShifterWindow);
            const float nearWeight = std::min (1.0f, phase * 4.379626e-05f);

            const auto tap = [&d, n] (int delay) { return d.fVec11[(n - std::uint32_t (clampShifterDelay (delay))) & 131071]; };
            const float tapA = (1.0f - phase + fA) * tap (iA) + (phase - fA) * tap (iA + 1);
            const float tapB = (fB - phase - 22832.0f) * tap (iB) + (kShifterWindow - fB + phase) * tap (iB + 1);
            const float shifted = (1.0f - nearWeight) * tapB + nearWeight * tapA;
            d.fRec9[0] = 0.5f * (fSlow1 * shifted + fSlow2 * d.fVec11[(n - 8192) & 131071]);
        }

        output0[i] = FAUSTFLOAT (fSlow3 * (d.fRec0[0] + d.fRec6[0]) + fSlow4 * xL);
        output1[i] = FAUSTFLOAT (fSlow3 * (d.fRec3[0] + d.fRec9[0]) + fSlow4 * xR);

        for (auto* pair : { d.fRec1, d.fRec2, d.fRec0, d.fRec4, d.fRec5, d.fRec3, d.fRec7, d.fRec8, d.fRec6, d.fRec10, d.fRec11, d.fRec12, d.fRec9 })
            pair[1] = pair[0];

        ++d.IOTA0;
    }
}
