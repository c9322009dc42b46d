// Loads a built Pelorvane VST3 module with the platform loader, as hosts do, and checks what it
// presents through the bare VST3 interfaces: factory and class records, class identifiers,
// buses, parameters and the compatibility text. Needs nothing but the SDK's interface headers,
// so the same source builds for the Windows module.
//
// Usage: PelorvaneRawFactoryCheck <path to the module's shared object>

#define INIT_CLASS_IID // this program defines every interface identifier it uses

#include <pluginterfaces/base/funknown.h>
#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/vstspeaker.h>
#include <pluginterfaces/vst/vsttypes.h>

#include "processor/PluginConstants.h"
#include "vst3/IPluginCompatibility.h"

#include "CheckReport.h"
#include "ModuleLoader.h"
#include "OutputCapture.h"
#include "QueryInterface.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace Steinberg;

namespace
{
template <typename CharType>
std::string narrow (const CharType* text)
{
    std::string result;

    for (; *text != 0; ++text)
        result += (*text > 0 && *text < 128) ? static_cast<char> (*text) : '?';

    return result;
}

std::string idText (const TUID id)
{
    char8 text[40] = {};
    FUID::fromTUID (id).toString (text);
    return text;
}

int countOccurrences (const std::string& text, const std::string& pattern)
{
    int count = 0;

    for (auto pos = text.find (pattern); pos != std::string::npos; pos = text.find (pattern, pos + 1))
        ++count;

    return count;
}

// The processor announces itself with one such line per instance constructed.
int processorsConstructed (const std::string& capturedOutput)
{
    return countOccurrences (capturedOutput, "JUCE v");
}

//==============================================================================
/** A class the module must list, with its identifier as 16 bytes and as text. */
struct ExpectedClass
{
    const char* category;
    const char* subCategories;
    const char* idText;
    std::array<std::uint8_t, 16> idBytes;
};

// Windows keeps the COM GUID byte order; elsewhere the SDK lays the four words out big-endian.
#if COM_COMPATIBLE
const ExpectedClass audioComponent { "Audio Module Class", "Fx", "ABCDEF019182FAEB4F6D6272446A756D", { 0x01, 0xEF, 0xCD, 0xAB, 0x82, 0x91, 0xEB, 0xFA, 0x4F, 0x6D, 0x62, 0x72, 0x44, 0x6A, 0x75, 0x6D } };
const ExpectedClass editController { "Component Controller Class", "Fx", "ABCDEF011234ABCD4F6D6272446A756D", { 0x01, 0xEF, 0xCD, 0xAB, 0x34, 0x12, 0xCD, 0xAB, 0x4F, 0x6D, 0x62, 0x72, 0x44, 0x6A, 0x75, 0x6D } };
const ExpectedClass compatibility { "Plugin Compatibility Class", "", "ABCDEF01C0DEF00D4F6D6272446A756D", { 0x01, 0xEF, 0xCD, 0xAB, 0xDE, 0xC0, 0x0D, 0xF0, 0x4F, 0x6D, 0x62, 0x72, 0x44, 0x6A, 0x75, 0x6D } };
#else
const ExpectedClass audioComponent { "Audio Module Class", "Fx", "ABCDEF019182FAEB4F6D6272446A756D", { 0xAB, 0xCD, 0xEF, 0x01, 0x91, 0x82, 0xFA, 0xEB, 0x4F, 0x6D, 0x62, 0x72, 0x44, 0x6A, 0x75, 0x6D } };
const ExpectedClass editController { "Component Controller Class", "Fx", "ABCDEF011234ABCD4F6D6272446A756D", { 0xAB, 0xCD, 0xEF, 0x01, 0x12, 0x34, 0xAB, 0xCD, 0x4F, 0x6D, 0x62, 0x72, 0x44, 0x6A, 0x75, 0x6D } };
const ExpectedClass compatibility { "Plugin Compatibility Class", "", "ABCDEF01C0DEF00D4F6D6272446A756D", { 0xAB, 0xCD, 0xEF, 0x01, 0xC0, 0xDE, 0xF0, 0x0D, 0x4F, 0x6D, 0x62, 0x72, 0x44, 0x6A, 0x75, 0x6D } };
#endif

const ExpectedClass* const expectedClasses[] = { &audioComponent, &editController, &compatibility };

bool hasBytes (const TUID id, const ExpectedClass& expected)
{
    return std::memcmp (id, expected.idBytes.data(), sizeof (TUID)) == 0;
}

const char* classId (const ExpectedClass& expected)
{
    return reinterpret_cast<const char*> (expected.idBytes.data());
}

/** A host parameter as the edit controller must publish it. */
struct ExpectedParameter
{
    const char* title;
    Vst::ParamID id;
    bool isBypass;
};

const ExpectedParameter expectedParameters[] = {
    { "Bypass", 2004703496u, true },
    { "Space", 80085222u, false },
    { "Lumens", 139731590u, false },
    { "Tone", 2612626u, false },
    { "Mix", 77372u, false },
};

constexpr Vst::ParamID wrapperBypassId = 0x62797073; // "byps", only for a wrapper-made bypass

//==============================================================================
/** The little a host application must offer its plug-ins. */
class CheckHost : public Vst::IHostApplication
{
public:
    tresult PLUGIN_API getName (Vst::String128 name) override
    {
        const char* text = "Pelorvane raw factory check";
        int i = 0;

        for (; text[i] != 0; ++i)
            name[i] = static_cast<Vst::TChar> (text[i]);

        name[i] = 0;
        return kResultTrue;
    }

