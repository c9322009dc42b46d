#include "editor/PluginEditor.h"

#include "processor/PluginConstants.h"
#include "processor/PluginParameters.h"
#include "processor/PluginProcessor.h"

#include <iterator>
#include <utility>

namespace
{
using PluginParameters::bypassId;
constexpr int valueBoxWidth = 100;
constexpr int valueBoxHeight = 15;

/** The display's scale, as far as it is known before the window is shown. */
float displayScale()
{
    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    return (display != nullptr ? (float) display->scale : 1.0f) * juce::Desktop::getInstance().getGlobalScaleFactor();
}

void setValueBox (juce::Slider& knob, juce::Slider::TextEntryBoxPosition position)
{
    knob.setTextBoxStyle (position, true, valueBoxWidth, valueBoxHeight);
}
} // namespace

PelorvaneAudioProcessorEditor::PelorvaneAudioProcessorEditor (PelorvaneAudioProcessor& processorToEdit)
    : PelorvaneAudioProcessorEditor (processorToEdit, processorToEdit.parameters)
{
}

PelorvaneAudioProcessorEditor::PelorvaneAudioProcessorEditor (juce::AudioProcessor& owner, juce::AudioProcessorValueTreeState& parametersToEdit)
    : AudioProcessorEditor (&owner)
    , parameters (parametersToEdit)
    , shareUrl (pageOnWebSite ("/pages/pelorvane-share-plugin"))
    , boardUrl (pageOnWebSite ("/pages/add-pelorvane-to-your-board"))
{
    // Decoded meanwhile on a thread of its own; the first paint waits for it if need be. A window
    // most likely opens at the scale the one before it was drawn at.
    const auto earlier = EditorPictures::lastResolutionDrawn();
    const auto expectedScale = earlier > 0 ? (float) earlier : displayScale();
    background.prepareFor (expectedScale);

    parameters.addParameterListener (bypassId, this);

    for (auto* knob : knobs)
        setUpKnob (*knob);

    attachKnobs();
    mixKnob.setTextValueSuffix ("%");

    setUpFootswitch();
    showCurrentBypass();
    decodeControlPictures (expectedScale);

    setUpLinkButton (shareButton, shareUrl);
    setUpLinkButton (boardButton, boardUrl);

    addAndMakeVisible (footswitch);
    addAndMakeVisible (bypassLamp);
    addAndMakeVisible (shareButton);
    addAndMakeVisible (boardButton);

    // The background covers the whole window, so nothing behind it needs drawing.
    setOpaque (true);

    describeForScreenReaders();
    setSize (windowWidth, windowHeight);

    // Changes made on the audio thread reach the lamp, the switch and the knobs at display rate.
    startTimerHz (30);
}

PelorvaneAudioProcessorEditor::~PelorvaneAudioProcessorEditor()
{
    stopTimer();
    cancelPendingUpdate();

    for (auto* knob : knobs)
        knob->setLookAndFeel (nullptr);

    // Waits for a notification in progress on another thread; none arrives after this.
    parameters.removeParameterListener (bypassId, this);
}

void PelorvaneAudioProcessorEditor::setUpKnob (OmbrixSlider& knob)
{
    addAndMakeVisible (knob);
    knob.setSliderStyle (juce::Slider::RotaryVerticalDrag);
    setValueBox (knob, juce::Slider::NoTextBox);

    // The value shows only while the knob is being turned.
    knob.onDragStart = [&knob] { setValueBox (knob, juce::Slider::TextBoxAbove); };
    knob.onDragEnd = [&knob] { setValueBox (knob, juce::Slider::NoTextBox); };

    knob.setLookAndFeel (&knobLookAndFeel);
}

void PelorvaneAudioProcessorEditor::attachKnobs()
{
    static_assert (std::size (PluginParameters::knobs) == std::tuple_size_v<decltype (knobs)>);

    for (size_t i = 0; i < knobs.size(); ++i)
        knobAttachments.push_back (std::make_unique<KnobAttachment> (*parameters.getParameter (PluginParameters::knobs[i].id), *knobs[i], messageThread));
}

void PelorvaneAudioProcessorEditor::setUpFootswitch()
{
    footswitch.setToggleable (true);
    footswitch.setClickingTogglesState (true);
    footswitch.onClick = [this]
    { switchBypassFromFootswitch(); };
}

void PelorvaneAudioProcessorEditor::switchBypassFromFootswitch()
{
    auto& bypass = *parameters.getParameter (bypassId);
    const auto bypassed = footswitch.getToggleState();

    if ((bypass.getValue() >= 0.5f) == bypassed)
        return;

    // One complete gesture per click, so that hosts record it as one automation step.
    bypass.beginChangeGesture();
    bypass.setValueNotifyingHost (bypassed ? 1.0f : 0.0f);
    bypass.endChangeGesture();
}

void PelorvaneAudioProcessorEditor::setUpLinkButton (PictureButton& button, const juce::URL& url)
{
    button.onClick = [this, &url] { openLink (url); };
}

juce::URL PelorvaneAudioProcessorEditor::pageOnWebSite (const char* path)
{
    return juce::URL (juce::String ("https://") + PluginConstants::webSiteHost + path);
}

void PelorvaneAudioProcessorEditor::showCurrentBypass()
{
    showBypass (parameters.getRawParameterValue (bypassId)->load() >= 0.5f);
}

