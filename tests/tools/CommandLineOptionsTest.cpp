#include "render/CommandLineOptions.h"
#include "processor/FactoryPresets.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

namespace
{
CommandLineOptions::Result parse (const juce::String& line)
{
    return CommandLineOptions::parse (juce::StringArray::fromTokens (line, " ", "\""));
}

juce::File cwd()
{
    return juce::File::getCurrentWorkingDirectory();
}
} // namespace

TEST (CommandLineOptions, ReadsAFullCommandLine)
{
    const auto result = parse ("in.flac -o out/wet.wav --space 7.3 --lumens=8 --tone 0 --mix 100 --block 64 --tail 12.5 --float --spectrogram pic.png --bypass --vst3 /opt/P.vst3");
    ASSERT_EQ (result.error, "");

    const auto& s = result.settings;
    EXPECT_EQ (s.input, cwd().getChildFile ("in.flac"));
    EXPECT_EQ (s.output, cwd().getChildFile ("out/wet.wav"));
    EXPECT_EQ (s.spectrogram, cwd().getChildFile ("pic.png"));
    EXPECT_EQ (s.vst3Bundle, juce::File ("/opt/P.vst3"));
    EXPECT_FLOAT_EQ (s.knobValues.at ("Space"), 7.3f);
    EXPECT_FLOAT_EQ (s.knobValues.at ("Lumens"), 8.0f);
    EXPECT_EQ (s.knobValues.at ("Tone"), 0.0f);
    EXPECT_EQ (s.knobValues.at ("Mix"), 100.0f);
    EXPECT_EQ (s.blockSize, 64);
    EXPECT_DOUBLE_EQ (s.tailLimitSeconds, 12.5);
    EXPECT_TRUE (s.floatOutput);
    EXPECT_TRUE (s.bypass);
}

TEST (CommandLineOptions, DefaultsLeaveTheKnobsAloneAndRenderTheDemo)
{
    const auto result = parse ("-o demo.wav");
    ASSERT_EQ (result.error, "");
    EXPECT_EQ (result.settings.input, juce::File());
    EXPECT_TRUE (result.settings.knobValues.empty());
    EXPECT_FALSE (result.settings.bypass);
    EXPECT_EQ (result.settings.blockSize, 512);
    EXPECT_FALSE (result.settings.floatOutput);
    EXPECT_EQ (result.settings.spectrogram, juce::File());
}

TEST (CommandLineOptions, RangeEdgesAreAcceptedAndValuesBeyondThemRefused)
{
    EXPECT_EQ (parse ("-o a.wav --space 0 --lumens 10 --tone 10 --mix 0 --block 1 --tail 0").error, "");
    EXPECT_EQ (parse ("-o a.wav --block 16384 --tail 600").error, "");

    EXPECT_EQ (parse ("-o a.wav --space 10.01").error, "--space 10.01 is out of range: 0 to 10");
    EXPECT_EQ (parse ("-o a.wav --mix -1").error, "--mix -1 is out of range: 0 to 100");
    EXPECT_EQ (parse ("-o a.wav --mix 101").error, "--mix 101 is out of range: 0 to 100");
    EXPECT_EQ (parse ("-o a.wav --block 0").error, "--block 0 is out of range: 1 to 16384 samples");
    EXPECT_EQ (parse ("-o a.wav --block 16385").error, "--block 16385 is out of range: 1 to 16384 samples");
    EXPECT_EQ (parse ("-o a.wav --block 2.5").error, "--block needs a whole number of samples");
    EXPECT_EQ (parse ("-o a.wav --tail 600.5").error, "--tail 600.5 is out of range: 0 to 600 seconds");
}

TEST (CommandLineOptions, RefusesWhatItCannotUse)
{
    EXPECT_EQ (parse ("-o a.wav --size 3").error, "unknown option '--size'");
    EXPECT_EQ (parse ("-o a.wav --tone bright").error, "--tone needs a number, not 'bright'");
    EXPECT_EQ (parse ("-o a.wav --tone nan").error, "--tone needs a number, not 'nan'");
    EXPECT_EQ (parse ("-o a.wav --tone 5x").error, "--tone needs a number, not '5x'");
    EXPECT_EQ (parse ("-o a.wav --space").error, "--space needs a value");
    EXPECT_EQ (parse ("-o a.wav --bypass=yes").error, "--bypass takes no value");
    EXPECT_EQ (parse ("a.wav b.wav -o c.wav").error, "more than one input file given ('a.wav' and 'b.wav')");
    EXPECT_EQ (parse ("in.wav").error, "no output file given (-o FILE.wav)");
    EXPECT_TRUE (parse ("in.wav -o out.flac").error.startsWith ("the output is written as WAV"));
    EXPECT_EQ (parse ("in.wav -o in.wav").error, "the output file would overwrite the input file");
    EXPECT_TRUE (parse ("-o a.wav --spectrogram a.jpg").error.startsWith ("the spectrogram is written as PNG"));
}

