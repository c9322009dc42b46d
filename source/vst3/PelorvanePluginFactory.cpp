#include "vst3/PelorvanePluginFactory.h"

#include "processor/PluginConstants.h"
#include "vst3/FrameworkVST3Client.h"
#include "vst3/PluginCompatibility.h"

#include <cstring>

using namespace Steinberg;

namespace
{
const TUID compatibilityClassId = INLINE_UID (0xABCDEF01, 0xC0DEF00D, PluginConstants::manufacturerCode, PluginConstants::pluginCode);

const PClassInfo2& compatibilityClassInfo()
{
    static const PClassInfo2 info (compatibilityClassId,
                                   PClassInfo::kManyInstances,
                                   kPluginCompatibilityClass,
                                   PluginConstants::pluginName,
                                   0,
                                   "",
                                   PluginConstants::vendorName,
                                   PluginConstants::versionString,
                                   kVstVersionString);
    return info;
}

const PClassInfoW& compatibilityClassInfoW()
{
    static const PClassInfoW info = []
    {
        PClassInfoW converted;
        converted.fromAscii (compatibilityClassInfo());
        return converted;
    }();
    return info;
}
} // namespace

PelorvanePluginFactory::PelorvanePluginFactory (IPluginFactory* frameworkFactory)
{
    if (frameworkFactory == nullptr)
        return;

    framework = FUnknownPtr<IPluginFactory3> (frameworkFactory);
    frameworkFactory->release();

    if (framework != nullptr)
        numFrameworkClasses = framework->countClasses();
}

PelorvanePluginFactory::~PelorvanePluginFactory() = default;

tresult PLUGIN_API PelorvanePluginFactory::queryInterface (const TUID targetIID, void** obj)
{
    QUERY_INTERFACE (targetIID, obj, FUnknown::iid, IPluginFactory)
    QUERY_INTERFACE (targetIID, obj, IPluginFactory::iid, IPluginFactory)
    QUERY_INTERFACE (targetIID, obj, IPluginFactory2::iid, IPluginFactory2)
    QUERY_INTERFACE (targetIID, obj, IPluginFactory3::iid, IPluginFactory3)

    *obj = nullptr;
    return kNoInterface;
}

uint32 PLUGIN_API PelorvanePluginFactory::addRef()
{
    return ++refCount;
}

uint32 PLUGIN_API PelorvanePluginFactory::release()
{
    const auto remaining = --refCount;

    if (remaining == 0)
        delete this;

    return remaining;
}

tresult PLUGIN_API PelorvanePluginFactory::getFactoryInfo (PFactoryInfo* info)
{
    if (info == nullptr)
        return kInvalidArgument;

    *info = PFactoryInfo (PluginConstants::vendorName,
                          PluginConstants::vendorWebAddress,
                          PluginConstants::vendorEmail,
                          Vst::kDefaultFactoryFlags);
    return kResultOk;
}

int32 PLUGIN_API PelorvanePluginFactory::countClasses()
{
    return numFrameworkClasses + 1;
}

tresult PLUGIN_API PelorvanePluginFactory::getClassInfo (int32 index, PClassInfo* info)
{
    if (info == nullptr)
        return kInvalidArgument;

    if (isFrameworkClass (index))
        return framework->getClassInfo (index, info);

    if (! isCompatibilityClass (index))
        return kInvalidArgument;

    const auto& full = compatibilityClassInfo();
    *info = PClassInfo (full.cid, full.cardinality, full.category, full.name);
    return kResultOk;
}

tresult PLUGIN_API PelorvanePluginFactory::getClassInfo2 (int32 index, PClassInfo2* info)
{
    if (info == nullptr)
        return kInvalidArgument;

    if (isFrameworkClass (index))
        return framework->getClassInfo2 (index, info);

    if (! isCompatibilityClass (index))
        return kInvalidArgument;

    *info = compatibilityClassInfo();
    return kResultOk;
}

tresult PLUGIN_API PelorvanePluginFactory::getClassInfoUnicode (int32 index, PClassInfoW* info)
{
    if (info == nullptr)
        return kInvalidArgument;

    if (isFrameworkClass (index))
        return framework->getClassInfoUnicode (index, info);

    if (! isCompatibilityClass (index))
        return kInvalidArgument;

    *info = compatibilityClassInfoW();
    return kResultOk;
}

tresult PLUGIN_API PelorvanePluginFactory::createInstance (FIDString cid, FIDString targetIID, void** obj)
{
    if (obj == nullptr)
        return kInvalidArgument;

    *obj = nullptr;

    if (cid == nullptr || targetIID == nullptr)
        return kInvalidArgument;

    if (FUnknownPrivate::iidEqual (cid, compatibilityClassId))
        return createCompatibilityObject (targetIID, obj);

    if (isAudioComponentClass (cid))
        return FrameworkVST3Client::createAudioComponent (host, targetIID, obj);

    if (isEditControllerClass (cid))
        return FrameworkVST3Client::createEditController (host, targetIID, obj);

    if (framework == nullptr)
        return kNoInterface;

    return framework->createInstance (cid, targetIID, obj);
}

tresult PLUGIN_API PelorvanePluginFactory::setHostContext (FUnknown* context)
{
    host = FUnknownPtr<Vst::IHostApplication> (context);

    if (framework == nullptr)
        return kNotImplemented;

    return framework->setHostContext (context);
}

bool PelorvanePluginFactory::isFrameworkClass (int32 index) const
{
    return index >= 0 && index < numFrameworkClasses;
}

bool PelorvanePluginFactory::isCompatibilityClass (int32 index) const
{
    return index == numFrameworkClasses;
}

bool PelorvanePluginFactory::isAudioComponentClass (FIDString cid)
{
    return isFrameworkClassOfCategory (cid, kVstAudioEffectClass);
}

bool PelorvanePluginFactory::isEditControllerClass (FIDString cid)
{
    return isFrameworkClassOfCategory (cid, kVstComponentControllerClass);
}

bool PelorvanePluginFactory::isFrameworkClassOfCategory (FIDString cid, const char* category)
{
    for (int32 index = 0; index < numFrameworkClasses; ++index)
    {
        PClassInfo info;

        if (framework->getClassInfo (index, &info) == kResultOk
            && std::strcmp (info.category, category) == 0)
            return FUnknownPrivate::iidEqual (info.cid, cid);
    }

    return false;
}

tresult PelorvanePluginFactory::createCompatibilityObject (FIDString targetIID, void** obj)
{
    auto* compatibility = new PluginCompatibility();
    const auto result = compatibility->queryInterface (targetIID, obj);
    compatibility->release();

    return result == kResultOk ? kResultOk : kNoInterface;
}

// The module's only factory entry point: a new factory for every call, owned by the host.
extern "C" SMTG_EXPORT_SYMBOL IPluginFactory* PLUGIN_API GetPluginFactory()
{
    return new PelorvanePluginFactory (FrameworkVST3Client::getPluginFactory());
}
