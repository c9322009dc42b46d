// Drives a built Pelorvane VST3 module through the bare VST3 interfaces with a fixed input and
// fixed parameter moves, so that the Linux module and the Windows module (under Wine) or the
// 64-bit ARM module (under qemu) can be compared sample by sample, and their saved states
// exchanged.
//
//   PelorvaneRawHost render <module> <sample rate> <output.f32>
//   PelorvaneRawHost tones <module> <sample rate> <output.f32> <Tone in tenths>...
//   PelorvaneRawHost compare <a.f32> <b.f32> <largest allowed difference>
//   PelorvaneRawHost save-state <module> <output.state>
//   PelorvaneRawHost restore <module> <input.state>
//   PelorvaneRawHost hostile <module> <case>        (one case of careless host behaviour)
//   PelorvaneRawHost fault-in-module <module>       (ends by a fault inside the module)
//   PelorvaneRawHost editor-window <module> <control folder>   (Windows: the editor in a window)
//   PelorvaneRawHost presets <module> <folder>      (the factory presets' .vstpreset files)

#include "CheckReport.h"
#include "HostileHost.h"
#ifdef _WIN32
#include "EditorWindow.h"
#endif
#include "RawAudioHost.h"
#include "RawHostFixtures.h"
#include "processor/FactoryPresets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr int blockSize = 256;
constexpr double renderSeconds = 1.25;
constexpr double stateSampleRate = 48000.0;

constexpr auto bypassId = RawHostParameters::bypass;
constexpr auto spaceId = RawHostParameters::space;
constexpr auto lumensId = RawHostParameters::lumens;
constexpr auto toneId = RawHostParameters::tone;
constexpr auto mixId = RawHostParameters::mix;

using Changes = std::vector<RawAudioHost::ParameterChange>;

// Space 8.5, Lumens 7, Tone 3, Mix 80 %: a long bright tail with much shimmer.
const Changes longBrightTail { { spaceId, 0.85 }, { lumensId, 0.7 }, { toneId, 0.3 }, { mixId, 0.8 } };
// Space 2, Lumens 0, Tone 9.5, Mix 100 %: a short dark tail, wet only.
const Changes shortDarkTail { { spaceId, 0.2 }, { lumensId, 0.0 }, { toneId, 0.95 }, { mixId, 1.0 } };

Changes with (Changes changes, Steinberg::Vst::ParamID id, double value)
{
    changes.emplace_back (id, value);
    return changes;
}

/** When each parameter move happens, in seconds from the start. */
struct Move
{
    double time;
    Changes changes;
};

const std::vector<Move> moves {
    { 0.25, longBrightTail },
    { 0.6, { { bypassId, 1.0 } } },
    { 0.75, with (shortDarkTail, bypassId, 0.0) },
};

int blockIndexAt (double seconds, double sampleRate)
{
    return static_cast<int> (seconds * sampleRate) / blockSize;
}

/** Renders the fixed input, applying `initial` at the start and the moves at their blocks
    unless `withMoves` is off. Returns interleaved stereo.
*/
std::vector<float> render (RawAudioHost& host, double sampleRate, const Changes& initial, bool withMoves, double seconds = renderSeconds)
{
    const auto numBlocks = blockIndexAt (seconds, sampleRate);
    std::vector<float> result;
    RawTestSignal signal;
    std::vector<float> left (blockSize), right (blockSize);

    for (int block = 0; block < numBlocks; ++block)
    {
        Changes changes = block == 0 ? initial : Changes {};

        if (withMoves)
            for (const auto& move : moves)
                if (blockIndexAt (move.time, sampleRate) == block)
                    changes.insert (changes.end(), move.changes.begin(), move.changes.end());

        for (int i = 0; i < blockSize; ++i)
            signal.next (left[i], right[i]);

        if (! host.process (left.data(), right.data(), blockSize, changes))
            return {};

        for (int i = 0; i < blockSize; ++i)
        {
            result.push_back (left[i]);
            result.push_back (right[i]);
        }
    }

    return result;
}

//==============================================================================
bool writeFile (const std::string& path, const void* data, size_t size)
{
    std::ofstream file (path, std::ios::binary);
    file.write (static_cast<const char*> (data), static_cast<std::streamsize> (size));
    return file.good();
}

std::string readFile (const std::string& path)
{
    std::ifstream file (path, std::ios::binary);
    return { std::istreambuf_iterator<char> (file), std::istreambuf_iterator<char>() };
}

