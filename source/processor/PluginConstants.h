#pragma once

#include <cstdint>

/** Who the plug-in is, as hosts, the saved state and the editor's links see it.
    juce_add_plugin in CMakeLists.txt repeats the name, vendor, version, codes and
    sub-category; the VST3 client fails to compile if the two ever disagree.
*/
namespace PluginConstants
{
constexpr auto pluginName = "Pelorvane";
constexpr auto vendorName = "Ombrix Audio";
constexpr auto versionString = "2.0.0";

// Four-character codes as big-endian words: the last two words of every VST3 class identifier.
constexpr std::uint32_t manufacturerCode = 0x4F6D6272; // "Ombr"
constexpr std::uint32_t pluginCode = 0x446A756D;       // "Djum"

constexpr auto vst3SubCategory = "Fx";

// The audio component's VST3 class identifier as the framework forms it (its four words): VST3
// preset files name the class their state belongs to.
constexpr std::uint32_t vst3ComponentClassId[4] = { 0xABCDEF01, 0x9182FAEB, manufacturerCode, pluginCode };

// On a reserved example domain until the maker supplies its real addresses.
constexpr auto webSiteHost = "www.example.com";
constexpr auto vendorWebAddress = "https://www.example.com";
constexpr auto vendorEmail = "support@example.com";

// The LV2 plug-in's URI, under the maker's web address. LV2 hosts store it in their sessions and
// presets, so it never changes, not even when the web address above does. (The plug-in's first LV2 bundle, with other ports, went by
// https://www.example.com/plugins/pelorvane: LV2 keeps a URI's ports for good, so that one is
// retired rather than reused.)
constexpr auto lv2Uri = "https://www.example.com/plugins/pelorvane/lv2";

// The pedal as an LV2 UI of the plug-in above, in a binary of its own; hosts store it with their
// sessions too, so it never changes either.
constexpr auto lv2UiUri = "https://www.example.com/plugins/pelorvane/lv2#ui";

// The LV2 release as hosts count it: lv2:minorVersion and lv2:microVersion, where an odd number
// or a minor version of 0 marks a development build. A release raises one of them by two.
constexpr int lv2MinorVersion = 2;
constexpr int lv2MicroVersion = 0;

// The project the plug-in belongs to, and the terms it comes under (packaging/linux/copyright.in:
// all rights reserved by the maker), as the LV2 data names them.
constexpr auto projectUri = "https://www.example.com/pelorvane";
constexpr auto licenseUri = "https://www.example.com/pelorvane/license";
constexpr auto licenseText = "Copyright 2026 Ombrix Audio. All rights reserved.";

// The one channel configuration hosts may ask for: stereo in, stereo out.
constexpr short preferredInputChannels = 2;
constexpr short preferredOutputChannels = 2;
} // namespace PluginConstants
