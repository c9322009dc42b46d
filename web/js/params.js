// The pedal's five controls as the plug-in's host parameters define them, and the
// single-precision arithmetic with which those parameters store a value (the framework's
// NormalisableRange: a step from 0, linear), written with Math.fround so that every value the
// page sets is the one the plug-in's parameter would hold. The engine's own copy
// (pelorvane_settle, checked against the framework natively) is compared with this in the tests.

const f = Math.fround;

export const KNOBS = [
  { id: 'space', name: 'Space', max: 10, step: 0.1, coarse: 1, defaultValue: 5, decimals: 1, suffix: '', bounds: [196, 139, 90, 90] },
  { id: 'lumens', name: 'Lumens', max: 10, step: 0.1, coarse: 1, defaultValue: 5, decimals: 1, suffix: '', bounds: [331, 139, 90, 90] },
  { id: 'tone', name: 'Tone', max: 10, step: 0.1, coarse: 1, defaultValue: 5, decimals: 1, suffix: '', bounds: [196, 266, 90, 90] },
  { id: 'mix', name: 'Mix', max: 100, step: 1, coarse: 10, defaultValue: 50, decimals: 0, suffix: '%', bounds: [331, 266, 90, 90] },
];

export const DEFAULTS = Object.freeze({ space: 5, lumens: 5, tone: 5, mix: 50, bypass: false });

const clamp01 = (p) => (p < 0 ? 0 : 1 < p ? 1 : p);

/** The nearest step from 0, within the range. */
export function snap(value, max, step) {
  let v = f(value);
  const s = f(step);
  if (s > 0) v = f(0 + f(s * Math.floor(f(f(v - 0) / s) + f(0.5))));
  return v <= 0 || f(max) <= 0 ? 0 : v >= f(max) ? f(max) : v;
}

/** The value as a position from 0 to 1 in the range, after snapping. */
export function toProportion(value, max, step) {
  return clamp01(f(f(snap(value, max, step) - 0) / f(f(max) - 0)));
}

/** The value at a position from 0 to 1 in the range, snapped. */
export function fromProportion(proportion, max, step) {
  return snap(f(0 + f(f(f(max) - 0) * clamp01(f(proportion)))), max, step);
}

/** What the parameter holds once set to value. */
export function settle(value, max, step) {
  return fromProportion(toProportion(value, max, step), max, step);
}

export function settleKnob(knob, value) {
  const v = Number(value);
  return settle(Number.isFinite(v) ? v : knob.defaultValue, knob.max, knob.step);
}

/** The parameter's text, as the plug-in shows it in its value box ("5.0", "50"). */
export function valueText(knob, value) {
  return value.toFixed(knob.decimals);
}

/** The film strip's frame for a value: linear in the value, rounded up. */
export function frameFor(knob, value) {
  return Math.ceil(((value - 0) / (knob.max - 0)) * 99);
}

/** Settings for the engine from anything given: knobs settled, missing ones at their defaults. */
export function settleSettings(given = {}, base = DEFAULTS) {
  const out = {};
  for (const knob of KNOBS) {
    const value = given[knob.id] !== undefined ? given[knob.id] : base[knob.id];
    out[knob.id] = settleKnob(knob, value);
  }
  out.bypass = given.bypass !== undefined ? Boolean(given.bypass) : Boolean(base.bypass);
  return out;
}
