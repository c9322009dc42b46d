// Pelorvane's web page in Debian's headless chromium (playwright-core): its audio against
// pelorvane-render --float, the pedal's gestures against the plug-in's editor, its factory
// presets and links against the renderer's, keyboard and screen-reader access, files and links
// it cannot read, live input, and a console free of errors.
// Run by scripts/test-web.sh (after scripts/build-web.sh and the native build).
import assert from 'node:assert/strict';
import { mkdirSync, mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join } from 'node:path';
import { after, before, describe, test } from 'node:test';
import { firstDifference, launchChromium, openPage, presetsOfRenderer, readWav, renderNatively, siteDir, startSite, writeWavFloat, writeWavPcm16 } from './support.mjs';

const siteDirParent = () => dirname(siteDir);

const scratch = mkdtempSync(join(tmpdir(), 'pelorvane-web-'));
let site;
let browser;

before(async () => {
  site = await startSite();
  browser = await launchChromium();
});

after(async () => {
  await browser?.close();
  site?.server.close();
  rmSync(scratch, { recursive: true, force: true });
});

/** A short stereo take: a plucked chord and a noise burst on the left, something else on the
    right (which the plug-in and the page must both ignore). */
function shortTake(rate) {
  const length = Math.round(1.5 * rate);
  const left = new Float32Array(length);
  const right = new Float32Array(length);
  let seed = 12345;
  const noise = () => ((seed = (seed * 1103515245 + 12345) >>> 0) / 2 ** 32) * 2 - 1;
  for (let i = 0; i < length; ++i) {
    const t = i / rate;
    const pluck = [220, 277.18, 329.63].reduce((s, f) => s + Math.sin(2 * Math.PI * f * t), 0) * Math.exp(-3 * t) * 0.2;
    const burst = t > 0.8 && t < 0.9 ? noise() * 0.3 : 0;
    left[i] = pluck + burst;
    right[i] = Math.sin(2 * Math.PI * 1000 * t) * 0.5;
  }
  return [left, right];
}

async function downloadFrom(page) {
  const [download] = await Promise.all([page.waitForEvent('download', { timeout: 30000 }), page.click('#download')]);
  return readWav(readFileSync(await download.path()));
}

function assertSameAudio(pageChannels, nativeChannels, what) {
  for (const [c, side] of [[0, 'left'], [1, 'right']]) {
    const difference = firstDifference(pageChannels[c], nativeChannels[c]);
    assert.equal(difference, null, `${what}, ${side} channel: ${difference}`);
  }
}

const SETTINGS = [
  { name: 'Space 7, Lumens 8, Tone 3.7, Mix 40', values: { space: 7, lumens: 8, tone: 3.7, mix: 40 } },
  { name: 'bypassed (Space 9)', values: { space: 9, bypass: true } },
];

