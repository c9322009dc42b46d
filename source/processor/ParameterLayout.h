#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** The five host parameters, "Bypass" first and then the knobs, built from
    PluginParameters.h: what the plug-in's processor holds, and what the LV2 UI holds to
    show the same pedal.
*/
juce::AudioProcessorValueTreeState::ParameterLayout createParameterLayout();
