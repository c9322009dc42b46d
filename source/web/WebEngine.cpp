#include "web/WebEngine.h"

#include "demo/DemoPhraseSamples.h"
#include "processor/BlockJob.h"
#include "processor/HostSettings.h"
#include "processor/ParameterSteps.h"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__EMSCRIPTEN__)
#include <emscripten/emscripten.h>
#define PELORVANE_EXPORT EMSCRIPTEN_KEEPALIVE
#else
#define PELORVANE_EXPORT
#endif

namespace
{
constexpr int maxBlock = 1024;

/** The zones the network declares, by label: what the processor's MapUI finds for the four
    labels, without the path building (and the regular expressions) that the page has no use for. */
class LabelZones : public UI
{
public:
    FAUSTFLOAT* find (const char* label) const
    {
        for (int k = 0; k < count; ++k)
            if (std::strcmp (labels[k], label) == 0)
                return zones[k];

        return nullptr;
    }

    void openTabBox (const char*) override {}
    void openHorizontalBox (const char*) override {}
    void openVerticalBox (const char*) override {}
    void closeBox() override {}
    void addButton (const char* label, FAUSTFLOAT* zone) override { add (label, zone); }
    void addCheckButton (const char* label, FAUSTFLOAT* zone) override { add (label, zone); }
    void addVerticalSlider (const char* label, FAUSTFLOAT* zone, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT) override { add (label, zone); }
    void addHorizontalSlider (const char* label, FAUSTFLOAT* zone, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT) override { add (label, zone); }
    void addNumEntry (const char* label, FAUSTFLOAT* zone, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT, FAUSTFLOAT) override { add (label, zone); }
    void addHorizontalBargraph (const char* label, FAUSTFLOAT* zone, FAUSTFLOAT, FAUSTFLOAT) override { add (label, zone); }
    void addVerticalBargraph (const char* label, FAUSTFLOAT* zone, FAUSTFLOAT, FAUSTFLOAT) override { add (label, zone); }
    void addSoundfile (const char*, const char*, Soundfile**) override {}

private:
    void add (const char* label, FAUSTFLOAT* zone)
    {
        if (count < maxZones)
        {
            labels[count] = label;
            zones[count] = zone;
            ++count;
        }
    }

    static constexpr int maxZones = 8;
    const char* labels[maxZones] {};
    FAUSTFLOAT* zones[maxZones] {};
    int count = 0;
};
} // namespace

/** The processor's audio members and two channels, in one allocation. */
struct PelorvaneWebEngine
{
    LabelZones zoneMap;
    mydsp network;
    BlockJob job { network };
    BlockJob::Settings settings;
    int sampleRate = 0;
    alignas (16) float left[maxBlock] {};
    alignas (16) float right[maxBlock] {};
};

extern "C" {

PELORVANE_EXPORT PelorvaneWebEngine* pelorvane_create (double sampleRate)
{
    auto* engine = new (std::nothrow) PelorvaneWebEngine;

    if (engine == nullptr)
        return nullptr;

    engine->network.buildUserInterface (&engine->zoneMap);
    engine->job.bindZonesWith ([engine] (const char* label) { return engine->zoneMap.find (label); });
    engine->sampleRate = static_cast<int> (HostSettings::usableSampleRate (sampleRate));
    engine->network.init (engine->sampleRate);
    return engine;
}

PELORVANE_EXPORT void pelorvane_destroy (PelorvaneWebEngine* engine)
{
    delete engine;
}

PELORVANE_EXPORT void pelorvane_set (PelorvaneWebEngine* engine, float space, float lumens, float tone, float mix, int bypass)
{
    engine->settings = { bypass != 0, space, lumens, tone, mix };
}

PELORVANE_EXPORT float* pelorvane_left (PelorvaneWebEngine* engine)
{
    return engine->left;
}

PELORVANE_EXPORT float* pelorvane_right (PelorvaneWebEngine* engine)
{
    return engine->right;
}

PELORVANE_EXPORT int pelorvane_max_block (void)
{
    return maxBlock;
}

PELORVANE_EXPORT void pelorvane_process (PelorvaneWebEngine* engine, int count)
{
    // A stereo block as a host hands it to the plug-in; the job copies the left input over the
    // right before anything reads the right.
    float* channels[] = { engine->left, engine->right };
    engine->job.process (channels, 2, std::clamp (count, 0, maxBlock), engine->settings);
}

PELORVANE_EXPORT void pelorvane_reset (PelorvaneWebEngine* engine)
{
    engine->network.init (engine->sampleRate);
}

PELORVANE_EXPORT float pelorvane_settle (float value, float maximum, float step)
{
    return ParameterSteps::settle (value, maximum, step);
}

PELORVANE_EXPORT int pelorvane_demo_length (void)
{
    return DemoPhraseSamples::length;
}

PELORVANE_EXPORT double pelorvane_demo_sample_rate (void)
{
    return DemoPhraseSamples::sampleRate;
}

PELORVANE_EXPORT void pelorvane_demo (float* destination)
{
    DemoPhraseSamples::synthesize (destination);
}
}
