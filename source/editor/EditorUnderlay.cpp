#include "editor/EditorUnderlay.h"

#include <cmath>

EditorUnderlay::EditorUnderlay (juce::Component& editorToUnderlay)
    : editor (editorToUnderlay)
{
    setOpaque (true);
    setInterceptsMouseClicks (false, false);
    setWantsKeyboardFocus (false);
    setAccessible (false);
}

EditorUnderlay::~EditorUnderlay()
{
    detach();
}

void EditorUnderlay::follow()
{
    auto* parent = editor.getParentComponent();

    if (parent == nullptr || ! editor.isTransformed())
    {
        detach();
        return;
    }

    if (parent != container)
    {
        detach();
        container = parent;
        container->addComponentListener (this);
    }

    // Just behind the editor, so that it draws over everything else the container holds.
    container->addChildComponent (this, container->getIndexOfChildComponent (&editor));
    setBounds (container->getLocalBounds());
    setVisible (true);
}

void EditorUnderlay::detach()
{
    if (container == nullptr)
        return;

    container->removeComponentListener (this);
    container->removeChildComponent (this);
    container = nullptr;
}

void EditorUnderlay::componentMovedOrResized (juce::Component&, bool, bool wasResized)
{
    if (wasResized && container != nullptr)
        setBounds (container->getLocalBounds());
}

void EditorUnderlay::componentBeingDeleted (juce::Component&)
{
    container = nullptr;
}

juce::Rectangle<int> EditorUnderlay::coveredByEditor() const
{
    const auto area = getLocalArea (&editor, editor.getLocalBounds().toFloat());

    // Only pixels the editor covers whole: it leaves the rest to be painted here.
    const auto left = (int) std::ceil (area.getX());
    const auto top = (int) std::ceil (area.getY());
    const auto right = (int) std::floor (area.getRight());
    const auto bottom = (int) std::floor (area.getBottom());
    return { left, top, juce::jmax (0, right - left), juce::jmax (0, bottom - top) };
}

void EditorUnderlay::paint (juce::Graphics& g)
{
    g.excludeClipRegion (coveredByEditor());

    if (! g.isClipEmpty())
        g.fillAll (juce::Colours::black);
}
