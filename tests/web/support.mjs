// What the web tests share: the built site served on a free local port, Debian's chromium
// through playwright-core, the native renderer, and WAV files.
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync, writeFileSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serve } from '../../scripts/serve-web.mjs';

export const root = resolve(dirname(fileURLToPath(import.meta.url)), '../..');
export const siteDir = resolve(process.env.PELORVANE_WEB_SITE || join(root, 'build-web/site'));
export const renderer = resolve(process.env.PELORVANE_RENDER || join(root, 'build/tools/render/pelorvane-render'));

export async function startSite() {
  if (!existsSync(join(siteDir, 'index.html'))) throw new Error(`no built site in ${siteDir}: run scripts/build-web.sh first`);
  const server = await serve(siteDir, 0, '127.0.0.1');
  return { server, url: `http://localhost:${server.address().port}/` };
}

export async function launchChromium() {
  const args = ['--autoplay-policy=no-user-gesture-required', '--use-fake-device-for-media-stream', '--mute-audio'];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  return chromium.launch({ executablePath: process.env.PELORVANE_CHROMIUM || '/usr/bin/chromium', headless: true, args });
}

/** A page with its console errors and uncaught exceptions collected in page.problems. */
export async function openPage(browser, url, options = {}) {
  const context = await browser.newContext({ acceptDownloads: true, deviceScaleFactor: options.deviceScaleFactor || 1, viewport: { width: 1200, height: 940 }, ...options.context });
  const page = await context.newPage();
  page.problems = [];
  page.on('console', (message) => {
    if (message.type() === 'error') page.problems.push(`console error: ${message.text()}`);
  });
  page.on('pageerror', (error) => page.problems.push(`uncaught: ${error.message}`));
  // The link buttons point at the maker's site; nothing leaves this machine.
  await context.route((u) => /^https?:$/.test(u.protocol) && !/^(localhost|127\.0\.0\.1)$/.test(u.hostname), (route) => route.fulfill({ status: 204, body: '' }));
  await page.goto(url);
  if (options.ready !== false) await page.evaluate(() => window.pelorvane.ready);
  return page;
}

/** The channels of a WAV file (PCM 16/24/32 or float 32), as Float32Arrays, and its rate. */
export function readWav(bytes) {
  const b = Buffer.isBuffer(bytes) ? bytes : Buffer.from(bytes);
  if (b.toString('ascii', 0, 4) !== 'RIFF' || b.toString('ascii', 8, 12) !== 'WAVE') throw new Error('not a WAV file');
  let format;
  let data;
  for (let p = 12; p + 8 <= b.length;) {
    const id = b.toString('ascii', p, p + 4);
    const size = b.readUInt32LE(p + 4);
    if (id === 'fmt ') {
      let tag = b.readUInt16LE(p + 8);
      if (tag === 0xfffe) tag = b.readUInt16LE(p + 8 + 24);
      format = { tag, channels: b.readUInt16LE(p + 10), rate: b.readUInt32LE(p + 12), bits: b.readUInt16LE(p + 22) };
    } else if (id === 'data') {
      data = b.subarray(p + 8, p + 8 + size);
    }
    p += 8 + size + (size & 1);
  }
  const frames = data.length / (format.channels * (format.bits / 8));
  const channels = Array.from({ length: format.channels }, () => new Float32Array(frames));
  const step = format.bits / 8;
  for (let i = 0, o = 0; i < frames; ++i) {
    for (let c = 0; c < format.channels; ++c, o += step) {
      let v;
      if (format.tag === 3) v = data.readFloatLE(o);
      else if (format.bits === 16) v = data.readInt16LE(o) / 32768;
      else if (format.bits === 24) v = data.readIntLE(o, 3) / 8388608;
      else v = data.readInt32LE(o) / 2147483648;
      channels[c][i] = v;
    }
  }
  return { rate: format.rate, channels };
}