std::vector<float> readSamples (const std::string& path)
{
    const auto bytes = readFile (path);
    std::vector<float> samples (bytes.size() / sizeof (float));
    std::copy (bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t> (samples.size() * sizeof (float)), reinterpret_cast<char*> (samples.data()));
    return samples;
}

bool openedWell (const RawAudioHost& host)
{
    check (host.error().empty(), "the module is hosted: " + host.error());
    return host.error().empty();
}

//==============================================================================
int renderCommand (const std::string& modulePath, double sampleRate, const std::string& outputPath)
{
    section ("render");
    RawAudioHost host (modulePath, sampleRate, blockSize);

    if (! openedWell (host))
        return finishReport();

    const auto output = render (host, sampleRate, {}, true);
    check (! output.empty(), "every block is processed");

    double sumOfSquares = 0.0;
    bool finite = true;

    for (auto sample : output)
    {
        sumOfSquares += static_cast<double> (sample) * sample;
        finite = finite && std::isfinite (sample);
    }

    std::printf ("  %zu stereo samples at %.0f Hz, RMS %.6f\n", output.size() / 2, sampleRate, output.empty() ? 0.0 : std::sqrt (sumOfSquares / static_cast<double> (output.size())));
    check (finite, "every output sample is finite");
    check (sumOfSquares > 1.0, "the output carries the signal");
    check (writeFile (outputPath, output.data(), output.size() * sizeof (float)), "the output is written to " + outputPath);

    return finishReport();
}

/** Space 7, Lumens 8, Mix 40 % at each given Tone position in turn, each from a fresh
    activation: one damping coefficient a position, which the feedback carries along.
*/
int tonesCommand (const std::string& modulePath, double sampleRate, const std::string& outputPath, const std::vector<std::string>& tenths)
{
    section ("tones");
    std::vector<float> output;

    for (const auto& position : tenths)
    {
        RawAudioHost host (modulePath, sampleRate, blockSize);

        if (! openedWell (host))
            return finishReport();

        const Changes settings { { spaceId, 0.7 }, { lumensId, 0.8 }, { toneId, std::atof (position.c_str()) / 100.0 }, { mixId, 0.4 } };
        const auto rendered = render (host, sampleRate, settings, false, 0.5);
        check (! rendered.empty(), "every block is processed at Tone " + position);
        output.insert (output.end(), rendered.begin(), rendered.end());
    }

    std::printf ("  %zu Tone positions, %zu stereo samples at %.0f Hz\n", tenths.size(), output.size() / 2, sampleRate);
    check (writeFile (outputPath, output.data(), output.size() * sizeof (float)), "the output is written to " + outputPath);
    return finishReport();
}

int compareCommand (const std::string& pathA, const std::string& pathB, double allowed)
{
    section ("compare");
    const auto a = readSamples (pathA);
    const auto b = readSamples (pathB);

    check (! a.empty() && a.size() == b.size(), "both outputs hold the same, non-zero number of samples");

    if (a.empty() || a.size() != b.size())
        return finishReport();

    double largestDifference = 0.0;
    double peak = 0.0;
    size_t differing = 0;

    for (size_t i = 0; i < a.size(); ++i)
    {
        const auto difference = std::abs (static_cast<double> (a[i]) - b[i]);
        largestDifference = std::isnan (difference) ? INFINITY : std::max (largestDifference, difference);
        peak = std::max (peak, static_cast<double> (std::abs (a[i])));
        differing += a[i] != b[i] ? 1 : 0;
    }

    std::printf ("  %zu samples, %zu differ; largest difference %.3g (peak %.3f, %.3g of it)\n",
                 a.size(),
                 differing,
                 largestDifference,
                 peak,
                 peak > 0.0 ? largestDifference / peak : 0.0);
    check (largestDifference <= allowed, "largest difference within " + std::to_string (allowed));

    return finishReport();
}

int saveStateCommand (const std::string& modulePath, const std::string& outputPath)
{
    section ("save state");
    RawAudioHost host (modulePath, stateSampleRate, blockSize);

    if (! openedWell (host))
        return finishReport();

    std::vector<float> left (blockSize), right (blockSize);
    check (host.process (left.data(), right.data(), blockSize, with (longBrightTail, bypassId, 1.0)),
           "the settings reach the processor");

    const auto state = host.saveState();
    std::printf ("  %zu bytes of state\n", state.size());
    check (! state.empty(), "the component saves a state");
    check (writeFile (outputPath, state.data(), state.size()), "the state is written to " + outputPath);

    return finishReport();
}

