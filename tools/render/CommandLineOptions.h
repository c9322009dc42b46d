#pragma once

#include "render/RenderSettings.h"

#include <juce_core/juce_core.h>

#include <vector>

/** Turns the renderer's command line into RenderSettings, refusing anything it does not
    know or any value out of range before a file is touched.
*/
class CommandLineOptions
{
public:
    struct KnobOption
    {
        const char* parameterName;
        juce::String option;
        float minimum;
        float maximum;
        const char* meaning;
    };

    struct Result
    {
        RenderSettings settings;
        juce::String error; // empty when the command line was fine
    };

    static Result parse (const juce::StringArray& arguments);

    /** The four knobs as the effect's parameters define them. */
    static const std::vector<KnobOption>& knobs();

    static constexpr int minimumBlockSize = 1;
    static constexpr int maximumBlockSize = 16384;
    static constexpr double maximumTailSeconds = 600.0;

    static juce::String usage();

    /** The factory presets, one a line: name, the four knobs, and what it is for. */
    static juce::String presetList();
};
