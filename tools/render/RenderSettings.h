#pragma once

#include <juce_core/juce_core.h>

#include <map>

/** Everything one run of the renderer was asked to do. */
struct RenderSettings
{
    juce::File input; // none: the built-in demo phrase
    juce::File output;
    juce::File spectrogram; // none: no picture
    juce::File vst3Bundle; // none: the processor linked into the tool

    std::map<juce::String, float> knobValues; // by parameter name; unset ones keep their defaults
    juce::String preset; // the factory preset the knobs start from; none: the plug-in's defaults
    bool bypass = false;

    int blockSize = 512;
    double tailLimitSeconds = 30.0;
    bool floatOutput = false;

    bool showHelp = false;
    bool listPresets = false;
};
