#include "editor/OmbrixSlider.h"

OmbrixSlider::OmbrixSlider()
{
    // The pointer frame is drawn larger than the knob's bounds.
    setPaintingIsUnclipped (true);
}

OmbrixSlider::~OmbrixSlider() = default;

void OmbrixSlider::mouseDown (const juce::MouseEvent& event)
{
    juce::Slider::mouseDown (event);
    setMouseCursor (juce::MouseCursor::NoCursor);
    pressPosition = juce::Desktop::getMousePosition();
}

void OmbrixSlider::mouseUp (const juce::MouseEvent& event)
{
    juce::Slider::mouseUp (event);
    juce::Desktop::setMousePosition (pressPosition);
    setMouseCursor (juce::MouseCursor::NormalCursor);
}