/** A 32-bit float WAV file of the given channels. */
export function writeWavFloat(path, channels, rate) {
  const frames = channels[0].length;
  const n = channels.length;
  const b = Buffer.alloc(44 + frames * n * 4);
  b.write('RIFF', 0, 'ascii');
  b.writeUInt32LE(b.length - 8, 4);
  b.write('WAVEfmt ', 8, 'ascii');
  b.writeUInt32LE(16, 16);
  b.writeUInt16LE(3, 20);
  b.writeUInt16LE(n, 22);
  b.writeUInt32LE(rate, 24);
  b.writeUInt32LE(rate * n * 4, 28);
  b.writeUInt16LE(n * 4, 32);
  b.writeUInt16LE(32, 34);
  b.write('data', 36, 'ascii');
  b.writeUInt32LE(frames * n * 4, 40);
  for (let i = 0, o = 44; i < frames; ++i) for (let c = 0; c < n; ++c, o += 4) b.writeFloatLE(channels[c][i], o);
  writeFileSync(path, b);
}

/** pelorvane-render --float of a file (or the demo phrase when input is null); settings.preset
    names a factory preset for --preset, the knobs given go on top of it. */
export function renderNatively(input, output, settings) {
  const args = [];
  if (input) args.push(input);
  args.push('-o', output, '--float');
  if (settings.preset) args.push('--preset', settings.preset);
  for (const name of ['space', 'lumens', 'tone', 'mix']) if (settings[name] !== undefined) args.push(`--${name}`, String(settings[name]));
  if (settings.bypass) args.push('--bypass');
  execFileSync(renderer, args, { stdio: ['ignore', 'ignore', 'pipe'] });
  return readWav(readFileSync(output));
}

/** The factory presets as pelorvane-render --list-presets lists them. */
export function presetsOfRenderer() {
  const listed = execFileSync(renderer, ['--list-presets'], { encoding: 'utf8' });
  const line = /^ {2}(.+?) +Space +([\d.]+) +Lumens +([\d.]+) +Tone +([\d.]+) +Mix +(\d+) % {2}(.+)$/;
  return listed.split('\n').filter((l) => line.test(l)).map((l) => {
    const [, name, space, lumens, tone, mix, description] = l.match(line);
    return { name, description, settings: { space: Number(space), lumens: Number(lumens), tone: Number(tone), mix: Number(mix) } };
  });
}

/** Where two renders part: null when equal sample for sample (and in length). */
export function firstDifference(a, b) {
  if (a.length !== b.length) return `lengths differ: ${a.length} and ${b.length} samples`;
  for (let i = 0; i < a.length; ++i) {
    if (!Object.is(a[i], b[i]) && !(a[i] === 0 && b[i] === 0)) return `sample ${i}: ${a[i]} and ${b[i]}`;
  }
  return null;
}

/** A 16-bit PCM WAV file of the given channels (values clipped to the 16-bit range). */
export function writeWavPcm16(path, channels, rate) {
  const frames = channels[0].length;
  const n = channels.length;
  const b = Buffer.alloc(44 + frames * n * 2);
  b.write('RIFF', 0, 'ascii');
  b.writeUInt32LE(b.length - 8, 4);
  b.write('WAVEfmt ', 8, 'ascii');
  b.writeUInt32LE(16, 16);
  b.writeUInt16LE(1, 20);
  b.writeUInt16LE(n, 22);
  b.writeUInt32LE(rate, 24);
  b.writeUInt32LE(rate * n * 2, 28);
  b.writeUInt16LE(n * 2, 32);
  b.writeUInt16LE(16, 34);
  b.write('data', 36, 'ascii');
  b.writeUInt32LE(frames * n * 2, 40);
  for (let i = 0, o = 44; i < frames; ++i)
    for (let c = 0; c < n; ++c, o += 2) b.writeInt16LE(Math.max(-32768, Math.min(32767, Math.round(channels[c][i] * 32767))), o);
  writeFileSync(path, b);
}
