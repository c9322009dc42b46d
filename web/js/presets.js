// The factory presets as the page offers them: the plug-in's table (plugin-tables.js, written
// from it when the page is built), each preset's knobs settled on the parameters' steps as the
// plug-in would store them, so that a preset's settings equal getParameters () once chosen.

import { KNOBS, settleKnob } from './params.js';
import { FACTORY_PRESETS } from './plugin-tables.js';

export const PRESETS = Object.freeze(FACTORY_PRESETS.map(({ name, description, settings }) => Object.freeze({
  name,
  description,
  settings: Object.freeze(Object.fromEntries(KNOBS.map((knob) => [knob.id, settleKnob(knob, settings[knob.id])]))),
})));

/** The preset of that name, compared without regard to letter case (as the renderer's
    --preset); undefined if there is none. */
export function findPreset(name) {
  const wanted = String(name).toLowerCase();
  return PRESETS.find((preset) => preset.name.toLowerCase() === wanted);
}

/** The preset whose knobs the settings hold exactly (Bypass aside); undefined if none. */
export function presetMatching(settings) {
  return PRESETS.find((preset) => KNOBS.every((knob) => preset.settings[knob.id] === settings[knob.id]));
}
