#include "render/EffectLoader.h"

#include "processor/PluginProcessor.h"

EffectLoader::Result EffectLoader::createLinked()
{
    return withStereoBuses (std::make_unique<PelorvaneAudioProcessor>());
}

EffectLoader::Result EffectLoader::loadVst3 (const juce::File& bundle, double sampleRate, int blockSize)
{
    if (! bundle.exists())
        return { nullptr, "the VST3 bundle " + bundle.getFullPathName() + " does not exist" };

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, bundle.getFullPathName());

    if (types.isEmpty())
        return { nullptr, "no VST3 plug-in could be loaded from " + bundle.getFullPathName() };

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types.getFirst(), sampleRate, blockSize, error);

    if (instance == nullptr)
        return { nullptr, "the VST3 plug-in in " + bundle.getFullPathName() + " could not be instantiated" + (error.isEmpty() ? juce::String() : ": " + error) };

    return withStereoBuses (std::move (instance));
}

EffectLoader::Result EffectLoader::withStereoBuses (std::unique_ptr<juce::AudioProcessor> processor)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::stereo());
    layout.outputBuses.add (juce::AudioChannelSet::stereo());

    if (! processor->setBusesLayout (layout))
        return { nullptr, "the plug-in does not accept a stereo input and a stereo output" };

    return { std::move (processor), {} };
}
