#pragma once

#include "processor/PluginParameters.h"

#include <array>
#include <cctype>
#include <iterator>
#include <string>
#include <string_view>

/** One of the settings the pedal ships with: a name, a line on what it is for, and the four
    knobs. Bypass is off in every preset.
*/
struct FactoryPreset
{
    const char* name;
    const char* description;
    float space;
    float lumens;
    float tone;
    float mix; // percent
};

/** The factory library. This table is the only place the presets' values are written down:
    the VST3 preset files, the LV2 bundle's presets and the renderer's --preset are all made
    from it when the project builds. Plain C++, so that the raw-host checks can read it too.

    Values sit on the knobs' steps (0.1; whole percent for Mix). Each was chosen by listening
    and by its measured decay time (README: Factory presets).
*/
namespace FactoryPresets
{
inline constexpr FactoryPreset all[] = {
    { "Sparkle", "A short, bright shine behind a clean guitar; the dry note stays in front", 3.0f, 3.0f, 7.0f, 25.0f },
    { "Small Room", "Nearly dry: a little air around the note and no shimmer", 1.0f, 0.0f, 5.0f, 18.0f },
    { "Warm Corner", "A short, dark room with a hint of octave for chords and slow picking", 2.5f, 1.5f, 2.5f, 30.0f },
    { "Home Position", "Every knob at noon: the pedal as it leaves the box", 5.0f, 5.0f, 5.0f, 50.0f },
    { "Silver Sheet", "A bright, even plate-like wash without the octave", 4.5f, 0.0f, 8.5f, 35.0f },
    { "Glass Halo", "Bright shimmer: the octave rises clear above the note", 6.5f, 8.0f, 8.5f, 45.0f },
    { "Ember Glow", "Dark shimmer: the octave glows under a soft, damped tail", 6.5f, 7.0f, 1.5f, 45.0f },
    { "Stone Nave", "A long, dark hall and no octave, for slow melodies", 8.5f, 0.0f, 3.0f, 45.0f },
    { "Slow Tide", "A long pad that swells behind sustained chords", 8.5f, 5.0f, 4.5f, 60.0f },
    { "Choir Loft", "A long, wet shimmer where the octave sings on its own", 8.0f, 10.0f, 6.0f, 75.0f },
    { "Under Glass", "Only the reverb, long and soft: ambient beds from single notes", 9.5f, 6.0f, 4.0f, 100.0f },
    { "Endless Hold", "Space at 10: the tail hangs on for minutes; play over it, bypass to freeze it", 10.0f, 6.0f, 5.0f, 70.0f },
};

inline constexpr auto count = static_cast<int> (std::size (all));

/** The preset of that name, compared without regard to letter case; null if there is none. */
inline const FactoryPreset* find (std::string_view name)
{
    const auto sameLetters = [] (std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;

        for (size_t i = 0; i < a.size(); ++i)
            if (std::tolower ((unsigned char) a[i]) != std::tolower ((unsigned char) b[i]))
                return false;

        return true;
    };

    for (const auto& preset : all)
        if (sameLetters (preset.name, name))
            return &preset;

    return nullptr;
}

/** The preset's knobs in the order of PluginParameters::knobs. */
inline std::array<float, PluginParameters::knobCount> knobValues (const FactoryPreset& preset)
{
    return { preset.space, preset.lumens, preset.tone, preset.mix };
}

/** The name as a VST3 preset file's name: hosts list the files under it. */
inline std::string fileName (const FactoryPreset& preset)
{
    return std::string (preset.name) + ".vstpreset";
}

/** The name in lower case with dashes for spaces, as it appears in the LV2 preset's URI. */
inline std::string slug (const FactoryPreset& preset)
{
    std::string text;

    for (const char* c = preset.name; *c != '\0'; ++c)
        text += *c == ' ' ? '-' : (char) std::tolower ((unsigned char) *c);

    return text;
}
} // namespace FactoryPresets
