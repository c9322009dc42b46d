// The page: the pedal, its presets and links, its sound sources, play/stop, download, messages,
// and window.pelorvane.

import { LivePedal } from './audio.js';
import { decodeFile, UndecodableFile } from './decode.js';
import { linkFor, readLink, unreadableNote } from './link.js';
import { DEFAULTS, settleSettings } from './params.js';
import { Pedal } from './pedal.js';
import { PresetMenu } from './preset-menu.js';
import { PRESETS } from './presets.js';
import { renderOffline } from './render.js';
import { encodeWavFloat } from './wav.js';
import { loadEngine } from './wasm.js';

const $ = (id) => document.getElementById(id);
const timings = { start: performance.now() };

const ui = {
  pedal: $('pedal'),
  preset: $('preset'),
  presetHint: $('preset-hint'),
  copyLink: $('copy-link'),
  linkText: $('link-text'),
  linkNote: $('link-note'),
  play: $('play'),
  loop: $('loop'),
  download: $('download'),
  sourceDemo: $('source-demo'),
  sourceFile: $('source-file'),
  sourceLive: $('source-live'),
  fileInput: $('file-input'),
  fileName: $('file-name'),
  status: $('status'),
  problem: $('problem'),
  liveWarning: $('live-warning'),
};

let engine = null;
let pedal = null;
let menu = null;
let live = null;
let demoPhrase = null;
let file = null;
let playing = false;
let busy = false;

function say(text) {
  ui.status.textContent = text;
}

function complain(text) {
  ui.problem.textContent = text;
  ui.problem.hidden = !text;
}

function note(text) {
  ui.linkNote.textContent = text;
  ui.linkNote.hidden = !text;
}

/** Opens the settings a link names; what it leaves out goes to its default. */
function openLink(fragment) {
  const { settings, preset, unreadable } = readLink(fragment);
  menu.startFrom(preset);
  pedal.set(settleSettings(settings, DEFAULTS));
  note(unreadableNote(unreadable));
}

async function copyLink() {
  const link = api.link();
  ui.linkText.value = link;
  try {
    await navigator.clipboard.writeText(link);
    ui.linkText.hidden = true;
    note(`Copied the link to this sound: ${link}`);
  } catch {
    // No clipboard for this page (an insecure address, or the browser said no): the link to copy by hand.
    ui.linkText.hidden = false;
    ui.linkText.focus();
    ui.linkText.select();
    note('The browser did not let the page copy the link; it is selected in the box above, to copy from there.');
  }
}

function selectedSource() {
  if (ui.sourceLive.checked) return 'live';
  if (ui.sourceFile.checked && file) return 'file';
  return 'demo';
}

function refresh() {
  const source = selectedSource();
  ui.play.textContent = playing ? 'Stop' : source === 'live' ? 'Listen' : 'Play';
  ui.play.setAttribute('aria-pressed', String(playing));
  ui.download.disabled = busy || source === 'live' || !engine;
  ui.download.title = source === 'live' ? 'Live input cannot be rendered; choose the demo phrase or a file' : '';
  ui.sourceFile.disabled = !file;
  ui.fileName.textContent = file ? `${file.name} (${(file.samples.length / file.sampleRate).toFixed(1)} s, ${file.sampleRate} Hz${file.channels > 1 ? ', left channel' : ''})` : 'none opened yet';
  ui.liveWarning.hidden = source !== 'live';
}

/** The demo phrase (a promise), computed by the engine off the main thread as the page loads. */
function demo() {
  if (!demoPhrase) demoPhrase = engine.demoPhraseInWorker().catch(() => engine.demoPhrase());
  return demoPhrase;
}

async function sourceSamples(source) {
  if (source === 'file') return file;
  const { samples, sampleRate } = await demo();
  return { name: 'demo phrase', samples, sampleRate };
}

async function play() {
  complain('');
  const source = selectedSource();
  if (source === 'live') {
    try {
      await live.listen();
    } catch (error) {
      const denied = error && (error.name === 'NotAllowedError' || error.name === 'SecurityError');
      complain(denied
        ? 'Live input was not allowed. To use it, allow this page to use your microphone in the browser’s site settings and press Listen again; the demo phrase and your files work without it.'
        : `No live input could be opened (${error && error.message ? error.message : error}). The demo phrase and your files work without it.`);
      playing = false;
      refresh();
      return;
    }
    say('Listening to your live input through the pedal. Use headphones: through speakers the reverb feeds back.');
  } else {
    const { samples, sampleRate, name } = await sourceSamples(source);
    await live.play(samples, sampleRate, ui.loop.checked);
    say(`Playing the ${source === 'file' ? `file “${name}”` : 'demo phrase'}${ui.loop.checked ? ' in a loop' : ''}.`);
  }
  playing = true;
  refresh();
}

function stop() {
  live.stop();
  playing = false;
  say('Stopped.');
  refresh();
}

