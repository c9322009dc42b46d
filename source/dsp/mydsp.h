#pragma once

#include <faust/dsp/dsp.h>
#include <faust/gui/UI.h>
#include <faust/gui/meta.h>

#include <cstdint>

/** The shimmer reverb: four all-pass-diffused delay lines fed back through a 4 x 4
    sign matrix, with damping low-passes on lines 1 and 3, a 90 Hz high-pass on line 2
    and an octave-up pitch shifter blended with a plain tap on line 4.

    Every delay memory lives inside the object, so it never allocates. Zones are read
    on a 0..10 control scale (mix as a 0..1 fraction) once per block.
*/
class mydsp : public dsp
{
public:
    mydsp() = default;

    int getNumInputs() override { return 2; }
    int getNumOutputs() override { return 2; }

    void buildUserInterface (UI* ui_interface) override;
    int getSampleRate() override { return fSampleRate; }

    static void classInit (int) {}
    void init (int sample_rate) override { instanceInit (sample_rate); }
    void instanceInit (int sample_rate) override;
    void instanceConstants (int sample_rate) override;
    void instanceResetUserInterface() override;
    void instanceClear() override;

    mydsp* clone() override;
    void metadata (Meta* m) override;

    void compute (int count, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs) override;
    using dsp::compute;

    // Memory lengths; each is a power of two so that positions are masks of the counter.
    static constexpr int kAllpass1Size = 1024;
    static constexpr int kAllpass2Size = 2048;
    static constexpr int kLine1Size = 4096;
    static constexpr int kLine2Size = 4096;
    static constexpr int kLine3Size = 8192;
    static constexpr int kLine4Size = 131072;

    // The generator's member names are kept; the comments say what each one is.
    FAUSTFLOAT fHslider0;          // mix zone
    int fSampleRate;               // rate given to init, unclamped
    float fConst0;                 // pi / clamped rate: frequency factor of the damping corner
    FAUSTFLOAT fHslider1;          // tone zone
    FAUSTFLOAT fHslider2;          // space zone
    std::uint32_t IOTA0;           // shared write counter, wraps modulo 2^32
    float fVec0[kAllpass1Size];    // line 1, first all-pass memory
    float fRec1[2];                // line 1, first all-pass delayed sample
    float fVec1[kAllpass2Size];    // line 1, second all-pass memory
    float fRec2[2];                // line 1, second all-pass delayed sample
    float fVec2[kLine1Size];       // line 1 delay memory
    float fRec0[2];                // line 1 low-pass output
    float fConst1;                 // high-pass b0
    float fVec3[kAllpass1Size];    // line 2, first all-pass memory
    float fRec4[2];                // line 2, first all-pass delayed sample
    float fVec4[kAllpass2Size];    // line 2, second all-pass memory
    float fRec5[2];                // line 2, second all-pass delayed sample
    float fVec5[kLine2Size];       // line 2 delay memory
    float fConst2;                 // high-pass b1 (= -b0)
    float fConst3;                 // high-pass a1
    float fRec3[2];                // line 2 high-pass output
    float fVec6[kAllpass1Size];    // line 3, first all-pass memory
    float fRec7[2];                // line 3, first all-pass delayed sample
    float fVec7[kAllpass2Size];    // line 3, second all-pass memory
    float fRec8[2];                // line 3, second all-pass delayed sample
    float fVec8[kLine3Size];       // line 3 delay memory
    float fRec6[2];                // line 3 low-pass output
    FAUSTFLOAT fHslider3;          // lumens zone
    float fVec9[kAllpass1Size];    // line 4, first all-pass memory
    float fRec10[2];               // line 4, first all-pass delayed sample
    float fVec10[kAllpass2Size];   // line 4, second all-pass memory
    float fRec11[2];               // line 4, second all-pass delayed sample
    float fVec11[kLine4Size];      // line 4 delay memory, read by the octave shifter
    float fRec12[2];               // octave-shifter phase
    float fRec9[2];                // line 4 output

    /** Not part of the network's state: the damping low-pass quantities A and Q of the last
        block, with the bit patterns of the tone zone and frequency factor they came from, so
        that compute evaluates the tangent only when one of them changes. instanceConstants
        empties it; every block gets the same A and Q either way.
    */
    struct LowpassCache
    {
        bool valid;
        std::uint32_t toneBits, factorBits;
        float gain, feedback;
    };

    LowpassCache lowpassCache;
};
