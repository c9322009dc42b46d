#include "vst3/PluginCompatibility.h"

#include "vst3/FrameworkVST3Client.h"

namespace Steinberg
{
DEF_CLASS_IID (IPluginCompatibility)
}

Steinberg::tresult PLUGIN_API PluginCompatibility::queryInterface (const Steinberg::TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, Steinberg::FUnknown::iid, Steinberg::IPluginCompatibility)
    QUERY_INTERFACE (targetIID, obj, Steinberg::IPluginCompatibility::iid, Steinberg::IPluginCompatibility)

    *obj = nullptr;
    return Steinberg::kNoInterface;
}

Steinberg::uint32 PLUGIN_API PluginCompatibility::addRef()
{
    return ++refCount;
}

Steinberg::uint32 PLUGIN_API PluginCompatibility::release()
{
    const auto remaining = --refCount;

    if (remaining == 0)
        delete this;

    return remaining;
}

Steinberg::tresult PLUGIN_API PluginCompatibility::getCompatibilityJSON (Steinberg::IBStream* stream)
{
    if (stream == nullptr)
        return Steinberg::kInvalidArgument;

    auto json = FrameworkVST3Client::describeCompatibleClasses();
    const auto size = static_cast<Steinberg::int32> (json.size());
    Steinberg::int32 written = 0;

    if (stream->write (json.data(), size, &written) != Steinberg::kResultOk || written != size)
        return Steinberg::kResultFalse;

    return Steinberg::kResultTrue;
}