void checkParameter (const RawAudioHost& host, Steinberg::Vst::ParamID id, double expected, const char* name)
{
    const auto actual = host.parameterValue (id);
    check (std::abs (actual - expected) < 1.0e-6,
           std::string (name) + " restored: got " + std::to_string (actual) + ", expected " + std::to_string (expected));
}

int restoreCommand (const std::string& modulePath, const std::string& statePath)
{
    section ("restore state");
    const auto state = readFile (statePath);
    check (! state.empty(), "the state file " + statePath + " holds a state");

    RawAudioHost restored (modulePath, stateSampleRate, blockSize);

    if (! openedWell (restored) || state.empty())
        return finishReport();

    check (restored.restoreState (state), "the component accepts the state");

    checkParameter (restored, spaceId, 0.85, "Space");
    checkParameter (restored, lumensId, 0.7, "Lumens");
    checkParameter (restored, toneId, 0.3, "Tone");
    checkParameter (restored, mixId, 0.8, "Mix");
    checkParameter (restored, bypassId, 1.0, "Bypass");

    // The restored settings must be the ones the processor uses: with bypass released, it sounds
    // exactly like an instance given the same settings directly.
    RawAudioHost direct (modulePath, stateSampleRate, blockSize);

    if (! openedWell (direct))
        return finishReport();

    const auto fromState = render (restored, stateSampleRate, { { bypassId, 0.0 } }, false);
    const auto fromSettings = render (direct, stateSampleRate, with (longBrightTail, bypassId, 0.0), false);
    check (! fromState.empty() && fromState == fromSettings, "the restored instance sounds like one given the settings directly");

    return finishReport();
}

//==============================================================================
/** A VST3 preset file read by hand: its header's class ID and its chunks by ID. */
struct PresetFileContents
{
    std::string classId;
    std::vector<std::pair<std::string, std::string>> chunks;

    std::string chunk (const char* id) const
    {
        for (const auto& [chunkId, bytes] : chunks)
            if (chunkId == id)
                return bytes;

        return {};
    }
};

template <typename Int>
Int readLittleEndian (const std::string& bytes, size_t offset)
{
    Int value = 0;

    for (size_t i = sizeof (Int); i-- > 0;)
        value = static_cast<Int> ((value << 8) | static_cast<unsigned char> (bytes[offset + i]));

    return value;
}

/** "VST3", version, 32 characters of class ID, the chunk list's offset; the list holds "List",
    a count and per chunk its ID, offset and size.
*/
bool readPresetFile (const std::string& bytes, PresetFileContents& contents)
{
    if (bytes.size() < 48 || bytes.compare (0, 4, "VST3") != 0)
        return false;

    contents.classId = bytes.substr (8, 32);
    const auto listOffset = readLittleEndian<std::uint64_t> (bytes, 40);

    if (listOffset + 8 > bytes.size() || bytes.compare (listOffset, 4, "List") != 0)
        return false;

    const auto count = readLittleEndian<std::uint32_t> (bytes, listOffset + 4);

    for (std::uint32_t i = 0; i < count; ++i)
    {
        const auto entry = listOffset + 8 + 20 * static_cast<std::uint64_t> (i);

        if (entry + 20 > bytes.size())
            return false;

        const auto offset = readLittleEndian<std::uint64_t> (bytes, entry + 4);
        const auto size = readLittleEndian<std::uint64_t> (bytes, entry + 12);

        if (offset + size > bytes.size())
            return false;

        contents.chunks.emplace_back (bytes.substr (entry, 4), bytes.substr (offset, size));
    }

    return true;
}

std::string audioComponentClassId (const std::string& modulePath)
{
    ModuleLoader module (modulePath);
    const auto entry = module.factoryEntry();

    if (entry == nullptr || ! module.enter())
        return {};

    std::string text;

    if (auto* factory = entry())
    {
        for (Steinberg::int32 i = 0; i < factory->countClasses() && text.empty(); ++i)
        {
            Steinberg::PClassInfo info;

            if (factory->getClassInfo (i, &info) == Steinberg::kResultOk && std::strcmp (info.category, kVstAudioEffectClass) == 0)
            {
                char buffer[64] = {};
                Steinberg::FUID::fromTUID (info.cid).toString (buffer);
                text = buffer;
            }
        }

        factory->release();
    }

    module.exit();
    return text;
}

bool holdsAttribute (const std::string& xml, const std::string& id, const std::string& value)
{
    return xml.find ("id=\"" + id + "\" value=\"" + value + "\"") != std::string::npos;
}

