#pragma once

#include "dsp/mydsp.h"
#include "processor/PluginParameters.h"

#include <faust/gui/MapUI.h>

#include <array>
#include <cstddef>

/** What the effect does to one audio block, free of any framework, so that the
    plug-in's processor and the web page's engine run the same code: the left input over the
    right (non-finite input taken as silence), Bypass leaving the block so and the network
    untouched (its tail frozen), otherwise the four zones written by label and the network run
    in place, restarted from silence should it ever overflow. Flush-to-zero and
    denormals-are-zero are on for the call where the processor has them.

    It allocates nothing and takes no lock; the network and its zone map are its owner's.
*/
class BlockJob
{
public:
    /** The five controls as the host parameters hold them: plain values, Mix in percent. */
    struct Settings
    {
        bool bypass = false;
        float space = PluginParameters::knobs[PluginParameters::space].defaultValue;
        float lumens = PluginParameters::knobs[PluginParameters::lumens].defaultValue;
        float tone = PluginParameters::knobs[PluginParameters::tone].defaultValue;
        float mix = PluginParameters::knobs[PluginParameters::mix].defaultValue;
    };

    explicit BlockJob (mydsp& network);

    /** Finds the zones the job writes in a map that the network's buildUserInterface filled.
        Returns the number of labels the map does not hold (0 with mydsp), each of which is
        handed to `reportMissing` if given; a missing zone's value is written where nothing
        reads it, as setParamValue stores nothing for it.
    */
    int bindZones (MapUI& zones, void (*reportMissing) (const char* label) = nullptr);

    /** The same with any look-up: findZone (label) gives the zone, or null. */
    template <typename FindZone>
    int bindZonesWith (FindZone&& findZone, void (*reportMissing) (const char* label) = nullptr)
    {
        FAUSTFLOAT** targets[] = { &spaceZone, &lumensZone, &toneZone, &mixZone };
        int missing = 0;

        for (std::size_t k = 0; k < zoneLabels().size(); ++k)
        {
            auto* zone = findZone (zoneLabels()[k]);
            *targets[k] = zone != nullptr ? zone : &unmappedZone;

            if (zone != nullptr)
                continue;

            ++missing;

            if (reportMissing != nullptr)
                reportMissing (zoneLabels()[k]);
        }

        return missing;
    }

    /** The labels of the zones written, in the order they are written. */
    static const std::array<const char*, 4>& zoneLabels();

    /** One block of numSamples on numChannels channels (any number; the job reads channel 0
        and writes channels 0 and 1, a single channel being input and left output).
        `knownSilent` tells that every channel holds zeros already (a framework's cleared
        buffer), which spares the copy and the checks.
    */
    void process (float* const* channels, int numChannels, int numSamples, const Settings& settings, bool knownSilent = false);

    /** The host's own bypass: the left input on both sides, the network untouched. */
    void processBypassed (float* const* channels, int numChannels, int numSamples, bool knownSilent = false);

private:
    /** Silences a non-finite input and copies the left input over the right; false when the
        block has no channel at all. */
    bool takeLeftInput (float* const* channels, int numChannels, int numSamples, bool knownSilent);
    void writeZones (const Settings& settings);
    void runNetwork (float* left, float* right, int numSamples);
    void runNetworkOnMono (float* channel, int numSamples);
    void keepNetworkFinite (float* left, float* right, int numSamples);

    mydsp& network;

    // Where a label the map does not hold would be written: nowhere that is read.
    FAUSTFLOAT unmappedZone = 0;
    FAUSTFLOAT* spaceZone = &unmappedZone;
    FAUSTFLOAT* lumensZone = &unmappedZone;
    FAUSTFLOAT* toneZone = &unmappedZone;
    FAUSTFLOAT* mixZone = &unmappedZone;

    // The right half of the network's output when the host gives one channel only.
    std::array<float, 256> monoScratch {};
};
