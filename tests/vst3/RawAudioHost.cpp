// This file defines every interface identifier the raw host uses.
#define INIT_CLASS_IID

#include "RawAudioHost.h"

#include "RawHostInterfaces.h"
#include "QueryInterface.h"

#include <pluginterfaces/vst/vstspeaker.h>

#include <cstring>

using namespace Steinberg;

namespace
{
RawHostApplication hostApplication;

template <typename Interface>
Interface* createFromFactory (IPluginFactory& factory, const TUID classId)
{
    void* object = nullptr;

    if (factory.createInstance (reinterpret_cast<const char*> (classId), Interface::iid, &object) != kResultOk)
        return nullptr;

    return static_cast<Interface*> (object);
}

bool findAudioComponentClass (IPluginFactory& factory, TUID classId)
{
    for (int32 index = 0; index < factory.countClasses(); ++index)
    {
        PClassInfo info;

        if (factory.getClassInfo (index, &info) == kResultOk && std::strcmp (info.category, kVstAudioEffectClass) == 0)
        {
            std::memcpy (classId, info.cid, sizeof (TUID));
            return true;
        }
    }

    return false;
}

template <typename Interface>
void releaseAndClear (Interface*& object)
{
    if (object != nullptr)
        object->release();

    object = nullptr;
}
} // namespace

RawAudioHost::RawAudioHost (const std::string& modulePath, double rate, int samplesPerBlock, bool activate)
    : module (modulePath), sampleRate (rate), blockSize (samplesPerBlock), activateBuses (activate)
{
    if (! module.isLoaded())
    {
        failure = "cannot load the module: " + module.error();
        return;
    }

    if (createInstance())
        startProcessing();
}

RawAudioHost::~RawAudioHost()
{
    stopProcessing();

    if (componentConnection != nullptr && controllerConnection != nullptr)
    {
        controllerConnection->disconnect (componentConnection);
        componentConnection->disconnect (controllerConnection);
    }

    releaseAndClear (controllerConnection);
    releaseAndClear (componentConnection);
    releaseAndClear (processor);

    if (controller != nullptr)
        controller->terminate();

    if (component != nullptr)
        component->terminate();

    releaseAndClear (controller);
    releaseAndClear (component);

    if (factory != nullptr)
    {
        releaseAndClear (factory);
        module.exit();
    }
}

bool RawAudioHost::createInstance()
{
    const auto getPluginFactory = module.factoryEntry();

    if (getPluginFactory == nullptr || ! module.enter())
    {
        failure = "the module has no usable entry points";
        return false;
    }

    factory = getPluginFactory();
    TUID componentClass = {};

    if (factory == nullptr || ! findAudioComponentClass (*factory, componentClass))
    {
        failure = "the factory lists no audio component";
        return false;
    }

    component = createFromFactory<Vst::IComponent> (*factory, componentClass);

    if (component == nullptr || component->initialize (&hostApplication) != kResultOk)
    {
        failure = "the audio component cannot be created";
        return false;
    }

    TUID controllerClass = {};
    component->getControllerClassId (controllerClass);
    controller = createFromFactory<Vst::IEditController> (*factory, controllerClass);

    if (controller == nullptr || controller->initialize (&hostApplication) != kResultOk)
    {
        failure = "the edit controller cannot be created";
        return false;
    }

    componentConnection = queryOrNull<Vst::IConnectionPoint> (component);
    controllerConnection = queryOrNull<Vst::IConnectionPoint> (controller);

    if (componentConnection == nullptr || controllerConnection == nullptr)
    {
        failure = "component and controller cannot be connected";
        return false;
    }

    componentConnection->connect (controllerConnection);
    controllerConnection->connect (componentConnection);

    processor = queryOrNull<Vst::IAudioProcessor> (component);

    if (processor == nullptr)
    {
        failure = "the component offers no IAudioProcessor";
        return false;
    }

    return true;
}

