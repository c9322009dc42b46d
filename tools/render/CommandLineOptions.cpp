#include "render/CommandLineOptions.h"

#include "processor/FactoryPresets.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace
{
std::optional<double> parseNumber (const juce::String& text)
{
    const auto utf8 = text.trim().toStdString();

    if (utf8.empty())
        return std::nullopt;

    char* end = nullptr;
    const double value = std::strtod (utf8.c_str(), &end);

    if (end != utf8.c_str() + utf8.size() || ! std::isfinite (value))
        return std::nullopt;

    return value;
}

juce::String formatNumber (double value)
{
    return juce::String (value, value == std::floor (value) ? 0 : 1);
}

/** Walks the arguments once, filling the settings or stopping at the first fault. */
class Parser
{
public:
    explicit Parser (const juce::StringArray& argumentsToParse)
        : arguments (argumentsToParse) {}

    CommandLineOptions::Result run()
    {
        for (index = 0; index < arguments.size() && result.error.isEmpty(); ++index)
            parseArgument (arguments[index]);

        if (result.error.isEmpty())
            startFromPreset();

        if (result.error.isEmpty() && ! result.settings.showHelp && ! result.settings.listPresets)
            checkComplete();

        return result;
    }

private:
    void parseArgument (const juce::String& argument)
    {
        if (! argument.startsWith ("-") || argument == "-")
            return takeInput (argument);

        auto name = argument.upToFirstOccurrenceOf ("=", false, false);
        inlineValue = argument.contains ("=") ? std::optional<juce::String> (argument.fromFirstOccurrenceOf ("=", false, false))
                                              : std::nullopt;

        if (name == "-h" || name == "--help")
            result.settings.showHelp = true;
        else if (name == "-o" || name == "--output")
            takeFile (name, result.settings.output);
        else if (name == "--spectrogram")
            takeFile (name, result.settings.spectrogram);
        else if (name == "--vst3")
            takeFile (name, result.settings.vst3Bundle);
        else if (name == "--preset")
            takePreset (name);
        else if (name == "--list-presets")
            takeFlag (name, result.settings.listPresets);
        else if (name == "--bypass")
            takeFlag (name, result.settings.bypass);
        else if (name == "--float")
            takeFlag (name, result.settings.floatOutput);
        else if (name == "--block")
            takeBlockSize (name);
        else if (name == "--tail")
            takeTail (name);
        else if (auto* knob = findKnob (name))
            takeKnob (*knob);
        else
            fail ("unknown option '" + name + "'");
    }

    void takeInput (const juce::String& argument)
    {
        if (result.settings.input != juce::File())
            return fail ("more than one input file given ('" + result.settings.input.getFileName() + "' and '" + argument + "')");

        if (argument.isEmpty() || argument == "-")
            return fail ("'" + argument + "' is not an input file (standard input is not read)");

        result.settings.input = juce::File::getCurrentWorkingDirectory().getChildFile (argument);
    }

    std::optional<juce::String> takeValue (const juce::String& name)
    {
        if (inlineValue.has_value())
            return inlineValue;

        if (index + 1 >= arguments.size())
        {
            fail (name + " needs a value");
            return std::nullopt;
        }

        return arguments[++index];
    }

    void takeFile (const juce::String& name, juce::File& destination)
    {
        if (auto value = takeValue (name))
        {
            if (value->isEmpty())
                return fail (name + " needs a file name");

            destination = juce::File::getCurrentWorkingDirectory().getChildFile (*value);
        }
    }

    void takeFlag (const juce::String& name, bool& destination)
    {
        if (inlineValue.has_value())
            return fail (name + " takes no value");

        destination = true;
    }

    std::optional<double> takeNumber (const juce::String& name, double minimum, double maximum, const juce::String& unit)
    {
        const auto text = takeValue (name);

        if (! text.has_value())
            return std::nullopt;

        const auto value = parseNumber (*text);

        if (! value.has_value())
        {
            fail (name + " needs a number, not '" + *text + "'");
            return std::nullopt;
        }

        if (*value < minimum || *value > maximum)
        {
            fail (name + " " + *text + " is out of range: " + formatNumber (minimum) + " to " + formatNumber (maximum) + unit);
            return std::nullopt;
        }

        return value;
    }

    void takeBlockSize (const juce::String& name)
    {
        if (auto value = takeNumber (name, CommandLineOptions::minimumBlockSize, CommandLineOptions::maximumBlockSize, " samples"))
        {
            if (*value != std::floor (*value))
                return fail (name + " needs a whole number of samples");

            result.settings.blockSize = static_cast<int> (*value);
        }
    }

    void takeTail (const juce::String& name)
    {
        if (auto value = takeNumber (name, 0.0, CommandLineOptions::maximumTailSeconds, " seconds"))
            result.settings.tailLimitSeconds = *value;
    }

    void takeKnob (const CommandLineOptions::KnobOption& knob)
    {
        if (auto value = takeNumber (knob.option, knob.minimum, knob.maximum, {}))
            result.settings.knobValues[knob.parameterName] = static_cast<float> (*value);
    }

    void takePreset (const juce::String& name)
    {
        if (auto value = takeValue (name))
        {
            const auto* preset = FactoryPresets::find (value->toStdString());

            if (preset == nullptr)
                return fail ("there is no factory preset called '" + *value + "' (--list-presets lists them)");

            result.settings.preset = preset->name;
        }
    }

    /** The preset's values for the knobs that no option set: options go on top, wherever they stand. */
    void startFromPreset()
    {
        const auto* preset = FactoryPresets::find (result.settings.preset.toStdString());

        if (preset == nullptr)
            return;

        const auto values = FactoryPresets::knobValues (*preset);

        for (size_t k = 0; k < values.size(); ++k)
            result.settings.knobValues.emplace (PluginParameters::knobs[k].id, values[k]);
    }

    static const CommandLineOptions::KnobOption* findKnob (const juce::String& name)
    {
        for (const auto& knob : CommandLineOptions::knobs())
            if (name == knob.option)
                return &knob;

        return nullptr;
    }

    void checkComplete()
    {
        auto& settings = result.settings;

        if (settings.output == juce::File())
            return fail ("no output file given (-o FILE.wav)");

        if (! settings.output.hasFileExtension ("wav"))
            return fail ("the output is written as WAV, so its name must end in .wav: " + settings.output.getFullPathName());

        if (settings.output == settings.input)
            return fail ("the output file would overwrite the input file");

        if (settings.spectrogram != juce::File() && ! settings.spectrogram.hasFileExtension ("png"))
            return fail ("the spectrogram is written as PNG, so its name must end in .png: " + settings.spectrogram.getFullPathName());

        if (settings.spectrogram == settings.output || (settings.spectrogram != juce::File() && settings.spectrogram == settings.input))
            return fail ("the spectrogram needs a file of its own");
    }

    void fail (const juce::String& message)
    {
        if (result.error.isEmpty())
            result.error = message;
    }

    const juce::StringArray& arguments;
    int index = 0;
    std::optional<juce::String> inlineValue;
    CommandLineOptions::Result result;
};
} // namespace