void PelorvaneAudioProcessorEditor::showBypass (bool bypassed)
{
    bypassLamp.setToggleState (! bypassed, juce::dontSendNotification);
    footswitch.setToggleState (bypassed, juce::dontSendNotification);
}

void PelorvaneAudioProcessorEditor::timerCallback()
{
    messageThread.noteMessageThread();

    // Read again here, so that a burst of changes ends on the latest value.
    if (bypassChangedElsewhere.exchange (false))
        showCurrentBypass();

    for (auto& attachment : knobAttachments)
        attachment->showChangesMadeElsewhere();
}

void PelorvaneAudioProcessorEditor::paint (juce::Graphics& g)
{
    background.draw (g, getLocalBounds());
}

void PelorvaneAudioProcessorEditor::setScaleFactor (float newScale)
{
    AudioProcessorEditor::setScaleFactor (newScale);

    // The host's window hands every new window the scale it has, most often the one it had.
    if (std::exchange (scaleFactorSet, newScale) != newScale)
    {
        background.prepareFor (newScale * displayScale());
        decodeControlPictures (newScale * displayScale());
    }
}

void PelorvaneAudioProcessorEditor::decodeControlPictures (float scale)
{
    // Here, while the background is decoded on its own thread, rather than after it in the
    // first paint.
    for (auto* button : { &footswitch, &bypassLamp, &shareButton, &boardButton })
        button->decodeShownPicture (scale);
}

void PelorvaneAudioProcessorEditor::paintOverChildren (juce::Graphics& g)
{
    keyboardAccess.paintRing (g);
}

void PelorvaneAudioProcessorEditor::resized()
{
    spaceKnob.setBounds (spaceKnobBounds);
    lumensKnob.setBounds (lumensKnobBounds);
    toneKnob.setBounds (toneKnobBounds);
    mixKnob.setBounds (mixKnobBounds);
    footswitch.setBounds (footswitchBounds);
    bypassLamp.setBounds (lampBounds);
    shareButton.setBounds (shareButtonBounds);
    boardButton.setBounds (boardButtonBounds);
}

void PelorvaneAudioProcessorEditor::parentHierarchyChanged()
{
    // The framework paints a new system window at its next display tick, up to a frame later;
    // painting it as soon as the host's call has returned shows the pedal whole that much sooner.
    if (auto* peer = getPeer(); peer != nullptr && peer != peerPaintedAtOnce)
    {
        peerPaintedAtOnce = peer;
        triggerAsyncUpdate();
    }
}

void PelorvaneAudioProcessorEditor::handleAsyncUpdate()
{
    if (auto* peer = getPeer())
        peer->performAnyPendingRepaintsNow();
}

void PelorvaneAudioProcessorEditor::parameterChanged (const juce::String& parameterID, float newValue)
{
    if (parameterID != bypassId)
        return;

    if (! messageThread.isMessageThread())
    {
        bypassChangedElsewhere.store (true);
        return;
    }

    showBypass (newValue >= 0.5f);
}

std::vector<KeyboardAccess::Control> PelorvaneAudioProcessorEditor::controlsInTabOrder()
{
    // Rings just outside each knob's body and the switch's metal disc, and around the links.
    const auto circle = [] (juce::Component& control, juce::Point<float> centre, float radius)
    {
        return KeyboardAccess::Control { control, juce::Rectangle<float> (2.0f * radius, 2.0f * radius).withCentre (centre), radius };
    };
    const auto aroundKnob = [&circle] (OmbrixSlider& knob, juce::Rectangle<int> bounds)
    {
        return circle (knob, bounds.getPosition().toFloat() + juce::Point<float> (knobCentreOffset, knobCentreOffset), knobRingRadius);
    };
    const auto aroundLink = [] (PictureButton& button, juce::Rectangle<int> bounds)
    {
        const auto ring = bounds.toFloat().expanded (3.0f);
        return KeyboardAccess::Control { button, ring, ring.getHeight() / 2.0f };
    };

    return { aroundKnob (spaceKnob, spaceKnobBounds),
             aroundKnob (lumensKnob, lumensKnobBounds),
             aroundKnob (toneKnob, toneKnobBounds),
             aroundKnob (mixKnob, mixKnobBounds),
             circle (footswitch, switchBodyCentre, switchRingRadius),
             aroundLink (shareButton, shareButtonBounds),
             aroundLink (boardButton, boardButtonBounds) };
}

void PelorvaneAudioProcessorEditor::describeForScreenReaders()
{
    // Screen readers announce a control's title, its role and its value: "Space, slider, 5.0".
    setTitle (PluginConstants::pluginName);

    for (size_t i = 0; i < knobs.size(); ++i)
    {
        knobs[i]->setTitle (PluginParameters::knobs[i].id);
        knobs[i]->setDescription (PluginParameters::knobs[i].description);
    }

    // Its value reads "On" while the effect is bypassed.
    footswitch.setTitle (bypassId);
    footswitch.setDescription ("Footswitch: bypasses the effect");

    shareButton.setTitle ("Share Pelorvane");
    shareButton.setDescription ("Opens the share page in your web browser: " + shareUrl.toString (false));
    boardButton.setTitle ("Add to your board");
    boardButton.setDescription ("Opens the add-to-board page in your web browser: " + boardUrl.toString (false));

    // The lamp repeats what the footswitch says; it is neither announced nor focused.
    bypassLamp.setAccessible (false);
    bypassLamp.setWantsKeyboardFocus (false);
    bypassLamp.setMouseClickGrabsKeyboardFocus (false);
}
