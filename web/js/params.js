// The pedal's five controls as the plug-in's host parameters define them (its table, in
// plugin-tables.js, written when the page is built), and the
// single-precision arithmetic with which those parameters store a value (the framework's
// NormalisableRange: a step from 0, linear), written with Math.fround so that every value the
// page sets is the one the plug-in's parameter would hold. The engine's own copy
// (pelorvane_settle, checked against the framework natively) is compared with this in the tests.

import { KNOB_PARAMETERS } from './plugin-tables.js';

const f = Math.fround;

// Where each knob sits on the pedal, and its coarse step (Page Up and Down): the page's own.
const PLACES = {
  space: { coarse: 1, bounds: [196, 139, 90, 90] },
  lumens: { coarse: 1, bounds: [331, 139, 90, 90] },
  tone: { coarse: 1, bounds: [196, 266, 90, 90] },
  mix: { coarse: 10, bounds: [331, 266, 90, 90] },
};

export const KNOBS = KNOB_PARAMETERS.map((p) => ({
  id: p.symbol,
  name: p.id,
  max: p.maximum,
  step: p.step,
  coarse: PLACES[p.symbol].coarse,
  defaultValue: p.defaultValue,
  decimals: p.decimals,
  suffix: p.unit,
  bounds: PLACES[p.symbol].bounds,
}));

export const DEFAULTS = Object.freeze({
  ...Object.fromEntries(KNOBS.map((k) => [k.id, k.defaultValue])),
  bypass: false,
});

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
