#include "render/DemoPhrase.h"

#include "demo/DemoPhraseSamples.h"

static_assert (DemoPhrase::sampleRate == DemoPhraseSamples::sampleRate && DemoPhrase::lengthSeconds == DemoPhraseSamples::lengthSeconds);

juce::AudioBuffer<float> DemoPhrase::synthesize()
{
    // The samples come from code without the framework, which the web page's engine
    // compiles too.
    juce::AudioBuffer<float> buffer (1, DemoPhraseSamples::length);
    DemoPhraseSamples::synthesize (buffer.getWritePointer (0));
    return buffer;
}
