#pragma once

#include "vst3/VST3SdkHeaders.h"

#include <atomic>

/** The module's factory, one per GetPluginFactory call. It serves the framework's classes
    under the framework's own class records (the audio component and the edit controller with
    refinements of ours, FrameworkVST3Client), and adds the compatibility class after them.
*/
class PelorvanePluginFactory : public Steinberg::IPluginFactory3
{
public:
    /** Takes over the caller's reference to the framework's factory. */
    explicit PelorvanePluginFactory (Steinberg::IPluginFactory* frameworkFactory);
    virtual ~PelorvanePluginFactory();

    Steinberg::tresult PLUGIN_API queryInterface (const Steinberg::TUID targetIID, void** obj) override;
    Steinberg::uint32 PLUGIN_API addRef() override;
    Steinberg::uint32 PLUGIN_API release() override;

    Steinberg::tresult PLUGIN_API getFactoryInfo (Steinberg::PFactoryInfo* info) override;
    Steinberg::int32 PLUGIN_API countClasses() override;
    Steinberg::tresult PLUGIN_API getClassInfo (Steinberg::int32 index, Steinberg::PClassInfo* info) override;
    Steinberg::tresult PLUGIN_API createInstance (Steinberg::FIDString cid, Steinberg::FIDString targetIID, void** obj) override;

    Steinberg::tresult PLUGIN_API getClassInfo2 (Steinberg::int32 index, Steinberg::PClassInfo2* info) override;

    Steinberg::tresult PLUGIN_API getClassInfoUnicode (Steinberg::int32 index, Steinberg::PClassInfoW* info) override;
    Steinberg::tresult PLUGIN_API setHostContext (Steinberg::FUnknown* context) override;

private:
    bool isFrameworkClass (Steinberg::int32 index) const;
    bool isCompatibilityClass (Steinberg::int32 index) const;
    bool isAudioComponentClass (Steinberg::FIDString cid);
    bool isEditControllerClass (Steinberg::FIDString cid);
    bool isFrameworkClassOfCategory (Steinberg::FIDString cid, const char* category);
    Steinberg::tresult createCompatibilityObject (Steinberg::FIDString targetIID, void** obj);

    Steinberg::IPtr<Steinberg::IPluginFactory3> framework;
    Steinberg::int32 numFrameworkClasses = 0;
    Steinberg::IPtr<Steinberg::Vst::IHostApplication> host;
    std::atomic<Steinberg::uint32> refCount { 1 };

    PelorvanePluginFactory (const PelorvanePluginFactory&) = delete;
    PelorvanePluginFactory& operator= (const PelorvanePluginFactory&) = delete;
};
