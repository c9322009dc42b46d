#pragma once

#include <juce_audio_processors/juce_audio_processors.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include "editor/KeyboardAccess.h"
#include "editor/KnobAttachment.h"
#include "editor/MessageThreadWatch.h"
#include "editor/EditorBackground.h"
#include "editor/EditorPictures.h"
#include "editor/EditorUnderlay.h"
#include "editor/OmbrixSlider.h"
#include "editor/OmbrixSliderLookAndFeel.h"
#include "editor/PictureButton.h"
#include "editor/RepaintFallback.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class PelorvaneAudioProcessor;

/** The effect's window: a pedal with four knobs, a bypass footswitch, a lamp that is lit
    while the effect is active, and two buttons that open pages on the maker's web site.
*/
class PelorvaneAudioProcessorEditor : public juce::AudioProcessorValueTreeState::Listener,
                                      public juce::AudioProcessorEditor,
                                      private juce::Timer,
                                      private juce::AsyncUpdater
{
public:
    explicit PelorvaneAudioProcessorEditor (PelorvaneAudioProcessor& processorToEdit);

    /** For a front end that keeps the same parameters in a processor of its own (the LV2 UI,
        which reaches the plug-in only through its ports). */
    PelorvaneAudioProcessorEditor (juce::AudioProcessor& owner, juce::AudioProcessorValueTreeState& parametersToEdit);
    ~PelorvaneAudioProcessorEditor() override;

    void paint (juce::Graphics& g) override;
    void paintOverChildren (juce::Graphics& g) override;
    void resized() override;
    void parentHierarchyChanged() override;

    /** Also starts decoding, meanwhile, the background for a new scale. */
    void setScaleFactor (float newScale) override;

    /** May be called on any thread; the lamp and the footswitch are only ever touched on the
        message thread. On any other thread (the host's audio thread, when it automates
        "Bypass") this is two atomic accesses: no lock, no allocation, no system call.
    */
    void parameterChanged (const juce::String& parameterID, float newValue) override;

    /** Opens the link buttons' pages; replaceable so that tests never start a browser. */
    std::function<void (const juce::URL&)> openLink = [] (const juce::URL& url) { url.launchInDefaultBrowser(); };

    static constexpr int windowWidth = 630;
    static constexpr int windowHeight = 801;

private:
    void setUpKnob (OmbrixSlider& knob);
    void attachKnobs();
    void setUpFootswitch();
    void decodeControlPictures (float scale);
    void setUpLinkButton (PictureButton& button, const juce::URL& url);
    void showCurrentBypass();
    void showBypass (bool bypassed);
    void handleAsyncUpdate() override;
    void switchBypassFromFootswitch();
    void timerCallback() override;
    void describeForScreenReaders();
    std::vector<KeyboardAccess::Control> controlsInTabOrder();

    static juce::URL pageOnWebSite (const char* path);

    // Clicks only on its opaque body, not on its surround or shadow.
    PictureButton footswitch { EditorPictures::Control::switchUp, EditorPictures::Control::switchDown, 0.9f };
    juce::AudioProcessorValueTreeState& parameters;

    OmbrixSliderLookAndFeel knobLookAndFeel;
    OmbrixSlider spaceKnob;
    OmbrixSlider lumensKnob;
    OmbrixSlider toneKnob;
    OmbrixSlider mixKnob;
    const std::array<OmbrixSlider*, 4> knobs { &spaceKnob, &lumensKnob, &toneKnob, &mixKnob };

    // Keeps the decoded pictures, and the background drawn at the window's scale.
    EditorPictures::Keeper pictureKeeper;
    EditorBackground background;

    // Lit while the effect is active; holding it down shows it lit.
    PictureButton bypassLamp { EditorPictures::Control::lampOff, EditorPictures::Control::lampOn, 0.0f };
    const juce::URL shareUrl;
    const juce::URL boardUrl;
    PictureButton shareButton { EditorPictures::Control::shareButton, EditorPictures::Control::shareButton, 0.0f };
    PictureButton boardButton { EditorPictures::Control::boardButton, EditorPictures::Control::boardButton, 0.0f };

    static inline const juce::Rectangle<int> spaceKnobBounds { 196, 139, 90, 90 };
    static inline const juce::Rectangle<int> lumensKnobBounds { 331, 139, 90, 90 };
    static inline const juce::Rectangle<int> toneKnobBounds { 196, 266, 90, 90 };
    static inline const juce::Rectangle<int> mixKnobBounds { 331, 266, 90, 90 };
    static inline const juce::Rectangle<int> footswitchBounds { 225, 441, 180, 180 };
    static inline const juce::Rectangle<int> lampBounds { 375, 504, 50, 50 };
    static inline const juce::Rectangle<int> shareButtonBounds { 60, 730, 206, 44 };
    static inline const juce::Rectangle<int> boardButtonBounds { 360, 730, 206, 44 };

    // Where the keyboard focus ring goes: the knob bodies' centres lie this far right of and
    // below their bounds' corners, the switch's metal disc is centred here.
    static constexpr float knobCentreOffset = 52.5f;
    static constexpr float knobRingRadius = 44.0f;
    static inline const juce::Point<float> switchBodyCentre { 314.5f, 530.5f };
    static constexpr float switchRingRadius = 56.0f;

    // Tab order, Space and Enter on the buttons, and the ring around the focused control.
    KeyboardAccess keyboardAccess { *this, controlsInTabOrder() };

    // Set when "Bypass" changed on a thread other than the message thread; the timer shows it.
    std::atomic<bool> bypassChangedElsewhere { false };

    // Which thread the framework runs its messages on; the knobs' attachments ask it too.
    MessageThreadWatch messageThread;

    // Repaints the window where the display's vertical-blank signal never comes (Wine).
    RepaintFallback repaintFallback { *this };

    // Keeps the host's container from filling the window black under the scaled pedal.
    EditorUnderlay underlay { *this };

    // The scale the host last asked for; a new window starts at 100 %.
    float scaleFactorSet = 1.0f;

    // The system window the pedal was last painted into as soon as it appeared; only compared.
    const juce::ComponentPeer* peerPaintedAtOnce = nullptr;

    // Last, so that they are destroyed before the controls they drive.
    std::vector<std::unique_ptr<KnobAttachment>> knobAttachments;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PelorvaneAudioProcessorEditor)
};
