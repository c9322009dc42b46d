// The preset menu beside the pedal: the factory presets, each with its description as its hint.
// It names the preset the knobs hold; once a knob moves away from the preset last chosen it
// shows that preset as changed (and says so to screen readers), and choosing it again goes back.

import { PRESETS, findPreset, presetMatching } from './presets.js';

export class PresetMenu {
  /** select: the <select> to fill; hint: the element (a live region) that describes the
      choice; onChoose (preset) when the player picks one. */
  constructor(select, hint, onChoose) {
    this.select = select;
    this.hint = hint;
    this.chosen = undefined;
    this.shown = null;
    // Shown in the closed menu only, for settings that are no preset's: never offered in the list.
    this.changedEntry = new Option('', '');
    this.changedEntry.disabled = true;
    this.changedEntry.hidden = true;
    select.append(this.changedEntry, ...PRESETS.map((preset) => {
      const entry = new Option(preset.name, preset.name);
      entry.title = preset.description;
      return entry;
    }));
    select.addEventListener('change', () => {
      const preset = findPreset(select.value);
      if (!preset) return;
      this.chosen = preset;
      onChoose(preset);
    });
    select.disabled = false;
  }

  /** The preset that settings about to be set started from (a link's), if any. */
  startFrom(preset) {
    this.chosen = preset;
  }

  /** Follows the pedal's settings. */
  show(settings) {
    const exact = presetMatching(settings);
    if (exact) this.chosen = exact;
    const label = exact ? exact.name : this.chosen ? `${this.chosen.name} (changed)` : 'Your own settings';
    if (label === this.shown) return;
    this.shown = label;
    this.select.dataset.state = exact ? 'preset' : this.chosen ? 'changed' : 'own';
    if (exact) {
      this.select.value = exact.name;
      this.hint.textContent = exact.description;
      return;
    }
    this.changedEntry.textContent = label;
    this.changedEntry.selected = true;
    this.hint.textContent = this.chosen
      ? `Changed from ${this.chosen.name}; choose it again to go back to it.`
      : 'These settings are no factory preset.';
  }
}
