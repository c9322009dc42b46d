#pragma once

#include "render/RenderSettings.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** Reaches the effect's controls the way a host does: through the processor's parameter
    objects, found by name, so the linked processor and a hosted VST3 module are driven
    by the same calls.
*/
class HostParameters
{
public:
    /** Sets the knobs given in the settings and the bypass switch. Returns an error
        message, or an empty string when every parameter was found.
    */
    static juce::String apply (juce::AudioProcessor& processor, const RenderSettings& settings);

    /** The current settings as a host shows them, e.g. "Space 5.0, ..., Mix 50 %, active". */
    static juce::String describe (juce::AudioProcessor& processor);

private:
    static juce::AudioProcessorParameter* find (juce::AudioProcessor& processor, const juce::String& name);
    static juce::AudioProcessorParameter* findBypass (juce::AudioProcessor& processor);
};
