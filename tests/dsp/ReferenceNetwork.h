#pragma once

#include <cstdint>
#include <vector>

/** A deliberately plain, sample-by-sample model of the shimmer reverb network, written
    from its equations rather than from the engine: one small object per delay memory,
    per all-pass section and per line, no shared arrays and no masks spelled out by hand.
    The engine must match it bit for bit. Like the engine, it holds the filter corners'
    pre-warped angles below Nyquist, which only matters below about 17.8 kHz.
*/
class ReferenceNetwork
{
public:
    struct Controls
    {
        float space = 5.0f;   // 0..10
        float lumens = 5.0f;  // 0..10
        float tone = 5.0f;    // 0..10
        float mix = 0.5f;     // 0..1
    };

    explicit ReferenceNetwork (int sampleRate);

    /** Starts the shared write position somewhere else, as after a long run. */
    void setWritePosition (std::uint32_t position) { writePosition = position; }

    void process (const Controls& controls, const float* inL, const float* inR, float* outL, float* outR, int count);

private:
    struct Memory
    {
        explicit Memory (std::size_t length) : samples (length, 0.0f) {}
        float read (std::uint32_t position) const { return samples[position % samples.size()]; }
        void write (std::uint32_t position, float value) { samples[position % samples.size()] = value; }
        std::vector<float> samples;
    };

    struct Line
    {
        Line (std::size_t lineLength) : allpass1 (1024), allpass2 (2048), memory (lineLength) {}
        Memory allpass1, allpass2, memory;
        float allpass1Out = 0.0f, allpass1OutPrevious = 0.0f;
        float allpass2Out = 0.0f, allpass2OutPrevious = 0.0f;
        float output = 0.0f, outputPrevious = 0.0f;
    };

    void diffuseAndStore (Line& line, float feedbackGain, float feedback, float dry, std::uint32_t n);

    float highpassB0, highpassB1, highpassA1, frequencyFactor;
    Line line1 { 4096 }, line2 { 4096 }, line3 { 8192 }, line4 { 131072 };
    float phase = 0.0f, phasePrevious = 0.0f;
    std::uint32_t writePosition = 0;
};
