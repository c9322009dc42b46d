#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

#include <memory>

/** Makes the processor to render through: the one linked into the tool, or the one
    inside a built VST3 module, loaded through the framework's VST3 hosting. Either way
    it comes back with stereo input and output buses switched on, as a host sets it up.
*/
class EffectLoader
{
public:
    struct Result
    {
        std::unique_ptr<juce::AudioProcessor> processor;
        juce::String error;
    };

    static Result createLinked();

    /** Needs the message manager on this thread. */
    static Result loadVst3 (const juce::File& bundle, double sampleRate, int blockSize);

private:
    static Result withStereoBuses (std::unique_ptr<juce::AudioProcessor> processor);
};
