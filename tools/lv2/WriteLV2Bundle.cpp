// Writes the LV2 bundle's data from the plug-in's tables when the project builds, so that the
// ports, their ranges and the presets are the ones the processor, the renderer and the web page
// take from the same tables:
//
//   pelorvane-write-lv2-bundle BUNDLE
//       BUNDLE/manifest.ttl  the plug-in, its binary, its UI's binary, and the factory presets as
//                            port values (never the enabled port)
//       BUNDLE/pelorvane.ttl the plug-in: who makes it, its release, its ports, its UI
//
// The presets lie in the manifest itself: jalv applies a preset from its console only when the
// preset's values were read with the manifest, not from a file the manifest points to.
//
// Plain C++ without the framework, like the plug-in's binary.
#include "lv2/LV2Ports.h"
#include "processor/FactoryPresets.h"
#include "processor/ParameterSteps.h"
#include "processor/PluginConstants.h"
#include "processor/PluginParameters.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

namespace
{
constexpr auto binaryName = "Pelorvane.so";
constexpr auto uiBinaryName = "PelorvaneUI.so";

constexpr auto prefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                          "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                          "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                          "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                          "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                          "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                          "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                          "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n";

/** The text as a Turtle string literal. */
std::string quoted (std::string_view text)
{
    std::string literal = "\"";

    for (const auto c : text)
    {
        if (c == '"' || c == '\\')
            literal += '\\';

        literal += c;
    }

    return literal + "\"";
}

/** The shortest decimal that reads back as the same single-precision value, always with a
    point, so that Turtle reads it as a decimal number, not an integer. */
std::string number (float value)
{
    char text[32];
    const auto written = std::to_chars (text, text + sizeof (text), value);
    std::string decimal (text, written.ptr);
    return decimal.find_first_of (".e") == std::string::npos ? decimal + ".0" : decimal;
}

std::string uri (std::string_view address)
{
    return "<" + std::string (address) + ">";
}

std::string presetUri (const FactoryPreset& preset)
{
    return uri (std::string (PluginConstants::lv2Uri) + "/presets/" + FactoryPresets::slug (preset));
}

/** How many values the knob takes from 0 to its maximum. */
int rangeSteps (const KnobParameter& knob)
{
    return static_cast<int> (std::lround (knob.maximum / knob.step)) + 1;
}

void writeAudioPort (std::ostream& out, std::uint32_t index)
{
    const auto& port = LV2Ports::audio[index];
    out << "\t\ta lv2:AudioPort , " << (port.isInput ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "\t\tlv2:index " << index << " ;\n"
        << "\t\tlv2:symbol " << quoted (port.symbol) << " ;\n"
        << "\t\tlv2:name " << quoted (port.name) << " ;\n";

    if (index == LV2Ports::audioInRight)
        out << "\t\trdfs:comment \"Not heard: the effect takes its input from the left channel\" ;\n";
}

void writeKnobPort (std::ostream& out, int k)
{
    const auto& knob = PluginParameters::knobs[k];
    out << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << LV2Ports::firstKnob + static_cast<std::uint32_t> (k) << " ;\n"
        << "\t\tlv2:symbol " << quoted (knob.symbol) << " ;\n"
        << "\t\tlv2:name " << quoted (knob.id) << " ;\n"
        << "\t\trdfs:comment " << quoted (knob.description) << " ;\n"
        << "\t\tlv2:default " << number (knob.defaultValue) << " ;\n"
        << "\t\tlv2:minimum 0.0 ;\n"
        << "\t\tlv2:maximum " << number (knob.maximum) << " ;\n"
        << "\t\tpprops:rangeSteps " << rangeSteps (knob) << " ;\n";

    if (std::string_view (knob.unit) == "%")
        out << "\t\tunits:unit units:pc ;\n";
}

void writeEnabledPort (std::ostream& out)
{
    out << "\t\ta lv2:InputPort , lv2:ControlPort ;\n"
        << "\t\tlv2:index " << LV2Ports::enabled << " ;\n"
        << "\t\tlv2:symbol " << quoted (LV2Ports::enabledSymbol) << " ;\n"
        << "\t\tlv2:name " << quoted (LV2Ports::enabledName) << " ;\n"
        << "\t\trdfs:comment \"The footswitch: off passes the left input to both outputs and freezes the tail\" ;\n"
        << "\t\tlv2:designation lv2:enabled ;\n"
        << "\t\tlv2:portProperty lv2:toggled , lv2:integer ;\n"
        << "\t\tlv2:default 1 ;\n"
        << "\t\tlv2:minimum 0 ;\n"
        << "\t\tlv2:maximum 1 ;\n";
}

std::string plugin()
{
    std::ostringstream out;
    out << prefixes << "\n"
        << uri (PluginConstants::projectUri) << "\n"
        << "\ta doap:Project ;\n"
        << "\tdoap:name " << quoted (PluginConstants::pluginName) << " ;\n"
        << "\tdoap:homepage " << uri (PluginConstants::vendorWebAddress) << " ;\n"
        << "\tdoap:maintainer [\n"
        << "\t\tfoaf:name " << quoted (PluginConstants::vendorName) << " ;\n"
        << "\t\tfoaf:homepage " << uri (PluginConstants::vendorWebAddress) << " ;\n"
        << "\t\tfoaf:mbox <mailto:" << PluginConstants::vendorEmail << ">\n"
        << "\t] .\n\n"
        << uri (PluginConstants::licenseUri) << "\n"
        << "\trdfs:label " << quoted (PluginConstants::licenseText) << " .\n\n"
        << uri (PluginConstants::lv2Uri) << "\n"
        << "\ta lv2:Plugin , lv2:ReverbPlugin ;\n"
        << "\tdoap:name " << quoted (PluginConstants::pluginName) << " ;\n"
        << "\trdfs:comment \"Shimmer reverb: a reverb whose tail rises an octave\" ;\n"
        << "\tdoap:license " << uri (PluginConstants::licenseUri) << " ;\n"
        << "\tlv2:project " << uri (PluginConstants::projectUri) << " ;\n"
        << "\tlv2:minorVersion " << PluginConstants::lv2MinorVersion << " ;\n"
        << "\tlv2:microVersion " << PluginConstants::lv2MicroVersion << " ;\n"
        << "\tlv2:optionalFeature lv2:hardRTCapable ;\n"
        << "\tui:ui " << uri (PluginConstants::lv2UiUri) << " ;\n"
        << "\tlv2:port [\n";

    for (std::uint32_t index = 0; index < LV2Ports::count; ++index)
    {
        if (index < LV2Ports::firstKnob)
            writeAudioPort (out, index);
        else if (index < LV2Ports::enabled)
            writeKnobPort (out, static_cast<int> (index - LV2Ports::firstKnob));
        else
            writeEnabledPort (out);

        out << (index + 1 < LV2Ports::count ? "\t] , [\n" : "\t] .\n");
    }

    // The pedal, reaching the plug-in through its ports alone. It has no window of its own to
    // show (it goes in the host's), and the framework's messages, its drawing and input among
    // them, run only in the host's idle calls: both are needed. The host's window follows the
    // pedal's size where the host can be told it.
    out << "\n"
        << uri (PluginConstants::lv2UiUri) << "\n"
        << "\ta ui:X11UI ;\n"
        << "\tlv2:requiredFeature ui:parent , ui:idleInterface ;\n"
        << "\tlv2:optionalFeature ui:resize ;\n"
        << "\tlv2:extensionData ui:idleInterface .\n";

    return out.str();
}

std::string manifest()
{
    std::ostringstream out;
    out << prefixes << "\n"
        << uri (PluginConstants::lv2Uri) << "\n"
        << "\ta lv2:Plugin ;\n"
        << "\tlv2:binary <" << binaryName << "> ;\n"
        << "\trdfs:seeAlso <pelorvane.ttl> .\n\n"
        << uri (PluginConstants::lv2UiUri) << "\n"
        << "\ta ui:X11UI ;\n"
        << "\tui:binary <" << uiBinaryName << "> ;\n"
        << "\trdfs:seeAlso <pelorvane.ttl> .\n";

    for (const auto& preset : FactoryPresets::all)
    {
        out << "\n"
            << presetUri (preset) << "\n"
            << "\ta pset:Preset ;\n"
            << "\tlv2:appliesTo " << uri (PluginConstants::lv2Uri) << " ;\n"
            << "\trdfs:label " << quoted (preset.name) << " ;\n"
            << "\trdfs:comment " << quoted (preset.description) << " ;\n"
            << "\tlv2:port [\n";

        const auto values = FactoryPresets::knobValues (preset);

        for (size_t k = 0; k < values.size(); ++k)
            out << "\t\tlv2:symbol " << quoted (PluginParameters::knobs[k].symbol) << " ;\n"
                << "\t\tpset:value " << number (ParameterSteps::settle (values[k], PluginParameters::knobs[k])) << "\n"
                << (k + 1 < values.size() ? "\t] , [\n" : "\t] .\n");
    }

    return out.str();
}

bool write (const std::string& path, const std::string& text)
{
    std::ofstream file (path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();

    if (! file)
        std::cerr << "pelorvane-write-lv2-bundle: cannot write " << path << "\n";

    return static_cast<bool> (file);
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: pelorvane-write-lv2-bundle BUNDLE\n";
        return 2;
    }

    const std::string bundle = argv[1];
    const bool written = write (bundle + "/manifest.ttl", manifest()) && write (bundle + "/pelorvane.ttl", plugin());
    return written ? 0 : 1;
}