async function download() {
  const source = selectedSource();
  if (source === 'live' || busy) return;
  busy = true;
  refresh();
  complain('');
  const { samples, sampleRate, name } = await sourceSamples(source);
  say(`Rendering the ${source === 'file' ? `file “${name}”` : 'demo phrase'} with its tail…`);
  try {
    const started = performance.now();
    const { left, right } = await renderOffline(engine, samples, sampleRate, pedal.settings());
    const blob = encodeWavFloat([left, right], sampleRate);
    const base = source === 'file' ? name.replace(/\.[^.]*$/, '') : 'demo';
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = `${base}-pelorvane.wav`;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    say(`Rendered ${(left.length / sampleRate).toFixed(1)} s (${(samples.length / sampleRate).toFixed(1)} s and its tail) in ${((performance.now() - started) / 1000).toFixed(1)} s: ${link.download}, 32-bit float WAV.`);
  } catch (error) {
    complain(`Rendering failed: ${error && error.message ? error.message : error}`);
  } finally {
    busy = false;
    refresh();
  }
}

async function openFile(chosen) {
  if (!chosen) return;
  complain('');
  say(`Opening “${chosen.name}”…`);
  try {
    file = await decodeFile(chosen, live.context ? live.context.sampleRate : 48000);
    ui.sourceFile.checked = true;
    say(`Opened “${file.name}”.${file.channels > 1 ? ' The pedal listens to its left channel, as the plug-in does.' : ''}`);
    if (playing && !ui.sourceLive.checked) await play();
  } catch (error) {
    complain(error instanceof UndecodableFile ? error.message : `“${chosen.name}” could not be opened: ${error && error.message ? error.message : error}`);
    say('');
  }
  refresh();
}

function wireControls() {
  ui.copyLink.addEventListener('click', copyLink);
  ui.copyLink.disabled = false;
  window.addEventListener('hashchange', () => openLink(location.hash));
  ui.play.addEventListener('click', () => (playing ? stop() : play()));
  ui.loop.addEventListener('change', () => live.setLoop(ui.loop.checked));
  ui.download.addEventListener('click', download);
  for (const radio of [ui.sourceDemo, ui.sourceFile, ui.sourceLive]) {
    radio.addEventListener('change', () => {
      refresh();
      if (playing) {
        live.stop();
        play();
      }
    });
  }
  ui.fileInput.addEventListener('change', async () => {
    await openFile(ui.fileInput.files[0]);
    ui.fileInput.value = ''; // the same file chosen again is opened again
  });
  live.onEnded = () => {
    if (playing && !ui.sourceLive.checked) {
      playing = false;
      say('Played to the end.');
      refresh();
    }
  };

  // A file dropped anywhere on the page.
  document.addEventListener('dragover', (e) => {
    if ([...(e.dataTransfer?.types || [])].includes('Files')) {
      e.preventDefault();
      document.body.classList.add('dropping');
    }
  });
  document.addEventListener('dragleave', (e) => {
    if (e.target === document.documentElement || e.relatedTarget === null) document.body.classList.remove('dropping');
  });
  document.addEventListener('drop', (e) => {
    document.body.classList.remove('dropping');
    if (e.dataTransfer?.files?.length) {
      e.preventDefault();
      openFile(e.dataTransfer.files[0]);
    }
  });
}

const api = {
  version: '2.0.0',
  timings,
  /** The factory presets: { name, description, settings } each, settings as render takes them. */
  presets: PRESETS,
  /** Renders input (left channel) at sampleRate with settings through a fresh engine. */
  async render(input, sampleRate, settings = {}) {
    await api.ready;
    const { left, right } = await renderOffline(engine, input, sampleRate, settings);
    return { left, right };
  },
  setParameters(settings) {
    pedal.set(settleSettings(settings, pedal.settings()));
    return api.getParameters();
  },
  getParameters() {
    return { ...pedal.settings() };
  },
  /** The page's address with the current settings, which opens the page at them. */
  link() {
    return linkFor(pedal.settings(), location.href);
  },
  /** The renderer's demo phrase: a promise of { samples, sampleRate }. */
  async demoPhrase() {
    await api.ready;
    const { samples, sampleRate } = await demo();
    return { samples: samples.slice(), sampleRate };
  },
  /** The engine's own parameter arithmetic (C++, checked against the plug-in's framework). */
  engineSettle(value, max, step) {
    return engine.settle(value, max, step);
  },
};

api.ready = (async () => {
  try {
    const loading = loadEngine(new URL('../pelorvane.wasm', import.meta.url).href).then((loaded) => {
      engine = loaded;
      demo();
      return loaded;
    });
    const [loaded, built] = await Promise.all([
      loading,
      Pedal.create(ui.pedal, 'images/', (settings) => {
        live?.setSettings(settings);
        menu?.show(settings);
      }),
    ]);
    engine = loaded;
    pedal = built;
    // A preset sets the knobs as setParameters does and leaves Bypass as it is.
    menu = new PresetMenu(ui.preset, ui.presetHint, (preset) => pedal.set(settleSettings(preset.settings, pedal.settings())));
    if (location.hash) openLink(location.hash);
    menu.show(pedal.settings());
    live = new LivePedal(engine, pedal.settings());
    live.onFirstSound = () => {
      timings.firstSound = performance.now();
    };
    wireControls();
    timings.ready = performance.now();
    ui.play.disabled = false;
    say('Ready: press Play to hear the demo phrase through the pedal, or open one of your own files.');
    refresh();
  } catch (error) {
    complain(`The page could not start: ${error && error.message ? error.message : error}`);
    throw error;
  }
})();

window.pelorvane = api;
