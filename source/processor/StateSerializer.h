#pragma once

#include <juce_audio_processors/juce_audio_processors.h>

/** Writes the parameter-state tree into the block a host keeps in its projects and
    presets, and installs such a block again.

    The block is the framework's XML-in-binary format holding the "Pelorvane" tree with
    a version record in front of the parameter records. Blocks that are not ours, or
    are damaged, are ignored and change nothing.
*/
class StateSerializer
{
public:
    explicit StateSerializer (juce::AudioProcessorValueTreeState& parametersToSave);

    /** Replaces the contents of destData with one state block. */
    void save (juce::MemoryBlock& destData);

    /** Installs the state held in data if it is acceptable; otherwise does nothing. */
    void restore (const void* data, int sizeInBytes);

    /** Makes the record of every parameter in the live tree hold its current value.
        The container writes a value into a record only once the parameter has moved.
        It writes into the live tree without the container's lock, so only the processor's
        constructor calls it, before any other thread knows of the processor.
    */
    void writeValuesIntoRecords();

private:
    /** The block's document if it is ours and fit to install, otherwise nullptr. */
    std::unique_ptr<juce::XmlElement> readDocument (const void* data, int sizeInBytes) const;
    void dropUnreadableValues (juce::ValueTree& newState) const;
    void addMissingRecords (juce::ValueTree& newState) const;
    void writeSettledValues (juce::ValueTree& newState) const;
    void settleInBetweenSwitches();
    juce::Array<juce::RangedAudioParameter*> getRangedParameters() const;

    juce::AudioProcessorValueTreeState& parameters;

    JUCE_DECLARE_NON_COPYABLE (StateSerializer)
};
