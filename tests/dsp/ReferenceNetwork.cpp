#include "ReferenceNetwork.h"

#include "dsp/CornerAngle.h"
#include "dsp/CornerTangent.h"

#include <algorithm>
#include <cmath>

ReferenceNetwork::ReferenceNetwork (int sampleRate)
{
    float fs = float (sampleRate);
    fs = fs > 1.0f ? fs : 1.0f;
    fs = fs < 192000.0f ? fs : 192000.0f;

    frequencyFactor = 3.1415927f / fs;
    const float t90 = cornerTangent (clampCornerAngle (282.74335f / fs));
    highpassA1 = (1.0f - 1.0f / t90) / (1.0f / t90 + 1.0f);
    highpassB0 = 1.0f / ((1.0f / t90 + 1.0f) * t90);
    highpassB1 = -highpassB0;
}

void ReferenceNetwork::diffuseAndStore (Line& line, float feedbackGain, float feedback, float dry, std::uint32_t n)
{
    // w[n] = x[n] + 0.6 w[n - 729]; the read at n - 728 is used one sample later.
    const float u = feedbackGain * feedback + 0.6f * line.allpass1OutPrevious + dry;
    line.allpass1.write (n, u);
    line.allpass1Out = line.allpass1.read (n - 728);

    const float v = -0.6f * u + 0.6f * line.allpass2OutPrevious + line.allpass1OutPrevious;
    line.allpass2.write (n, v);
    line.allpass2Out = line.allpass2.read (n - 1330);

    line.memory.write (n, -0.6f * v + line.allpass2OutPrevious);
}

void ReferenceNetwork::process (const Controls& c, const float* inL, const float* inR, float* outL, float* outR, int count)
{
    const float gain = c.space * 0.05f + 0.5f;
    const float shimmer = c.lumens * 0.07f;
    const float wet = c.mix + c.mix;
    const float dry = 1.0f - c.mix;
    const float t = cornerTangent (clampCornerAngle ((c.tone * 710.0f + 900.0f) * frequencyFactor));
    const float lowpassA = 1.0f / (1.0f / t + 1.0f);
    const float lowpassQ = 1.0f - 1.0f / t;

    const auto shifterDelay = [] (int k) { return std::uint32_t (std::min (65537, std::max (0, k))); };

    for (int i = 0; i < count; ++i)
    {
        const float xL = inL[i];
        const float xR = inR[i];
        const std::uint32_t n = writePosition;

        const float p1 = line1.outputPrevious, p2 = line2.outputPrevious;
        const float p3 = line3.outputPrevious, p4 = line4.outputPrevious;

        diffuseAndStore (line1, gain, p1 + p2 + p3 + p4, xL, n);
        diffuseAndStore (line2, gain, p1 - p2 + p3 - p4, xR, n);
        diffuseAndStore (line3, gain, p1 + p2 - p3 - p4, xL, n);
        diffuseAndStore (line4, gain, p1 - p2 - p3 + p4, xR, n);

        line1.output = lowpassA * (0.5f * (line1.memory.read (n - 2401) + line1.memory.read (n - 2402)) - lowpassQ * line1.outputPrevious);
        line3.output = lowpassA * (0.5f * (line3.memory.read (n - 6561) + line3.memory.read (n - 6562)) - lowpassQ * line3.outputPrevious);
        line2.output = 0.5f * (highpassB0 * line2.memory.read (n - 3125) + highpassB1 * line2.memory.read (n - 3126)) - highpassA1 * line2.outputPrevious;

        phase = std::fmod (phasePrevious + 22832.0f, 22833.0f);
        const int iA = int (phase);
        const float fA = std::floor (phase);
        const int iB = int (phase + 22833.0f);
        const float fB = std::floor (phase + 22833.0f);
        const float nearShare = std::min (1.0f, phase * 4.379626e-5f);
        const auto& m4 = line4.memory;
        const float tapA = (1.0f - phase + fA) * m4.read (n - shifterDelay (iA)) + (phase - fA) * m4.read (n - shifterDelay (iA + 1));
        const float tapB = (fB - phase - 22832.0f) * m4.read (n - shifterDelay (iB)) + (22833.0f - fB + phase) * m4.read (n - shifterDelay (iB + 1));
        const float shifted = (1.0f - nearShare) * tapB + nearShare * tapA;
        line4.output = 0.5f * (shimmer * shifted + (1.0f - shimmer) * m4.read (n - 8192));

        outL[i] = wet * (line1.output + line3.output) + dry * xL;
        outR[i] = wet * (line2.output + line4.output) + dry * xR;

        for (Line* line : { &line1, &line2, &line3, &line4 })
        {
            line->allpass1OutPrevious = line->allpass1Out;
            line->allpass2OutPrevious = line->allpass2Out;
            line->outputPrevious = line->output;
        }
        phasePrevious = phase;
        ++writePosition;
    }
}
