#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** A few seconds of plucked notes made in code, so the renderer has something to play
    without any file: an arpeggio rising through an A minor add-9 chord, then the chord
    struck at once and left to ring. Each note is a soft, kalimba-like pluck with only a
    fundamental and a faint third partial, so every octave above a note that shows up
    in the output is the effect's shimmer. Deterministic, mono, peaking at -6 dBFS.
*/
class DemoPhrase
{
public:
    static constexpr double sampleRate = 48000.0;
    static constexpr double lengthSeconds = 4.0;

    /** The phrase, made by DemoPhraseSamples. */
    static juce::AudioBuffer<float> synthesize();
};
