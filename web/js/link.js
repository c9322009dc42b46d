// A link that carries a sound: the page's address with the settings in its fragment, which
// never reaches a server. "#preset=Glass%20Halo" names a factory preset (any letter case),
// "#space=7.3&lumens=2&tone=9.1&mix=33&bypass=1" the controls (any of them; a preset and values
// together give the preset with the values on top, as the renderer's --preset and options do).
// What a link leaves out is at its default, values land on the parameters' steps within their
// ranges, and whatever cannot be read is left out and named, never an error.

import { KNOBS, settleKnob } from './params.js';
import { findPreset } from './presets.js';

const NUMBER = /^[-+]?(\d+\.?\d*|\.\d+)(e[-+]?\d+)?$/i;
const SWITCH = new Map([['1', true], ['on', true], ['true', true], ['yes', true], ['0', false], ['off', false], ['false', false], ['no', false]]);
const MAX_NAMED = 4; // parts named in the note; a long list helps no one
const MAX_PART = 40; // characters of each

function decode(text) {
  try {
    return decodeURIComponent(text.replace(/\+/g, ' '));
  } catch {
    return null; // a broken %-escape
  }
}

/** The settings a link's fragment names: { settings, preset, unreadable }. settings holds only
    what the link gives (the preset's knobs, then the link's own values); unreadable lists the
    parts that were left out (decoded where they can be). */
export function readLink(fragment) {
  let preset;
  const values = {};
  const unreadable = [];
  for (const part of String(fragment).replace(/^#/, '').split('&')) {
    if (part === '') continue;
    const split = part.indexOf('=');
    const key = split < 0 ? null : decode(part.slice(0, split));
    const value = split < 0 ? null : decode(part.slice(split + 1));
    const read = key === null || value === null ? undefined : readPart(key.trim().toLowerCase(), value.trim());
    if (read === undefined) unreadable.push(decode(part) ?? part);
    else if (read.preset) preset = read.preset;
    else Object.assign(values, read);
  }
  return { settings: { ...preset?.settings, ...values }, preset, unreadable };
}

/** One part of a link: { preset }, or the one setting it gives; undefined if unreadable. */
function readPart(key, value) {
  if (key === 'preset') {
    const preset = findPreset(value);
    return preset && { preset };
  }
  if (key === 'bypass') {
    const on = SWITCH.get(value.toLowerCase());
    return on === undefined ? undefined : { bypass: on };
  }
  const knob = KNOBS.find((k) => k.id === key);
  if (!knob || !NUMBER.test(value)) return undefined;
  const number = Number(value);
  // Too large to be held at all ("1e999"): the end of the range it points past.
  return { [knob.id]: Number.isFinite(number) ? number : number > 0 ? knob.max : 0 };
}

/** The short note on what a link's unreadable parts were; empty when there were none. */
export function unreadableNote(unreadable) {
  if (unreadable.length === 0) return '';
  const shown = unreadable.slice(0, MAX_NAMED).map((part) => `“${part.length > MAX_PART ? `${part.slice(0, MAX_PART)}…` : part}”`);
  const more = unreadable.length > MAX_NAMED ? ` and ${unreadable.length - MAX_NAMED} more` : '';
  return `Not understood in the link, so left out: ${shown.join(', ')}${more}.`;
}

/** The shortest decimal that the knob's parameter stores as the same value ("7.3", "45"). */
function valueInLink(knob, value) {
  for (let decimals = 0; decimals <= 9; ++decimals) {
    const text = value.toFixed(decimals);
    if (settleKnob(knob, Number(text)) === value) return text;
  }
  return String(value);
}

/** The page's address (base: a URL or string) with the settings in its fragment: all four
    knobs, and Bypass when it is on. */
export function linkFor(settings, base) {
  const url = new URL(base);
  const parts = KNOBS.map((knob) => `${knob.id}=${valueInLink(knob, settings[knob.id])}`);
  if (settings.bypass) parts.push('bypass=1');
  url.hash = parts.join('&');
  return url.href;
}