bool RawAudioHost::startProcessing()
{
    if (processor == nullptr || component == nullptr)
        return false;

    if (processing)
        return true;

    Vst::SpeakerArrangement stereoIn = Vst::SpeakerArr::kStereo;
    Vst::SpeakerArrangement stereoOut = Vst::SpeakerArr::kStereo;
    processor->setBusArrangements (&stereoIn, 1, &stereoOut, 1);

    // A bus the host leaves inactive gets no audio from the framework: its outputs stay as
    // they were handed in.
    component->activateBus (Vst::kAudio, Vst::kInput, 0, activateBuses);
    component->activateBus (Vst::kAudio, Vst::kOutput, 0, activateBuses);

    Vst::ProcessSetup setup { Vst::kRealtime, Vst::kSample32, blockSize, sampleRate };

    if (processor->setupProcessing (setup) != kResultOk || component->setActive (true) != kResultOk)
    {
        failure = "the component refuses the processing setup";
        return false;
    }

    processor->setProcessing (true);
    processing = true;
    return true;
}

void RawAudioHost::stopProcessing()
{
    if (! processing)
        return;

    processor->setProcessing (false);
    component->setActive (false);
    processing = false;
}

bool RawAudioHost::process (float* left, float* right, int numSamples, const std::vector<ParameterChange>& changes)
{
    if (! processing)
        return false;

    std::vector<float> inputLeft (left, left + numSamples);
    std::vector<float> inputRight (right, right + numSamples);
    float* inputChannels[] = { inputLeft.data(), inputRight.data() };
    float* outputChannels[] = { left, right };

    Vst::AudioBusBuffers input;
    input.numChannels = 2;
    input.channelBuffers32 = inputChannels;

    Vst::AudioBusBuffers output;
    output.numChannels = 2;
    output.channelBuffers32 = outputChannels;

    RawParameterChanges parameterChanges;

    for (const auto& change : changes)
        parameterChanges.add (change.first, change.second);

    Vst::ProcessData data;
    data.processMode = Vst::kRealtime;
    data.symbolicSampleSize = Vst::kSample32;
    data.numSamples = numSamples;
    data.numInputs = 1;
    data.numOutputs = 1;
    data.inputs = &input;
    data.outputs = &output;
    data.inputParameterChanges = &parameterChanges;

    return processData (data);
}

bool RawAudioHost::processData (Vst::ProcessData& data)
{
    return processing && processor->process (data) == kResultOk;
}

uint32 RawAudioHost::tailSamples() const
{
    return processor != nullptr ? processor->getTailSamples() : 0;
}

std::string RawAudioHost::saveState()
{
    RawMemoryStream stream;

    if (component == nullptr || component->getState (&stream) != kResultOk)
        return {};

    return stream.data();
}

bool RawAudioHost::restoreState (const std::string& state)
{
    if (component == nullptr || controller == nullptr)
        return false;

    RawMemoryStream forComponent (state);
    RawMemoryStream forController (state);

    if (component->setState (&forComponent) != kResultTrue)
        return false;

    // The controller takes the restored values from the component; the SDK's base class it
    // ends in answers kNotImplemented, so its result says nothing.
    controller->setComponentState (&forController);
    return true;
}

double RawAudioHost::parameterValue (Vst::ParamID id) const
{
    return controller != nullptr ? controller->getParamNormalized (id) : -1.0;
}

IPlugView* RawAudioHost::createEditorView()
{
    return controller != nullptr ? controller->createView (Vst::ViewType::kEditor) : nullptr;
}

bool RawAudioHost::restoreControllerState (const std::string& state)
{
    if (controller == nullptr)
        return false;

    RawMemoryStream stream (state);
    controller->setComponentState (&stream);
    return true;
}

bool RawAudioHost::setParameterValue (Vst::ParamID id, double value)
{
    return controller != nullptr && controller->setParamNormalized (id, value) == kResultOk;
}

void RawAudioHost::setComponentHandler (Vst::IComponentHandler* handler)
{
    if (controller != nullptr)
        controller->setComponentHandler (handler);
}
