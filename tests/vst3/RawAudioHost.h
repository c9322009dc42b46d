#pragma once

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>

#include "ModuleLoader.h"

#include <string>
#include <utility>
#include <vector>

/** One instance of a VST3 module driven through the bare VST3 interfaces, as a host's audio
    engine drives it: component and controller connected, stereo buses active, processing at a
    fixed block size. Works the same on Linux and, under Wine, on Windows, so that both
    modules can be fed the same input.
*/
class RawAudioHost
{
public:
    using ParameterChange = std::pair<Steinberg::Vst::ParamID, double>;

    /** Announces sampleRate and blockSize in the processing setup; activateBuses false leaves
        both audio buses as the component starts them, switched off. */
    RawAudioHost (const std::string& modulePath, double sampleRate, int blockSize, bool activateBuses = true);
    ~RawAudioHost();

    /** Empty once the instance is processing; otherwise what went wrong. */
    const std::string& error() const { return failure; }

    /** Runs one block of two channels in place, with the parameter changes (normalised values)
        delivered at its start. The block may be longer than the size announced.
    */
    bool process (float* left, float* right, int numSamples, const std::vector<ParameterChange>& changes = {});

    /** Hands the component a process call exactly as given, however it breaks the rules. */
    bool processData (Steinberg::Vst::ProcessData& data);

    /** The tail length the component reports, in samples. */
    Steinberg::uint32 tailSamples() const;

    /** The component's state, as a host saves it in a project. */
    std::string saveState();

    /** Restores a saved state into the component and then the controller, as hosts do. */
    bool restoreState (const std::string& state);

    /** A parameter's normalised value as the controller shows it. */
    double parameterValue (Steinberg::Vst::ParamID id) const;

    /** The controller's editor view, or null; the caller releases it before the host goes. */
    Steinberg::IPlugView* createEditorView();

    /** Hands the controller the component's state alone (IEditController::setComponentState),
        as hosts do after restoring the component. */
    bool restoreControllerState (const std::string& state);

    /** Sets a parameter's normalised value on the controller, as a host's own editor or its
        automation display does on its main thread. */
    bool setParameterValue (Steinberg::Vst::ParamID id, double value);

    /** Where the controller reports its edits and restarts; null takes it away again. The
        handler must outlive the host or be taken away first. */
    void setComponentHandler (Steinberg::Vst::IComponentHandler* handler);

    /** setProcessing (false) and setActive (false), as hosts do before they change the setup;
        no process call may come until startProcessing has returned. */
    void stopProcessing();

    /** Buses, setup, setActive (true) and setProcessing (true) again; false if refused. */
    bool startProcessing();

private:
    bool createInstance();

    ModuleLoader module;
    double sampleRate;
    int blockSize;
    bool activateBuses;
    std::string failure;

    Steinberg::IPluginFactory* factory = nullptr;
    Steinberg::Vst::IComponent* component = nullptr;
    Steinberg::Vst::IAudioProcessor* processor = nullptr;
    Steinberg::Vst::IEditController* controller = nullptr;
    Steinberg::Vst::IConnectionPoint* componentConnection = nullptr;
    Steinberg::Vst::IConnectionPoint* controllerConnection = nullptr;
    bool processing = false;

    RawAudioHost (const RawAudioHost&) = delete;
    RawAudioHost& operator= (const RawAudioHost&) = delete;
};
