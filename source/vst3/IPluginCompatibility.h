#pragma once

#include "vst3/VST3SdkHeaders.h"

namespace Steinberg
{
/** Class category of the object that tells hosts which older plug-ins this one replaces. */
constexpr auto kPluginCompatibilityClass = "Plugin Compatibility Class";

/** Public VST3 interface that the SDK bundled with the framework predates, declared as
    newer SDKs declare it so that hosts asking for it find the same vtable and IID.
*/
class IPluginCompatibility : public FUnknown
{
public:
    /** Writes UTF-8 JSON5 text to the stream and returns kResultTrue. */
    virtual tresult PLUGIN_API getCompatibilityJSON (IBStream* stream) = 0;

    static const FUID iid;
};

DECLARE_CLASS_IID (IPluginCompatibility, 0x4AFD4B6A, 0x35D7C240, 0xA5C31414, 0xFB7D15E6)

} // namespace Steinberg
