#include "editor/EditorUnderlay.h"

#include <cmath>

EditorUnderlay::EditorUnderlay (juce::Component& editorToUnderlay)
    : editor (editorToUnderlay)
{
    setOpaque (true);
    setInterceptsMouseClicks (false, false);
    setWantsKeyboardFocus (false);
    setAccessible (false);
    editor.addComponentListener (this);
}

EditorUnderlay::~EditorUnderlay()
{
    editor.removeComponentListener (this);
    detach();
}

void EditorUnderlay::componentMovedOrResized (juce::Component&, bool, bool)
{
    // Also called when the editor's scale (its transform) changes.
    follow();
}

void EditorUnderlay::componentParentHierarchyChanged (juce::Component&)
{
    follow();
}

void EditorUnderlay::componentBeingDeleted (juce::Component& component)
{
    if (&component == container)
        container = nullptr;
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

        // Just behind the editor, so that whatever else the container holds stays as it is.
        container->addChildComponent (this, container->getIndexOfChildComponent (&editor));
    }

    setBounds (coveredByEditor());
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

juce::Rectangle<int> EditorUnderlay::coveredByEditor() const
{
    const auto area = container->getLocalArea (&editor, editor.getLocalBounds().toFloat());

    // Only pixels the editor covers whole: the container paints the rest as it would anyway.
    const auto left = (int) std::ceil (area.getX());
    const auto top = (int) std::ceil (area.getY());
    const auto right = (int) std::floor (area.getRight());
    const auto bottom = (int) std::floor (area.getBottom());
    return { left, top, juce::jmax (0, right - left), juce::jmax (0, bottom - top) };
}
