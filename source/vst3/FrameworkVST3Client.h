#pragma once

#include "vst3/VST3SdkHeaders.h"

#include <string>

/** The framework's VST3 client, compiled with its module entry point kept internal so that
    our own factory can serve its classes.
*/
namespace FrameworkVST3Client
{
/** The framework's factory, with a reference owned by the caller. */
Steinberg::IPluginFactory* getPluginFactory();

/** Creates the framework's audio component, refining its bus-arrangement check so that a
    request for more buses than the component reports is refused, and guarding it against
    blocks longer than the host announced and against unusable processing setups.
*/
Steinberg::tresult createAudioComponent (Steinberg::Vst::IHostApplication* host, const Steinberg::TUID targetIID, void** obj);

/** Creates the framework's edit controller, whose editor views run the host's calls where the
    framework's window code expects them (MessageThreadView).
*/
Steinberg::tresult createEditController (Steinberg::Vst::IHostApplication* host, const Steinberg::TUID targetIID, void** obj);

/** Builds and destroys one processor as the client does for an instance, and gives the
    JSON list of older plug-ins it replaces.
*/
std::string describeCompatibleClasses();
} // namespace FrameworkVST3Client