CommandLineOptions::Result CommandLineOptions::parse (const juce::StringArray& arguments)
{
    return Parser (arguments).run();
}

const std::vector<CommandLineOptions::KnobOption>& CommandLineOptions::knobs()
{
    static const auto table = []
    {
        std::vector<KnobOption> options;

        for (const auto& knob : PluginParameters::knobs)
            options.push_back ({ knob.id, "--" + juce::String (knob.symbol), 0.0f, knob.maximum, knob.meaning });

        return options;
    }();
    return table;
}

juce::String CommandLineOptions::presetList()
{
    juce::String text;
    text << "Factory presets (--preset NAME; Bypass is off in all of them):\n";

    for (const auto& preset : FactoryPresets::all)
        text << "  " << juce::String (preset.name).paddedRight (' ', 14)
             << "  Space " << juce::String (preset.space, 1).paddedLeft (' ', 4)
             << "  Lumens " << juce::String (preset.lumens, 1).paddedLeft (' ', 4)
             << "  Tone " << juce::String (preset.tone, 1).paddedLeft (' ', 4)
             << "  Mix " << juce::String (juce::roundToInt (preset.mix)).paddedLeft (' ', 3) << " %"
             << "  " << preset.description << "\n";

    return text;
}

juce::String CommandLineOptions::usage()
{
    juce::String text;
    text << "Usage: pelorvane-render [INPUT] -o OUTPUT.wav [options]\n"
         << "\n"
         << "Runs an audio file through the Pelorvane shimmer reverb the way a plug-in host does\n"
         << "and writes the result, tail included, as a stereo WAV file.\n"
         << "\n"
         << "INPUT is a WAV, AIFF, FLAC or Ogg Vorbis file at 8 to 384 kHz. Without it a built-in\n"
         << "demo phrase of plucked notes (48 kHz) is rendered.\n"
         << "\n"
         << "The effect listens to the left channel only: the right channel of a stereo file is\n"
         << "discarded (a note says so when it differs from the left one), a mono file's channel is\n"
         << "fed as the left input, and any further channels are ignored. The output is always\n"
         << "stereo, at the input's sample rate.\n"
         << "\n"
         << "A WAV or AIFF file that holds less than its header declares (a recording cut short) is\n"
         << "rendered as far as it goes, and a note says so. An output of 4 GiB or more, past what\n"
         << "a plain WAV file can hold, is written as RF64, the 64-bit extension of WAV.\n"
         << "\n"
         << "Options:\n"
         << "  -o, --output FILE     WAV file to write (required)\n";

    for (const auto& knob : knobs())
        text << "  " << (juce::String (knob.option) + " VALUE").paddedRight (' ', 22)
             << knob.parameterName << ": " << knob.meaning << ", "
             << formatNumber (knob.minimum) << " to " << formatNumber (knob.maximum) << "\n";

    text << "  --preset NAME         start from a factory preset (its four knobs); knob options given\n"
         << "                        as well go on top of it\n"
         << "  --list-presets        list the factory presets and what they are for\n"
         << "  --bypass              render with the effect bypassed (the left input on both sides)\n"
         << "  --block N             host block size in samples, " << minimumBlockSize << " to " << maximumBlockSize << " (default 512)\n"
         << "  --tail SECONDS        longest tail rendered after the input ends (default 30, at most 600);\n"
         << "                        rendering stops earlier once the tail stays below -90 dBFS\n"
         << "  --float               write 32-bit float samples instead of 24-bit integers\n"
         << "  --spectrogram FILE    also draw input and output spectrograms into a PNG picture\n"
         << "  --vst3 PATH           render through a built Pelorvane.vst3 bundle, loaded as a host\n"
         << "                        loads it, instead of the processor built into this tool\n"
         << "  -h, --help            show this text\n"
         << "\n"
         << "Knobs not given keep the preset's values, or else the plug-in's defaults (5.0, 5.0, 5.0\n"
         << "and 50 %). Values snap to the knobs' steps (0.1, and 1 for Mix) as they would in a host.\n"
         << "\n"
         << "Exit status: 0 done, 1 the input, the output or the plug-in failed, 2 bad command line,\n"
         << "130 interrupted. A failed or interrupted run leaves no output file behind.\n";
    return text;
}
