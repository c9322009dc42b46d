#pragma once

#include "vst3/IPluginCompatibility.h"

#include <atomic>

/** The module's compatibility object: tells hosts which older plug-ins this one replaces. */
class PluginCompatibility : public Steinberg::IPluginCompatibility
{
public:
    PluginCompatibility() = default;
    virtual ~PluginCompatibility() = default;

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    Steinberg::tresult PLUGIN_API getCompatibilityJSON (Steinberg::IBStream* stream) override;

private:
    std::atomic<Steinberg::uint32> refCount { 1 };

    PluginCompatibility (const PluginCompatibility&) = delete;
    PluginCompatibility& operator= (const PluginCompatibility&) = delete;
};
