// Writes the factory presets (source/processor/FactoryPresets.h) in the forms hosts read, when
// the project builds:
//
//   pelorvane-write-presets vst3 DIR
//       One <name>.vstpreset per preset, written with the VST3 SDK's own preset-file code: the
//       component state chunk holds exactly the processor's state block (what
//       getStateInformation writes; the VST3 component's setState takes such a block as it is),
//       the meta-information chunk the preset's name and the plug-in's name and category.
//       Files in DIR that are no preset of the table are removed.
// (The LV2 bundle's presets are port values, written by pelorvane-write-lv2-bundle.)
#include "processor/FactoryPresets.h"
#include "processor/PluginConstants.h"
#include "processor/PluginProcessor.h"

// The SDK's headers, without the warnings our flags raise inside them.
#if defined(__GNUC__)
    #pragma GCC diagnostic push
    #pragma GCC diagnostic ignored "-Wshadow"
    #pragma GCC diagnostic ignored "-Wzero-as-null-pointer-constant"
#endif
#include <public.sdk/source/common/memorystream.h>
#include <public.sdk/source/vst/vstpresetfile.h>
#if defined(__GNUC__)
    #pragma GCC diagnostic pop
#endif

#include <iostream>
#include <vector>

namespace
{
juce::MemoryBlock stateBlock (const FactoryPreset& preset)
{
    PelorvaneAudioProcessor processor;
    std::vector<std::pair<const char*, float>> values { { PluginParameters::bypassId, 0.0f } };
    const auto knobValues = FactoryPresets::knobValues (preset);

    for (size_t k = 0; k < knobValues.size(); ++k)
        values.emplace_back (PluginParameters::knobs[k].id, knobValues[k]);

    for (const auto& [id, value] : values)
    {
        auto* parameter = dynamic_cast<juce::RangedAudioParameter*> (processor.parameters.getParameter (id));
        jassert (parameter != nullptr);
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
    }

    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

juce::String metaInfo (const FactoryPreset& preset)
{
    juce::XmlElement info ("MetaInfo");
    const std::pair<const char*, const char*> attributes[] = {
        { "MediaType", "VstPreset" },
        { "PlugInName", PluginConstants::pluginName },
        { "PlugInCategory", PluginConstants::vst3SubCategory },
        { "Name", preset.name },
    };

    for (const auto& [id, value] : attributes)
    {
        auto* attribute = info.createNewChildElement ("Attr");
        attribute->setAttribute ("id", id);
        attribute->setAttribute ("value", value);
        attribute->setAttribute ("type", "string");
        attribute->setAttribute ("flags", "writeProtected");
    }

    return info.toString();
}

bool writeVst3Preset (const FactoryPreset& preset, const juce::File& file)
{
    using namespace Steinberg;

    auto block = stateBlock (preset);
    IPtr<IBStream> componentState (new MemoryStream (block.getData(), (TSize) block.getSize()), false);
    IPtr<IBStream> output (Vst::FileStream::open (file.getFullPathName().toRawUTF8(), "wb"), false);

    if (output == nullptr)
        return false;

    const auto& id = PluginConstants::vst3ComponentClassId;
    const auto xml = metaInfo (preset);

    return Vst::PresetFile::savePreset (output, FUID (id[0], id[1], id[2], id[3]), componentState, nullptr, xml.toRawUTF8(), (int32) xml.getNumBytesAsUTF8());
}

int writeVst3 (const juce::File& dir)
{
    if (! dir.createDirectory())
        return 1;

    juce::StringArray names;

    for (const auto& preset : FactoryPresets::all)
    {
        const auto file = dir.getChildFile (FactoryPresets::fileName (preset));
        names.add (file.getFileName());

        if (! writeVst3Preset (preset, file))
        {
            std::cerr << "pelorvane-write-presets: cannot write " << file.getFullPathName() << "\n";
            return 1;
        }
    }

    // A renamed or dropped preset must not live on in the installers.
    for (const auto& entry : juce::RangedDirectoryIterator (dir, false, "*.vstpreset"))
        if (! names.contains (entry.getFile().getFileName()))
            entry.getFile().deleteFile();

    return 0;
}

} // namespace

int main (int argc, char** argv)
{
    if (argc != 3 || std::string (argv[1]) != "vst3")
    {
        std::cerr << "usage: pelorvane-write-presets vst3 DIR\n";
        return 2;
    }

    const juce::ScopedJuceInitialiser_GUI framework;
    const auto target = juce::File::getCurrentWorkingDirectory().getChildFile (argv[2]);

    return writeVst3 (target);
}