    tresult PLUGIN_API createInstance (TUID, TUID, void** obj) override
    {
        *obj = nullptr;
        return kResultFalse;
    }

    tresult PLUGIN_API queryInterface (const TUID targetIID, void** obj) override
    {
        QUERY_INTERFACE (targetIID, obj, FUnknown::iid, Vst::IHostApplication)
        QUERY_INTERFACE (targetIID, obj, Vst::IHostApplication::iid, Vst::IHostApplication)
        *obj = nullptr;
        return kNoInterface;
    }

    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

/** Collects what the module writes into a host's stream. */
class TextStream : public IBStream
{
public:
    std::string text;

    tresult PLUGIN_API read (void*, int32, int32*) override { return kNotImplemented; }

    tresult PLUGIN_API write (void* buffer, int32 numBytes, int32* numBytesWritten) override
    {
        text.append (static_cast<const char*> (buffer), static_cast<size_t> (numBytes));

        if (numBytesWritten != nullptr)
            *numBytesWritten = numBytes;

        return kResultOk;
    }

    tresult PLUGIN_API seek (int64, int32, int64*) override { return kNotImplemented; }

    tresult PLUGIN_API tell (int64* pos) override
    {
        *pos = static_cast<int64> (text.size());
        return kResultOk;
    }

    tresult PLUGIN_API queryInterface (const TUID targetIID, void** obj) override
    {
        QUERY_INTERFACE (targetIID, obj, FUnknown::iid, IBStream)
        QUERY_INTERFACE (targetIID, obj, IBStream::iid, IBStream)
        *obj = nullptr;
        return kNoInterface;
    }

    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }
};

CheckHost checkHost;

//==============================================================================
template <typename Interface>
Interface* create (IPluginFactory& factory, const ExpectedClass& type)
{
    void* object = nullptr;

    if (factory.createInstance (classId (type), Interface::iid, &object) != kResultOk)
        return nullptr;

    return static_cast<Interface*> (object);
}

//==============================================================================
void checkExports (const ModuleLoader& module)
{
    section ("exports");

    check (module.symbol ("GetPluginFactory") != nullptr, "GetPluginFactory is exported");
#ifdef _WIN32
    check (module.symbol ("InitDll") != nullptr, "InitDll is exported");
    check (module.symbol ("ExitDll") != nullptr, "ExitDll is exported");
#else
    check (module.symbol ("ModuleEntry") != nullptr, "ModuleEntry is exported");
    check (module.symbol ("ModuleExit") != nullptr, "ModuleExit is exported");
#endif
    // The framework's own factory entry point sits behind ours and must not be reachable.
    check (module.symbol ("frameworkGetPluginFactory") == nullptr, "the framework's renamed factory entry point is not exported");
}

void checkFactoryObjects (GetFactoryProc getPluginFactory)
{
    section ("factory objects");

    auto* first = getPluginFactory();
    auto* second = getPluginFactory();

    check (first != nullptr && second != nullptr, "GetPluginFactory returns a factory");
    check (first != second, "each GetPluginFactory call makes a new factory");

    if (first == nullptr || second == nullptr)
        return;

    checkNumber (second->release(), 0, "a new factory is handed out with one reference");

    auto* third = queryOrNull<IPluginFactory3> (first);
    check (third != nullptr, "the factory offers IPluginFactory3");

    if (third != nullptr)
        checkNumber (third->release(), 1, "releasing the queried interface leaves the host's reference");

    checkNumber (first->release(), 0, "the host's release destroys the factory");
}

void checkFactoryInfo (IPluginFactory& factory)
{
    section ("factory record");

    PFactoryInfo info;
    check (factory.getFactoryInfo (&info) == kResultOk, "getFactoryInfo succeeds");
    checkText (info.vendor, "Ombrix Audio", "vendor");
    checkText (info.url, PluginConstants::vendorWebAddress, "URL");
    checkText (info.email, PluginConstants::vendorEmail, "e-mail");
    checkNumber (info.flags, PFactoryInfo::kUnicode, "flags");
}

void checkClassInfo (const PClassInfo& info, const ExpectedClass& expected, const std::string& where)
{
    check (hasBytes (info.cid, expected), where + ": identifier bytes of " + expected.idText);
    checkText (idText (info.cid), expected.idText, where + ": identifier");
    checkNumber (info.cardinality, PClassInfo::kManyInstances, where + ": cardinality");
    checkText (info.category, expected.category, where + ": category");
    checkText (info.name, "Pelorvane", where + ": name");
}

void checkClassInfo2 (const PClassInfo2& info, const ExpectedClass& expected, const std::string& where)
{
    check (hasBytes (info.cid, expected), where + ": identifier bytes of " + expected.idText);
    checkNumber (info.cardinality, PClassInfo::kManyInstances, where + ": cardinality");
    checkText (info.category, expected.category, where + ": category");
    checkText (info.name, "Pelorvane", where + ": name");
    checkNumber (info.classFlags, 0, where + ": class flags");
    checkText (info.subCategories, expected.subCategories, where + ": sub-categories");
    checkText (info.vendor, "Ombrix Audio", where + ": vendor");
    checkText (info.version, "2.0.0", where + ": version");
    checkText (info.sdkVersion, kVstVersionString, where + ": SDK version");
}

void checkClassInfoW (const PClassInfoW& info, const ExpectedClass& expected, const std::string& where)
{
    check (hasBytes (info.cid, expected), where + ": identifier bytes of " + expected.idText);
    checkNumber (info.cardinality, PClassInfo::kManyInstances, where + ": cardinality");
    checkText (info.category, expected.category, where + ": category");
    checkText (narrow (info.name), "Pelorvane", where + ": name");
    checkNumber (info.classFlags, 0, where + ": class flags");
    checkText (info.subCategories, expected.subCategories, where + ": sub-categories");
    checkText (narrow (info.vendor), "Ombrix Audio", where + ": vendor");
    checkText (narrow (info.version), "2.0.0", where + ": version");
    checkText (narrow (info.sdkVersion), kVstVersionString, where + ": SDK version");
}

void checkClassRecords (IPluginFactory& factory)
{
    section ("class records");

    checkNumber (factory.countClasses(), 3, "countClasses");

    auto* factory2 = queryOrNull<IPluginFactory2> (&factory);
    auto* factory3 = queryOrNull<IPluginFactory3> (&factory);
    check (factory2 != nullptr && factory3 != nullptr, "the factory offers IPluginFactory2 and IPluginFactory3");

    if (factory2 == nullptr || factory3 == nullptr)
        return;

    for (int32 index = 0; index < 3; ++index)
    {
        const auto& expected = *expectedClasses[index];
        const auto where = "class " + std::to_string (index);

        PClassInfo info;
        check (factory.getClassInfo (index, &info) == kResultOk, where + ": getClassInfo succeeds");
        checkClassInfo (info, expected, where + " (PClassInfo)");

        PClassInfo2 info2;
        check (factory2->getClassInfo2 (index, &info2) == kResultOk, where + ": getClassInfo2 succeeds");
        checkClassInfo2 (info2, expected, where + " (PClassInfo2)");

        PClassInfoW infoW;
        check (factory3->getClassInfoUnicode (index, &infoW) == kResultOk, where + ": getClassInfoUnicode succeeds");
        checkClassInfoW (infoW, expected, where + " (PClassInfoW)");
    }

    PClassInfo2 beyond;
    check (factory2->getClassInfo2 (3, &beyond) != kResultOk, "no class record after the third");
    check (factory2->getClassInfo2 (-1, &beyond) != kResultOk, "no class record before the first");

    check (factory3->setHostContext (&checkHost) == kResultTrue, "setHostContext accepts the host");

    factory3->release();
    factory2->release();
}

void checkCreateInstance (IPluginFactory& factory)
{
    section ("createInstance");

    const TUID unknownClass = INLINE_UID (0xABCDEF01, 0x00000000, 0x4F6D6272, 0x446A756D);
    void* object = &factory;
    OutputCapture capture;
    const auto result = factory.createInstance (reinterpret_cast<const char*> (unknownClass), FUnknown::iid, &object);
    const auto unknownOutput = capture.finish();

    checkNumber (result, kNoInterface, "an unknown class identifier is refused");
    check (object == nullptr, "an unknown class identifier yields no object");
    checkNumber (processorsConstructed (unknownOutput), 0, "an unknown class identifier constructs no processor");

    object = &factory;
    check (factory.createInstance (classId (compatibility), Vst::IComponent::iid, &object) == kNoInterface && object == nullptr,
           "the compatibility class offers no audio component interface");

    OutputCapture componentCapture;
    auto* component = create<Vst::IComponent> (factory, audioComponent);
    const auto componentOutput = componentCapture.finish();

    check (component != nullptr, "the audio component class creates a component");
    checkNumber (processorsConstructed (componentOutput), 1, "creating the audio component constructs one processor");

    if (component != nullptr)
        component->release();
}

void checkBusArrangements (Vst::IAudioProcessor& processor)
{
    using namespace Vst::SpeakerArr;

    auto request = [&processor] (std::vector<Vst::SpeakerArrangement> ins, std::vector<Vst::SpeakerArrangement> outs)
    {
        return processor.setBusArrangements (ins.data(), static_cast<int32> (ins.size()), outs.data(), static_cast<int32> (outs.size()));
    };

    checkNumber (request ({ kMono }, { kMono }), kResultFalse, "mono in, mono out is refused");
    checkNumber (request ({ kMono }, { kStereo }), kResultFalse, "mono in, stereo out is refused");
    checkNumber (request ({ kStereo }, { kStereo, kStereo }), kResultFalse, "two output buses are refused");
    checkNumber (request ({ kStereo, kStereo }, { kStereo }), kResultFalse, "two input buses are refused");

    Vst::SpeakerArrangement arrangement = 0;
    check (processor.getBusArrangement (Vst::kOutput, 0, arrangement) == kResultTrue && arrangement == kStereo,
           "a refused request leaves the output stereo");

    checkNumber (request ({ kStereo }, { kStereo }), kResultTrue, "stereo in, stereo out is accepted");
}

void checkAudioComponent (IPluginFactory& factory)
{
    section ("audio component");

    auto* component = create<Vst::IComponent> (factory, audioComponent);
    check (component != nullptr, "the audio component is created");

    if (component == nullptr)
        return;

    check (component->initialize (&checkHost) == kResultOk, "initialize succeeds");

    TUID controllerId = {};
    check (component->getControllerClassId (controllerId) == kResultTrue, "getControllerClassId succeeds");
    check (hasBytes (controllerId, editController), "the controller class is " + std::string (editController.idText));
    checkText (idText (controllerId), editController.idText, "the controller class as text");

    checkNumber (component->getBusCount (Vst::kAudio, Vst::kInput), 1, "audio input buses");
    checkNumber (component->getBusCount (Vst::kAudio, Vst::kOutput), 1, "audio output buses");
    checkNumber (component->getBusCount (Vst::kEvent, Vst::kInput), 0, "event input buses");
    checkNumber (component->getBusCount (Vst::kEvent, Vst::kOutput), 0, "event output buses");

    for (auto direction : { Vst::kInput, Vst::kOutput })
    {
        const std::string side = direction == Vst::kInput ? "input" : "output";
        Vst::BusInfo bus {};
        check (component->getBusInfo (Vst::kAudio, direction, 0, bus) == kResultTrue, side + " bus info");
        checkNumber (bus.channelCount, 2, side + " bus channels");
        checkNumber (bus.busType, Vst::kMain, side + " bus type");
    }

    auto* processor = queryOrNull<Vst::IAudioProcessor> (component);
    check (processor != nullptr, "the component offers IAudioProcessor");

    if (processor != nullptr)
    {
        checkBusArrangements (*processor);
        processor->release();
    }

    component->terminate();
    component->release();
}

void checkEditController (IPluginFactory& factory)
{
    section ("edit controller");

    auto* component = create<Vst::IComponent> (factory, audioComponent);
    auto* controller = create<Vst::IEditController> (factory, editController);
    check (component != nullptr && controller != nullptr, "the audio component and the edit controller are created");

    if (component == nullptr || controller == nullptr)
        return;

    check (component->initialize (&checkHost) == kResultOk, "the component's initialize succeeds");
    check (controller->initialize (&checkHost) == kResultOk, "the controller's initialize succeeds");

    // The controller learns the processor's parameters once the host connects the two.
    auto* componentConnection = queryOrNull<Vst::IConnectionPoint> (component);
    auto* controllerConnection = queryOrNull<Vst::IConnectionPoint> (controller);
    check (componentConnection != nullptr && controllerConnection != nullptr, "both offer IConnectionPoint");

    if (componentConnection == nullptr || controllerConnection == nullptr)
        return;

    componentConnection->connect (controllerConnection);
    controllerConnection->connect (componentConnection);

    const auto count = controller->getParameterCount();
    checkNumber (count, 5, "parameter count");

    int bypassSwitches = 0;

    for (int32 index = 0; index < count; ++index)
    {
        Vst::ParameterInfo info {};

        if (controller->getParameterInfo (index, info) != kResultOk)
        {
            check (false, "getParameterInfo " + std::to_string (index));
            continue;
        }

        const auto title = narrow (info.title);
        const auto isBypass = (info.flags & Vst::ParameterInfo::kIsBypass) != 0;
        bypassSwitches += isBypass ? 1 : 0;

        check (info.id != wrapperBypassId, title + " does not use the wrapper's bypass identifier");
        check ((info.flags & Vst::ParameterInfo::kCanAutomate) != 0, title + " can be automated");

        if (index >= 5)
            continue;

        const auto& expected = expectedParameters[index];
        checkText (title, expected.title, "parameter " + std::to_string (index) + " title");
        checkNumber (info.id, expected.id, title + " identifier");
        check (isBypass == expected.isBypass, title + (expected.isBypass ? " is" : " is not") + " the bypass switch");
    }

    checkNumber (bypassSwitches, 1, "parameters flagged as the bypass switch");

    controllerConnection->disconnect (componentConnection);
    componentConnection->disconnect (controllerConnection);
    controllerConnection->release();
    componentConnection->release();

    controller->terminate();
    component->terminate();
    controller->release();
    component->release();
}

void checkCompatibility (IPluginFactory& factory)
{
    section ("compatibility object");

    auto* compatibilityObject = create<IPluginCompatibility> (factory, compatibility);
    check (compatibilityObject != nullptr, "the compatibility object is created");

    if (compatibilityObject == nullptr)
        return;

    TextStream stream;
    OutputCapture capture;
    const auto result = compatibilityObject->getCompatibilityJSON (&stream);
    const auto output = capture.finish();

    checkNumber (result, kResultTrue, "getCompatibilityJSON succeeds");
    checkText (stream.text, "[]", "compatibility text");
    checkNumber (processorsConstructed (output), 1, "asking for the text constructs one processor");

    compatibilityObject->release();
}
} // namespace

//==============================================================================
int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf (stderr, "usage: %s <path to the module's shared object>\n", argv[0]);
        return 2;
    }

    ModuleLoader module (argv[1]);

    if (! module.isLoaded())
    {
        std::fprintf (stderr, "cannot load %s: %s\n", argv[1], module.error().c_str());
        return 1;
    }

    checkExports (module);

    const auto getPluginFactory = module.factoryEntry();

    if (getPluginFactory == nullptr || ! module.enter())
    {
        check (false, "the module exports a factory entry point and enters");
        return finishReport();
    }

    checkFactoryObjects (getPluginFactory);

    if (auto* factory = getPluginFactory())
    {
        checkFactoryInfo (*factory);
        checkClassRecords (*factory);
        checkCreateInstance (*factory);
        checkAudioComponent (*factory);
        checkEditController (*factory);
        checkCompatibility (*factory);
        factory->release();
    }
    else
    {
        check (false, "GetPluginFactory returns a factory");
    }

    check (module.exit(), "the module's exit function succeeds");

    return finishReport();
}
