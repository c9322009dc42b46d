#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** An opaque, empty component put behind the editor in the host's container, over exactly the
    pixels the editor covers, while the editor is drawn at a host's scale.

    The framework skips painting the parts of a component that opaque children cover, but only
    children without a transform, and a host's scale factor is applied to the editor as one. So
    the container the plug-in wrapper puts the editor in would fill the whole window black on
    every paint, only for the pedal to be drawn over it (at 200 % that is as much work as drawing
    the pedal's background). With this behind the editor, untransformed, the container paints
    only what the editor leaves uncovered, as it would anyway.

    It follows the editor by itself (its scale, bounds and parent), catches no mouse clicks and
    is hidden from screen readers and the keyboard.
*/
class EditorUnderlay : public juce::Component,
                       private juce::ComponentListener
{
public:
    explicit EditorUnderlay (juce::Component& editorToUnderlay);
    ~EditorUnderlay() override;

private:
    void componentMovedOrResized (juce::Component& component, bool wasMoved, bool wasResized) override;
    void componentParentHierarchyChanged (juce::Component& component) override;
    void componentBeingDeleted (juce::Component& component) override;

    /** Puts this behind the editor while the editor is scaled and has a parent; takes it away
        otherwise. */
    void follow();
    void detach();

    /** The whole pixels of the container that the scaled editor covers. */
    juce::Rectangle<int> coveredByEditor() const;

    juce::Component& editor;
    juce::Component* container = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EditorUnderlay)
};
