#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** An opaque, empty component put behind the editor in the host's container while the editor
    is drawn at a host's scale.

    The framework skips painting the parts of a component that opaque children cover, but
    only children without a transform; a host's scale factor is applied to the editor as one.
    So the container the plug-in wrapper puts the editor in would fill the whole window black
    on every paint, only for the pedal to be drawn over it (at 200 % that is as much work as
    drawing the pedal's background). This sits behind the editor, untransformed, covering the
    container: the container then paints nothing, and this paints black only where the scaled
    editor leaves a sliver of the container uncovered.

    It catches no mouse clicks and is hidden from screen readers and the keyboard.
*/
class EditorUnderlay : public juce::Component,
                       private juce::ComponentListener
{
public:
    explicit EditorUnderlay (juce::Component& editorToUnderlay);
    ~EditorUnderlay() override;

    /** Puts this behind the editor when the editor is scaled and has a parent, or takes it away;
        call when either changes. */
    void follow();

    void paint (juce::Graphics& g) override;

private:
    void componentMovedOrResized (juce::Component& component, bool wasMoved, bool wasResized) override;
    void componentBeingDeleted (juce::Component& component) override;
    void detach();

    /** The whole pixels of the parent that the scaled editor covers. */
    juce::Rectangle<int> coveredByEditor() const;

    juce::Component& editor;
    juce::Component* container = nullptr;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (EditorUnderlay)
};
