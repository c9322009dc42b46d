#include "editor/PluginEditor.h"

#include "processor/PluginConstants.h"
#include "processor/PluginProcessor.h"

namespace
{
constexpr auto bypassId = "Bypass";
constexpr int valueBoxWidth = 100;
constexpr int valueBoxHeight = 15;

// The footswitch takes clicks only on its opaque body, not on its surround or shadow.
constexpr float footswitchHitThreshold = 0.9f;

juce::Image loadImage (EditorPictures::Picture picture)
{
    return EditorPictures::get (picture);
}

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
    : AudioProcessorEditor (&processorToEdit)
    , audioProcessor (processorToEdit)
    , shareUrl (pageOnWebSite ("/pages/pelorvane-share-plugin"))
    , boardUrl (pageOnWebSite ("/pages/add-pelorvane-to-your-board"))
{
    // Decoded meanwhile on a thread of its own; the first paint waits for it if need be.
    background.prepareFor (displayScale());

    audioProcessor.parameters.addParameterListener (bypassId, this);

    for (auto* knob : knobs)
        setUpKnob (*knob);

    attachKnobs();
    mixKnob.setTextValueSuffix ("%");

    setUpFootswitch();
    setUpLamp();
    showCurrentBypass();

    shareButtonImage = loadImage (EditorPictures::Picture::shareButton);
    setUpLinkButton (shareButton, shareButtonImage, shareUrl);
    boardButtonImage = loadImage (EditorPictures::Picture::boardButton);
    setUpLinkButton (boardButton, boardButtonImage, boardUrl);

    addAndMakeVisible (footswitch);
    addAndMakeVisible (bypassLamp);
    addAndMakeVisible (shareButton);
    addAndMakeVisible (boardButton);

    setSize (windowWidth, windowHeight);

    // Changes made on the audio thread reach the lamp and the switch at display rate.
    startTimerHz (30);
}

PelorvaneAudioProcessorEditor::~PelorvaneAudioProcessorEditor()
{
    stopTimer();
    juce::ImageCache::releaseUnusedImages();

    for (auto* knob : knobs)
        knob->setLookAndFeel (nullptr);

    // Waits for a notification in progress on another thread; none arrives after this.
    audioProcessor.parameters.removeParameterListener (bypassId, this);
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
    const std::array<const char*, 4> ids { "Space", "Lumens", "Tone", "Mix" };

    for (size_t i = 0; i < knobs.size(); ++i)
        sliderAttachments.add (new SliderAttachment (audioProcessor.parameters, ids[i], *knobs[i]));
}

void PelorvaneAudioProcessorEditor::setUpFootswitch()
{
    switchUpImage = loadImage (EditorPictures::Picture::switchUp);
    switchDownImage = loadImage (EditorPictures::Picture::switchDown);
    setButtonImages (footswitch, switchUpImage, switchDownImage, footswitchHitThreshold);

    footswitch.setToggleable (true);
    footswitch.setClickingTogglesState (true);
    footswitch.onClick = [this]
    { switchBypassFromFootswitch(); };
}

void PelorvaneAudioProcessorEditor::switchBypassFromFootswitch()
{
    auto& bypass = *audioProcessor.parameters.getParameter (bypassId);
    const auto bypassed = footswitch.getToggleState();

    if ((bypass.getValue() >= 0.5f) == bypassed)
        return;

    // One complete gesture per click, so that hosts record it as one automation step.
    bypass.beginChangeGesture();
    bypass.setValueNotifyingHost (bypassed ? 1.0f : 0.0f);
    bypass.endChangeGesture();
}

void PelorvaneAudioProcessorEditor::setUpLamp()
{
    lampOnImage = loadImage (EditorPictures::Picture::lampOn);
    lampOffImage = loadImage (EditorPictures::Picture::lampOff);
    setButtonImages (bypassLamp, lampOffImage, lampOnImage, 0.0f);
}

void PelorvaneAudioProcessorEditor::setUpLinkButton (juce::ImageButton& button, const juce::Image& image, const juce::URL& url)
{
    setButtonImages (button, image, image, 0.0f);
    button.onClick = [this, &url] { openLink (url); };
}

void PelorvaneAudioProcessorEditor::setButtonImages (juce::ImageButton& button, const juce::Image& normal, const juce::Image& down, float hitTestAlphaThreshold)
{
    const auto noOverlay = juce::Colour (0x00000000);

    button.setImages (true, true, false, normal, 1.0f, noOverlay, juce::Image(), 1.0f, noOverlay, down, 1.0f, noOverlay, hitTestAlphaThreshold);
}

juce::URL PelorvaneAudioProcessorEditor::pageOnWebSite (const char* path)
{
    return juce::URL (juce::String ("https://") + PluginConstants::webSiteHost + path);
}

void PelorvaneAudioProcessorEditor::showCurrentBypass()
{
    showBypass (audioProcessor.parameters.getRawParameterValue (bypassId)->load() >= 0.5f);
}

void PelorvaneAudioProcessorEditor::showBypass (bool bypassed)
{
    bypassLamp.setToggleState (! bypassed, juce::dontSendNotification);
    footswitch.setToggleState (bypassed, juce::dontSendNotification);
}

void PelorvaneAudioProcessorEditor::timerCallback()
{
    // Read again here, so that a burst of changes ends on the latest value.
    if (bypassChangedElsewhere.exchange (false))
        showCurrentBypass();
}

void PelorvaneAudioProcessorEditor::paint (juce::Graphics& g)
{
    background.draw (g, getLocalBounds());
}

void PelorvaneAudioProcessorEditor::setScaleFactor (float newScale)
{
    AudioProcessorEditor::setScaleFactor (newScale);
    background.prepareFor (newScale * displayScale());
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

void PelorvaneAudioProcessorEditor::parameterChanged (const juce::String& parameterID, float newValue)
{
    if (parameterID != bypassId)
        return;

    // Comparing thread identities takes no lock, unlike asking the message manager.
    if (juce::Thread::getCurrentThreadId() != messageThread)
    {
        bypassChangedElsewhere.store (true);
        return;
    }

    showBypass (newValue >= 0.5f);
}