describe('the page sounds as pelorvane-render --float', () => {
  for (const settings of SETTINGS) {
    test(`demo phrase, ${settings.name}: the Download and window.pelorvane.render`, async () => {
      const page = await openPage(browser, site.url);
      await page.evaluate((s) => window.pelorvane.setParameters(s), settings.values);
      const native = renderNatively(null, join(scratch, 'demo.wav'), settings.values);

      const downloaded = await downloadFrom(page);
      assert.equal(downloaded.rate, 48000);
      assertSameAudio(downloaded.channels, native.channels, 'demo phrase (Download)');

      const rendered = await page.evaluate(async (s) => {
        const demo = await window.pelorvane.demoPhrase();
        const { left, right } = await window.pelorvane.render(demo.samples, demo.sampleRate, s);
        const base64 = (a) => {
          const bytes = new Uint8Array(a.buffer, a.byteOffset, a.byteLength);
          let text = '';
          for (let i = 0; i < bytes.length; i += 32768) text += String.fromCharCode(...bytes.subarray(i, i + 32768));
          return btoa(text);
        };
        return [base64(left), base64(right)];
      }, settings.values);
      const channels = rendered.map((b) => {
        const bytes = Buffer.from(b, 'base64');
        return new Float32Array(bytes.buffer, bytes.byteOffset, bytes.length / 4);
      });
      assertSameAudio(channels, native.channels, 'demo phrase (window.pelorvane.render)');
      assert.deepEqual(page.problems, []);
      await page.context().close();
    });

    for (const rate of [44100, 48000]) {
      test(`a short stereo file at ${rate} Hz, ${settings.name}: opened and downloaded`, async () => {
        const file = join(scratch, `take-${rate}.wav`);
        writeWavFloat(file, shortTake(rate), rate);
        const native = renderNatively(file, join(scratch, `take-${rate}-native.wav`), settings.values);

        const page = await openPage(browser, site.url);
        await page.setInputFiles('#file-input', file);
        await page.waitForFunction(() => document.querySelector('#source-file').checked);
        await page.evaluate((s) => window.pelorvane.setParameters(s), settings.values);
        const downloaded = await downloadFrom(page);
        assert.equal(downloaded.rate, rate);
        assertSameAudio(downloaded.channels, native.channels, `file at ${rate} Hz`);
        assert.deepEqual(page.problems, []);
        await page.context().close();
      });
    }
  }

  test('a 16-bit file: its samples converted as the renderer converts them (browsers scale positive ones by 1/32767)', async () => {
    const file = join(scratch, 'take-16bit.wav');
    writeWavPcm16(file, shortTake(44100), 44100);
    const values = SETTINGS[0].values;
    const native = renderNatively(file, join(scratch, 'take-16bit-native.wav'), values);
    const page = await openPage(browser, site.url);
    await page.setInputFiles('#file-input', file);
    await page.waitForFunction(() => document.querySelector('#source-file').checked);
    await page.evaluate((s) => window.pelorvane.setParameters(s), values);
    assertSameAudio((await downloadFrom(page)).channels, native.channels, '16-bit file');
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test("the page's parameter arithmetic is the engine's (which is the plug-in's)", async () => {
    const page = await openPage(browser, site.url);
    const mismatches = await page.evaluate(async () => {
      const { settle } = await import('./js/params.js');
      const found = [];
      let seed = 7;
      const random = () => ((seed = (seed * 1664525 + 1013904223) >>> 0) / 2 ** 32);
      for (const [max, step] of [[10, 0.1], [100, 1]]) {
        const values = [];
        for (let k = 0; k <= 1000; ++k) values.push((k * max) / 1000, (k * max) / 1000 + 1e-4, random() * max * 1.2 - max * 0.1);
        for (const v of values) {
          const page = settle(v, max, step);
          const engine = window.pelorvane.engineSettle(v, max, step);
          if (page !== engine) found.push({ v, max, page, engine });
        }
      }
      return found;
    });
    assert.deepEqual(mismatches, []);
    await page.context().close();
  });
});

/** The white pointer's direction in a knob's frame, in degrees clockwise from straight up. */
async function pointerAngle(page, id) {
  return page.evaluate((knobId) => {
    const canvas = document.querySelector(`#knob-${knobId} canvas`);
    const { width, height } = canvas;
    const data = canvas.getContext('2d').getImageData(0, 0, width, height).data;
    let sx = 0;
    let sy = 0;
    let n = 0;
    for (let y = 0; y < height; ++y)
      for (let x = 0; x < width; ++x) {
        const i = (y * width + x) * 4;
        if (data[i + 3] > 200 && data[i] > 200) {
          sx += x;
          sy += y;
          ++n;
        }
      }
    const centre = width / 2;
    return (Math.atan2(sx / n - centre, centre - sy / n) * 180) / Math.PI;
  }, id);
}

describe('the pedal does what the plug-in does', () => {
  test('a knob: a vertical drag (250 px for the range) with the value box, a double-click back to the default', async () => {
    const page = await openPage(browser, site.url);
    const knob = page.locator('#knob-space');
    const box = await knob.boundingBox();
    const x = box.x + 45;
    const y = box.y + 45;

    assert.equal(await knob.getAttribute('data-frame'), '50');
    assert.ok(Math.abs(await pointerAngle(page, 'space')) < 8, 'frame 50 points straight up');

    await page.mouse.move(x, y);
    await page.mouse.down();
    for (let step = 1; step <= 10; ++step) await page.mouse.move(x, y - 5 * step);
    // 50 px up: 5.0 + 50 / 250 of the range = 7.0, frame ceil (0.7 * 99) = 70.
    assert.equal(await page.locator('#knob-space .value-box').isVisible(), true);
    assert.equal(await page.locator('#knob-space .value-box').textContent(), '7.0');
    await page.mouse.up();
    assert.equal(await page.locator('#knob-space .value-box').isVisible(), false);
    assert.equal((await page.evaluate(() => window.pelorvane.getParameters())).space, 7);
    assert.equal(await knob.getAttribute('data-frame'), '70');
    assert.equal(await knob.getAttribute('aria-valuetext'), '7.0');
    const angle = await pointerAngle(page, 'space');
    assert.ok(Math.abs(angle - (-150 + 3 * 70)) < 8, `frame 70 points at 60 degrees, not ${angle}`);

    // Far past the top: the maximum, frame 99.
    await page.mouse.move(x, y);
    await page.mouse.down();
    await page.mouse.move(x, y - 400, { steps: 8 });
    await page.mouse.up();
    assert.equal((await page.evaluate(() => window.pelorvane.getParameters())).space, 10);
    assert.equal(await knob.getAttribute('data-frame'), '99');

    await knob.dblclick();
    assert.equal((await page.evaluate(() => window.pelorvane.getParameters())).space, 5);
    assert.equal(await knob.getAttribute('data-frame'), '50');

    // Mix: 0 to 100 in steps of 1, its box with a percent sign; 10 px down is 4 steps.
    const mix = page.locator('#knob-mix');
    const mixBox = await mix.boundingBox();
    await page.mouse.move(mixBox.x + 45, mixBox.y + 45);
    await page.mouse.down();
    await page.mouse.move(mixBox.x + 45, mixBox.y + 55, { steps: 2 });
    assert.equal(await page.locator('#knob-mix .value-box').textContent(), '46%');
    await page.mouse.up();
    assert.equal((await page.evaluate(() => window.pelorvane.getParameters())).mix, 46);
    assert.equal(await mix.getAttribute('data-frame'), String(Math.ceil(0.46 * 99)));
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('the footswitch: its body switches Bypass and the lamp, its transparent surround does nothing', async () => {
    const page = await openPage(browser, site.url);
    const pedal = await page.locator('#pedal').boundingBox();
    const state = () => page.evaluate(() => ({
      bypass: window.pelorvane.getParameters().bypass,
      checked: document.querySelector('#footswitch').getAttribute('aria-checked'),
      switchShows: document.querySelector('#footswitch').dataset.state,
      lampLit: document.querySelector('#lamp').dataset.lit,
    }));
    assert.deepEqual(await state(), { bypass: false, checked: 'false', switchShows: 'up', lampLit: 'true' });

    // Inside the switch's 180 x 180 bounds but off its body: a corner, and the shadow below it.
    for (const [x, y] of [[230, 446], [315, 600], [240, 531]]) {
      await page.mouse.click(pedal.x + x, pedal.y + y);
      assert.deepEqual(await state(), { bypass: false, checked: 'false', switchShows: 'up', lampLit: 'true' }, `a click at ${x}, ${y}`);
    }

    // On the body (window coordinates about 263 to 366 by 479 to 582).
    await page.mouse.click(pedal.x + 315, pedal.y + 531);
    assert.deepEqual(await state(), { bypass: true, checked: 'true', switchShows: 'down', lampLit: 'false' });
    await page.mouse.click(pedal.x + 230, pedal.y + 446);
    assert.deepEqual(await state(), { bypass: true, checked: 'true', switchShows: 'down', lampLit: 'false' });
    await page.mouse.click(pedal.x + 280, pedal.y + 500);
    assert.deepEqual(await state(), { bypass: false, checked: 'false', switchShows: 'up', lampLit: 'true' });

    // Held on the body it shows the pressed switch; released off the body it switches nothing.
    await page.mouse.move(pedal.x + 315, pedal.y + 531);
    await page.mouse.down();
    assert.equal((await state()).switchShows, 'down');
    await page.mouse.move(pedal.x + 315, pedal.y + 700);
    await page.mouse.up();
    assert.deepEqual(await state(), { bypass: false, checked: 'false', switchShows: 'up', lampLit: 'true' });

    // The lamp held down shows lit, even while bypassed, and switches nothing.
    await page.mouse.click(pedal.x + 315, pedal.y + 531);
    await page.mouse.move(pedal.x + 400, pedal.y + 529);
    await page.mouse.down();
    assert.deepEqual(await state(), { bypass: true, checked: 'true', switchShows: 'down', lampLit: 'true' });
    await page.mouse.up();
    assert.deepEqual(await state(), { bypass: true, checked: 'true', switchShows: 'down', lampLit: 'false' });
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('the link buttons open the maker’s two pages', async () => {
    const page = await openPage(browser, site.url);
    assert.equal(await page.locator('a.link.share').getAttribute('href'), 'https://www.example.com/pages/pelorvane-share-plugin');
    assert.equal(await page.locator('a.link.board').getAttribute('href'), 'https://www.example.com/pages/add-pelorvane-to-your-board');
    const [request] = await Promise.all([page.context().waitForEvent('request', (r) => r.url().startsWith('https://')), page.locator('a.link.share').click()]);
    assert.equal(request.url(), 'https://www.example.com/pages/pelorvane-share-plugin');
    await page.context().close();
  });
});

/** What the preset menu shows and says: the closed menu's text and the hint beside it. */
const menuState = (page) => page.evaluate(() => {
  const menu = document.querySelector('#preset');
  return { shows: menu.selectedOptions[0].textContent, hint: document.querySelector('#preset-hint').textContent };
});

describe('presets and links', () => {
  test("the menu offers the renderer's factory presets, named and described, and window.pelorvane.presets holds them", async () => {
    const listed = presetsOfRenderer();
    assert.equal(listed.length, 12);
    const page = await openPage(browser, site.url);
    const offered = await page.evaluate(() => ({
      presets: window.pelorvane.presets,
      entries: [...document.querySelectorAll('#preset option:not([hidden])')].map((o) => ({ name: o.textContent, description: o.title })),
    }));
    const oneDecimal = ({ name, description, settings }) => ({ name, description, settings: Object.fromEntries(Object.entries(settings).map(([k, v]) => [k, Number(v.toFixed(1))])) });
    assert.deepEqual(offered.presets.map(oneDecimal), listed);
    assert.deepEqual(offered.entries, listed.map(({ name, description }) => ({ name, description })));
    // The defaults are every knob at noon: the page opens on that preset.
    assert.deepEqual(await menuState(page), { shows: 'Home Position', hint: listed[3].description });
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('a preset chosen sets the knobs and leaves Bypass; a knob turned shows it changed; chosen again it is back', async () => {
    const page = await openPage(browser, site.url);
    const glass = await page.evaluate(() => window.pelorvane.presets.find((p) => p.name === 'Glass Halo'));
    await page.evaluate(() => window.pelorvane.setParameters({ bypass: true }));
    await page.selectOption('#preset', 'Glass Halo');
    assert.deepEqual(await page.evaluate(() => window.pelorvane.getParameters()), { ...glass.settings, bypass: true });
    assert.equal(await page.getByRole('slider', { name: 'Space' }).getAttribute('aria-valuetext'), '6.5');
    assert.deepEqual(await menuState(page), { shows: 'Glass Halo', hint: glass.description });

    await page.getByRole('slider', { name: 'Mix' }).focus();
    await page.keyboard.press('ArrowUp');
    assert.deepEqual(await menuState(page), { shows: 'Glass Halo (changed)', hint: 'Changed from Glass Halo; choose it again to go back to it.' });
    assert.equal(await page.locator('#preset-hint').getAttribute('aria-live'), 'polite');
    await page.selectOption('#preset', 'Glass Halo');
    assert.deepEqual(await page.evaluate(() => window.pelorvane.getParameters()), { ...glass.settings, bypass: true });
    // Knobs turned onto a preset's values name that preset.
    await page.evaluate(() => window.pelorvane.setParameters({ space: 3, lumens: 3, tone: 7, mix: 25 }));
    assert.equal((await menuState(page)).shows, 'Sparkle');
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('a link opens its sound: a preset by name in any case with a value on top, heard as pelorvane-render --preset', async () => {
    const page = await openPage(browser, `${site.url}#preset=glass%20HALO&mix=30`);
    assert.deepEqual(await page.evaluate(() => window.pelorvane.getParameters()), { space: 6.5, lumens: 8, tone: 8.5, mix: 30, bypass: false });
    assert.equal((await menuState(page)).shows, 'Glass Halo (changed)');
    assert.equal(await page.locator('#link-note').isHidden(), true);
    const native = renderNatively(null, join(scratch, 'demo-glass-halo.wav'), { preset: 'Glass Halo', mix: 30 });
    assertSameAudio((await downloadFrom(page)).channels, native.channels, 'demo phrase at Glass Halo, Mix 30 (from a link)');

    // Values clamped into their ranges and put on their steps; the rest at the defaults.
    await page.evaluate(() => { location.hash = '#space=12&mix=-5&tone=3.04&bypass=on'; });
    await page.waitForFunction(() => window.pelorvane.getParameters().bypass);
    assert.deepEqual(await page.evaluate(() => window.pelorvane.getParameters()), { space: 10, lumens: 5, tone: Math.fround(3), mix: 0, bypass: true });
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('link () round-trips every step of every knob, and Copy link copies it', async () => {
    const page = await openPage(browser, site.url, { context: { permissions: ['clipboard-read', 'clipboard-write'] } });
    const mismatches = await page.evaluate(async () => {
      const { readLink } = await import('./js/link.js');
      const { settleSettings, DEFAULTS } = await import('./js/params.js');
      const found = [];
      for (let k = 0; k <= 100; ++k) {
        const given = { space: k / 10, lumens: (100 - k) / 10, tone: ((k * 37) % 101) / 10, mix: (k * 53) % 101, bypass: k % 2 === 1 };
        const settings = window.pelorvane.setParameters(given);
        const link = window.pelorvane.link();
        const opened = settleSettings(readLink(new URL(link).hash).settings, DEFAULTS);
        if (JSON.stringify(opened) !== JSON.stringify(settings)) found.push({ link, settings, opened });
      }
      return found;
    });
    assert.deepEqual(mismatches, []);

    await page.evaluate(() => window.pelorvane.setParameters({ space: 7.3, lumens: 2, tone: 9.1, mix: 33, bypass: true }));
    const link = await page.evaluate(() => window.pelorvane.link());
    assert.equal(link, `${site.url}#space=7.3&lumens=2&tone=9.1&mix=33&bypass=1`);
    await page.click('#copy-link');
    await page.waitForFunction(() => /Copied/.test(document.querySelector('#link-note').textContent));
    assert.equal(await page.evaluate(() => navigator.clipboard.readText()), link);

    const opened = await openPage(browser, link);
    assert.deepEqual(await opened.evaluate(() => window.pelorvane.getParameters()), await page.evaluate(() => window.pelorvane.getParameters()));
    assert.equal((await menuState(opened)).shows, 'Your own settings');
    assert.deepEqual([...page.problems, ...opened.problems], []);
    await opened.context().close();
    await page.context().close();
  });
});

describe('everyone can use it', () => {
  test('keyboard: every control in order, knobs as sliders, the footswitch as a toggle, with names and values', async () => {
    const page = await openPage(browser, site.url);
    const order = [];
    for (let k = 0; k < 10; ++k) {
      await page.keyboard.press('Tab');
      order.push(await page.evaluate(() => {
        const e = document.activeElement;
        return e.id || e.className || e.tagName;
      }));
    }
    assert.deepEqual(order.slice(0, 7), ['knob-space', 'knob-lumens', 'knob-tone', 'knob-mix', 'footswitch', 'link share', 'link board']);
    assert.deepEqual(order.slice(7), ['preset', 'copy-link', 'source-demo']);

    const space = page.getByRole('slider', { name: 'Space' });
    await space.focus();
    assert.equal(await space.evaluate((e) => getComputedStyle(e, '::after').outlineStyle), 'solid', 'visible focus');
    await page.keyboard.press('ArrowUp');
    assert.equal(await space.getAttribute('aria-valuetext'), '5.1');
    await page.keyboard.press('PageUp');
    assert.equal(await space.getAttribute('aria-valuetext'), '6.1');
    await page.keyboard.press('ArrowDown');
    assert.equal(await space.getAttribute('aria-valuetext'), '6.0');
    await page.keyboard.press('Home');
    assert.equal(await space.getAttribute('aria-valuetext'), '0.0');
    assert.equal(await space.getAttribute('data-frame'), '0');
    await page.keyboard.press('End');
    assert.equal(await space.getAttribute('aria-valuetext'), '10.0');
    assert.equal(await space.getAttribute('data-frame'), '99');

    const mix = page.getByRole('slider', { name: 'Mix' });
    assert.equal(await mix.getAttribute('aria-valuetext'), '50 %');
    await mix.focus();
    await page.keyboard.press('PageDown');
    assert.equal(await mix.getAttribute('aria-valuetext'), '40 %');
    assert.equal((await page.evaluate(() => window.pelorvane.getParameters())).mix, 40);

    const bypass = page.getByRole('switch', { name: 'Bypass' });
    assert.equal(await bypass.getAttribute('aria-checked'), 'false');
    await bypass.focus();
    await page.keyboard.press('Space');
    assert.equal(await bypass.getAttribute('aria-checked'), 'true');
    assert.equal(await page.locator('#lamp').getAttribute('data-lit'), 'false');
    await page.keyboard.press('Enter');
    assert.equal(await bypass.getAttribute('aria-checked'), 'false');

    const tree = await page.locator('#pedal').ariaSnapshot();
    for (const line of ['slider "Space"', 'slider "Lumens"', 'slider "Tone"', 'slider "Mix"', 'switch "Bypass"', 'link "Share Pelorvane']) assert.ok(tree.includes(line), `${line} in\n${tree}`);

    // The preset menu: a labelled menu that the arrow keys move through, each preset heard at once.
    const menu = page.getByRole('combobox', { name: 'Preset' });
    await menu.focus();
    await menu.selectOption('Glass Halo');
    await page.keyboard.press('ArrowDown');
    assert.equal(await menu.inputValue(), 'Ember Glow');
    assert.equal((await page.evaluate(() => window.pelorvane.getParameters())).tone, 1.5);
    assert.equal(await menu.getAttribute('aria-describedby'), 'preset-hint');
    assert.match(await page.locator('#preset-hint').textContent(), /^Dark shimmer/);
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });
});

describe('it keeps working', () => {
  test('a damaged file gives a message, and the page goes on playing and rendering', async () => {
    const page = await openPage(browser, site.url);
    const garbage = Buffer.alloc(4000);
    garbage.write('RIFF\x00\x10\x00\x00WAVEfmt ', 0, 'latin1');
    for (let i = 20; i < garbage.length; ++i) garbage[i] = (i * 7919) % 251;
    await page.setInputFiles('#file-input', { name: 'broken-take.wav', mimeType: 'audio/wav', buffer: garbage });
    await page.waitForSelector('#problem:not([hidden])');
    assert.match(await page.locator('#problem').textContent(), /broken-take\.wav.*could not be opened/);
    assert.equal(await page.locator('#source-demo').isChecked(), true);

    await page.click('#play');
    await page.waitForFunction(() => document.querySelector('#play').textContent === 'Stop');
    await page.waitForFunction(() => window.pelorvane.timings.firstSound !== undefined, null, { timeout: 20000 });
    await page.click('#play');
    const downloaded = await downloadFrom(page);
    assert.ok(downloaded.channels[0].length > 192000);
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('a link it cannot read leaves the page at its defaults, with a note naming what was left out', async () => {
    const page = await openPage(browser, `${site.url}#space=abc&preset=No%20Such%20Sound&mix=&foo=1&lumens=%E0%A4%A&tone&bypass=constructor&space=Infinity`);
    assert.deepEqual(await page.evaluate(() => window.pelorvane.getParameters()), { space: 5, lumens: 5, tone: 5, mix: 50, bypass: false });
    const note = await page.locator('#link-note').textContent();
    assert.match(note, /^Not understood in the link, so left out: “space=abc”, “preset=No Such Sound”, “mix=”, “foo=1” and 4 more\.$/);
    assert.equal(await page.locator('#link-note').getAttribute('role'), 'status');
    assert.equal(await page.locator('#problem').isHidden(), true);
    assert.equal(await page.locator('#play').isDisabled(), false);
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('a file dropped on the page is opened', async () => {
    const file = join(scratch, 'dropped.wav');
    writeWavFloat(file, shortTake(48000), 48000);
    const page = await openPage(browser, site.url);
    const bytes = readFileSync(file).toString('base64');
    await page.evaluate((data) => {
      const raw = Uint8Array.from(atob(data), (c) => c.charCodeAt(0));
      const transfer = new DataTransfer();
      transfer.items.add(new File([raw], 'dropped.wav', { type: 'audio/wav' }));
      document.querySelector('#pedal').dispatchEvent(new DragEvent('dragover', { dataTransfer: transfer, bubbles: true, cancelable: true }));
      document.querySelector('#pedal').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true, cancelable: true }));
    }, bytes);
    await page.waitForFunction(() => document.querySelector('#source-file').checked);
    assert.match(await page.locator('#file-name').textContent(), /dropped\.wav \(1\.5 s, 48000 Hz, left channel\)/);
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });

  test('live input: refused, a message and the page still works; allowed, the pedal listens', async () => {
    const page = await openPage(browser, site.url, { context: { permissions: [] } });
    await page.check('#source-live');
    assert.equal(await page.locator('#live-warning').isVisible(), true);
    assert.equal(await page.locator('#download').isDisabled(), true);
    await page.click('#play');
    await page.waitForSelector('#problem:not([hidden])');
    assert.match(await page.locator('#problem').textContent(), /not allowed|No live input/);
    assert.equal(await page.locator('#play').textContent(), 'Listen');
    await page.check('#source-demo');
    assert.equal(await page.locator('#download').isDisabled(), false);
    await page.context().close();

    const allowed = await openPage(browser, site.url, { context: { permissions: ['microphone'] } });
    await allowed.check('#source-live');
    await allowed.click('#play');
    await allowed.waitForFunction(() => document.querySelector('#play').textContent === 'Stop');
    assert.match(await allowed.locator('#status').textContent(), /Listening/);
    await allowed.click('#play');
    assert.deepEqual(allowed.problems, []);
    await allowed.context().close();
  });
});

describe('screenshots', () => {
  test('the page, the pedal at twice the density, bypassed, a knob turning, keyboard focus (build-web/artefacts/)', async () => {
    const dir = process.env.PELORVANE_WEB_ARTEFACTS || join(siteDirParent(), 'artefacts');
    mkdirSync(dir, { recursive: true });
    const page = await openPage(browser, site.url);
    await page.screenshot({ path: join(dir, 'web.png'), fullPage: true });
    await page.locator('#pedal').screenshot({ path: join(dir, 'web-pedal.png') });

    const sharp = await openPage(browser, site.url, { deviceScaleFactor: 2 });
    await sharp.locator('#pedal').screenshot({ path: join(dir, 'web-pedal-2x.png') });
    await sharp.context().close();

    const pedal = await page.locator('#pedal').boundingBox();
    await page.mouse.click(pedal.x + 315, pedal.y + 531);
    await page.locator('#pedal').screenshot({ path: join(dir, 'web-bypassed.png') });
    await page.mouse.click(pedal.x + 315, pedal.y + 531);

    const knob = await page.locator('#knob-lumens').boundingBox();
    await page.mouse.move(knob.x + 45, knob.y + 45);
    await page.mouse.down();
    await page.mouse.move(knob.x + 45, knob.y + 5, { steps: 4 });
    await page.locator('#pedal').screenshot({ path: join(dir, 'web-turning.png') });
    await page.mouse.up();

    await page.locator('body').click({ position: { x: 5, y: 5 } });
    for (let k = 0; k < 4; ++k) await page.keyboard.press('Tab');
    await page.locator('#pedal').screenshot({ path: join(dir, 'web-focus.png') });
    assert.deepEqual(page.problems, []);
    await page.context().close();
  });
});
