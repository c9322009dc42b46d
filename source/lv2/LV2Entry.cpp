// The LV2 plug-in's entry point: lv2_descriptor, the only symbol the binary exports (see
// lv2-exports.map), and the descriptor's functions around PelorvaneLV2.
#include "lv2/PelorvaneLV2.h"
#include "processor/PluginConstants.h"

#include <lv2/core/lv2.h>

#include <new>

namespace
{
PelorvaneLV2& pluginOf (LV2_Handle instance)
{
    return *static_cast<PelorvaneLV2*> (instance);
}

LV2_Handle instantiate (const LV2_Descriptor*, double sampleRate, const char*, const LV2_Feature* const*)
{
    // No feature is required; an instance that cannot be made tells the host so with null.
    return new (std::nothrow) PelorvaneLV2 (sampleRate);
}

void connectPort (LV2_Handle instance, uint32_t port, void* data)
{
    pluginOf (instance).connectPort (port, data);
}

void activate (LV2_Handle instance)
{
    pluginOf (instance).activate();
}

void run (LV2_Handle instance, uint32_t numSamples)
{
    pluginOf (instance).run (numSamples);
}

void deactivate (LV2_Handle)
{
}

void cleanup (LV2_Handle instance)
{
    delete &pluginOf (instance);
}

const void* extensionData (const char*)
{
    return nullptr;
}

const LV2_Descriptor descriptor {
    PluginConstants::lv2Uri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData
};
} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor (uint32_t index)
{
    return index == 0 ? &descriptor : nullptr;
}
