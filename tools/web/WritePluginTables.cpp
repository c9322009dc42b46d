// Writes the plug-in's own tables as a JavaScript module for the web page, when the page is
// built (scripts/build-web.sh), so that the page takes them from the same source as the
// plug-in, its preset files and the renderer:
//
//   pelorvane-write-plugin-tables > site/js/plugin-tables.js
//
// One export per table, each written by a function of its own. Plain C++ without the framework,
// so that it builds with the system's compiler alone.
#include "processor/FactoryPresets.h"
#include "processor/PluginParameters.h"

#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

namespace
{
/** The text as a JavaScript string literal. */
std::string quoted (std::string_view text)
{
    std::string literal = "\"";

    for (const auto c : text)
    {
        const auto byte = static_cast<unsigned char> (c);

        if (c == '"' || c == '\\')
        {
            literal += '\\';
            literal += c;
        }
        else if (byte < 0x20)
        {
            char escape[8];
            std::snprintf (escape, sizeof (escape), "\\u%04x", byte);
            literal += escape;
        }
        else
        {
            literal += c; // UTF-8 goes through as it is: the module is served as UTF-8
        }
    }

    return literal + "\"";
}

/** The shortest decimal that reads back as the same single-precision value ("2.5", not
    "2.5000000"), which the page then stores as the plug-in's parameter would. */
std::string number (float value)
{
    char text[32];
    const auto written = std::to_chars (text, text + sizeof (text), value);
    return std::string (text, written.ptr);
}

void writeKnobParameters (std::ostream& out)
{
    out << "\n/** The knobs as the plug-in's host parameters define them, in the pedal's order: the\n"
           "    parameter's ID (also its name), the page's key, a range from 0 to maximum on steps\n"
           "    from 0, the default, the unit and the digits its text shows. */\n"
           "export const KNOB_PARAMETERS = [\n";

    for (const auto& knob : PluginParameters::knobs)
        out << "  { id: " << quoted (knob.id) << ", symbol: " << quoted (knob.symbol) << ", maximum: " << number (knob.maximum)
            << ", step: " << number (knob.step) << ", defaultValue: " << number (knob.defaultValue) << ", unit: " << quoted (knob.unit)
            << ", decimals: " << knob.decimals << " },\n";

    out << "];\n";
}

void writeFactoryPresets (std::ostream& out)
{
    out << "\n/** The factory presets in the plug-in's order: name, what it is for, and the four knobs in\n"
           "    their own units (Bypass is no part of a preset). */\n"
           "export const FACTORY_PRESETS = [\n";

    for (const auto& preset : FactoryPresets::all)
        out << "  {\n"
            << "    name: " << quoted (preset.name) << ",\n"
            << "    description: " << quoted (preset.description) << ",\n"
            << "    settings: { space: " << number (preset.space) << ", lumens: " << number (preset.lumens)
            << ", tone: " << number (preset.tone) << ", mix: " << number (preset.mix) << " },\n"
            << "  },\n";

    out << "];\n";
}
} // namespace

int main()
{
    std::cout << "// The plug-in's own tables, written by pelorvane-write-plugin-tables (tools/web) when the\n"
                 "// page is built. Edit the tables in source/, not this file.\n";
    writeKnobParameters (std::cout);
    writeFactoryPresets (std::cout);
    std::cout.flush();
    return std::cout ? 0 : 1;
}