/** Every preset of the table as a .vstpreset file in the folder, naming the audio component's
    class; its component state chunk restores the table's values through IComponent::setState.
*/
int presetsCommand (const std::string& modulePath, const std::string& folder)
{
    section ("factory presets");
    const auto classId = audioComponentClassId (modulePath);
    check (classId.size() == 32, "the module's audio component has a class ID: " + classId);

    size_t files = 0;

    for (const auto& entry : std::filesystem::directory_iterator (std::filesystem::u8path (folder)))
        files += entry.path().extension() == ".vstpreset" ? 1 : 0;

    check (files == std::size (FactoryPresets::all), "the folder holds one .vstpreset file per preset, no more: " + std::to_string (files));

    for (const auto& preset : FactoryPresets::all)
    {
        const std::string name (preset.name);
        PresetFileContents contents;

        const bool readable = readPresetFile (readFile (folder + "/" + FactoryPresets::fileName (preset)), contents);
        check (readable, name + ": a VST3 preset file");

        if (! readable)
            continue;

        check (contents.classId == classId, name + ": the file names the audio component's class (" + contents.classId + ")");
        const auto info = contents.chunk ("Info");
        check (holdsAttribute (info, "Name", name) && holdsAttribute (info, "PlugInCategory", "Fx") && holdsAttribute (info, "PlugInName", "Pelorvane"),
               name + ": its meta information names the preset, the plug-in and its category");

        RawAudioHost host (modulePath, stateSampleRate, blockSize);

        if (! openedWell (host))
            return finishReport();

        // Moved away first, so that each value must come from the preset.
        std::vector<float> left (blockSize), right (blockSize);
        host.process (left.data(), right.data(), blockSize, { { bypassId, 1.0 }, { spaceId, 0.01 }, { lumensId, 0.01 }, { toneId, 0.01 }, { mixId, 0.01 } });

        const auto state = contents.chunk ("Comp");
        check (state.compare (0, 4, "VC2!") == 0 && state.find ("JUCEPrivateData") == std::string::npos,
               name + ": the component state chunk is the plug-in's own state block");
        check (host.restoreState (state), name + ": the component takes the chunk");
        checkParameter (host, spaceId, preset.space / 10.0f, (name + " Space").c_str());
        checkParameter (host, lumensId, preset.lumens / 10.0f, (name + " Lumens").c_str());
        checkParameter (host, toneId, preset.tone / 10.0f, (name + " Tone").c_str());
        checkParameter (host, mixId, preset.mix / 100.0f, (name + " Mix").c_str());
        checkParameter (host, bypassId, 0.0, (name + " Bypass").c_str());
    }

    return finishReport();
}

int usage (const char* program)
{
    std::fprintf (stderr,
                  "usage: %s render <module> <sample rate> <output.f32>\n"
                  "       %s tones <module> <sample rate> <output.f32> <Tone in tenths>...\n"
                  "       %s compare <a.f32> <b.f32> <largest allowed difference>\n"
                  "       %s save-state <module> <output.state>\n"
                  "       %s restore <module> <input.state>\n"
                  "       %s hostile <module> %s\n"
                  "       %s fault-in-module <module>\n"
                  "       %s presets <module> <folder>\n",
                  program,
                  program,
                  program,
                  program,
                  program,
                  program,
                  program,
                  hostileHostCaseNames(),
                  program);
    return 2;
}
} // namespace

int main (int argc, char** argv)
{
    const std::vector<std::string> args (argv + 1, argv + argc);

    if (args.size() == 4 && args[0] == "render")
        return renderCommand (args[1], std::atof (args[2].c_str()), args[3]);

    if (args.size() >= 5 && args[0] == "tones")
        return tonesCommand (args[1], std::atof (args[2].c_str()), args[3], { args.begin() + 4, args.end() });

    if (args.size() == 4 && args[0] == "compare")
        return compareCommand (args[1], args[2], std::atof (args[3].c_str()));

    if (args.size() == 3 && args[0] == "save-state")
        return saveStateCommand (args[1], args[2]);

    if (args.size() == 3 && args[0] == "restore")
        return restoreCommand (args[1], args[2]);

    if (args.size() == 3 && args[0] == "presets")
        return presetsCommand (args[1], args[2]);

    if (args.size() == 2 && args[0] == "fault-in-module")
        return faultInsideTheModule (args[1]);

#ifdef _WIN32
    if (args.size() == 3 && args[0] == "editor-window")
        return showEditorInWindow (args[1], args[2]);
#endif

    if (args.size() == 3 && args[0] == "hostile")
    {
        const auto result = runHostileHostCase (args[1], args[2]);

        if (result != 2)
            return result;
    }

    return usage (argv[0]);
}