TEST (CommandLineOptions, HelpNeedsNoOutputFile)
{
    EXPECT_TRUE (parse ("-h").settings.showHelp);
    EXPECT_EQ (parse ("-h").error, "");
    EXPECT_TRUE (CommandLineOptions::usage().contains ("left channel only"));

    // Every option's description starts in the same column.
    for (const auto& line : juce::StringArray::fromLines (CommandLineOptions::usage()))
    {
        if (line.startsWith ("  -"))
        {
            EXPECT_TRUE (line[23] == ' ' && line[24] != ' ') << line;
        }
    }
}

// The tool checks ranges before it loads anything, so its table must be the effect's own.
TEST (CommandLineOptions, KnobTableMatchesTheEffectsParameters)
{
    juce::ScopedJuceInitialiser_GUI framework;
    PelorvaneAudioProcessor processor;

    for (const auto& knob : CommandLineOptions::knobs())
    {
        auto* parameter = processor.parameters.getParameter (knob.parameterName);
        ASSERT_NE (parameter, nullptr) << knob.parameterName;
        EXPECT_EQ (parameter->getName (64), knob.parameterName);
        EXPECT_EQ (parameter->getNormalisableRange().start, knob.minimum) << knob.parameterName;
        EXPECT_EQ (parameter->getNormalisableRange().end, knob.maximum) << knob.parameterName;
        EXPECT_EQ (juce::String (knob.option), "--" + juce::String (knob.parameterName).toLowerCase());
    }

    EXPECT_EQ (CommandLineOptions::knobs().size(), 4u);
}

TEST (CommandLineOptions, APresetGivesItsKnobsAndKnobOptionsGoOnTop)
{
    const auto* preset = FactoryPresets::find ("Glass Halo");
    ASSERT_NE (preset, nullptr);

    // Wherever the knob option stands, and whatever the letter case of the name.
    for (const auto& line : { juce::StringArray { "-o", "a.wav", "--space", "2", "--preset", "glass halo" },
                              juce::StringArray { "-o", "a.wav", "--preset=Glass Halo", "--space", "2" } })
    {
        const auto result = CommandLineOptions::parse (line);
        ASSERT_EQ (result.error, "") << line.joinIntoString (" ");
        EXPECT_EQ (result.settings.preset, "Glass Halo");
        EXPECT_FLOAT_EQ (result.settings.knobValues.at ("Space"), 2.0f);
        EXPECT_FLOAT_EQ (result.settings.knobValues.at ("Lumens"), preset->lumens);
        EXPECT_FLOAT_EQ (result.settings.knobValues.at ("Tone"), preset->tone);
        EXPECT_FLOAT_EQ (result.settings.knobValues.at ("Mix"), preset->mix);
    }

    EXPECT_EQ (parse ("-o a.wav --preset Nowhere").error, "there is no factory preset called 'Nowhere' (--list-presets lists them)");
    EXPECT_EQ (parse ("--list-presets").error, "");
    EXPECT_TRUE (parse ("--list-presets").settings.listPresets);
}

TEST (CommandLineOptions, FactoryPresetsAreDistinctAndOnTheKnobsSteps)
{
    std::set<std::string> names, slugs;

    for (const auto& preset : FactoryPresets::all)
    {
        names.insert (preset.name);
        slugs.insert (FactoryPresets::slug (preset));

        for (const auto value : { preset.space, preset.lumens, preset.tone })
            EXPECT_TRUE (value >= 0.0f && value <= 10.0f && std::abs (value * 10.0f - std::round (value * 10.0f)) < 1.0e-4f) << preset.name;

        EXPECT_TRUE (preset.mix >= 0.0f && preset.mix <= 100.0f && preset.mix == std::round (preset.mix)) << preset.name;
        // File and URI names: nothing a file system or an installer script would trip over.
        EXPECT_EQ (std::string (preset.name).find_first_of ("/\\:*?\"<>|$`"), std::string::npos) << preset.name;
    }

    EXPECT_EQ (names.size(), std::size (FactoryPresets::all));
    EXPECT_EQ (slugs.size(), std::size (FactoryPresets::all));
}
