// The worklet's cost per 128-frame quantum in headless chromium beside the native build of the
// same engine, and what the page weighs and how soon it sounds (scripts/web-bench.sh). Not a
// test: it asserts nothing.
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { launchChromium, openPage, root, startSite } from './support.mjs';

const build = process.env.PELORVANE_WEB_BUILD || join(root, 'build-web');
const native = execFileSync(join(build, 'native/pelorvane-web-bench'), ['20'], { encoding: 'utf8' });

const site = await startSite();
const browser = await launchChromium();
try {
  // First load: every byte the page fetches, and the time from navigation to the first sound
  // when Play is pressed as soon as the page is ready (the served files are not compressed).
  const weighing = await browser.newContext();
  const first = await weighing.newPage();
  let bytes = 0;
  const files = [];
  first.on('response', async (response) => {
    const body = await response.body().catch(() => Buffer.alloc(0));
    bytes += body.length;
    files.push([new URL(response.url()).pathname, body.length]);
  });
  await first.goto(site.url);
  await first.evaluate(() => window.pelorvane.ready);
  await first.click('#play');
  const timings = await first.evaluate(async () => {
    while (window.pelorvane.timings.firstSound === undefined) await new Promise((r) => setTimeout(r, 5));
    return window.pelorvane.timings;
  });
  const navigation = await first.evaluate(() => performance.getEntriesByType('navigation')[0].toJSON());
  await weighing.close();
  if (process.env.PELORVANE_LIST_FILES) console.log(files);
  console.log(`First load: ${(bytes / 1e6).toFixed(2)} MB in ${files.length} files (largest: ${files.sort((a, b) => b[1] - a[1]).slice(0, 3).map(([f, n]) => `${f} ${(n / 1e3).toFixed(0)} kB`).join(', ')})`);
  console.log(`Ready to play ${timings.ready.toFixed(0)} ms after navigation (page loaded ${navigation.loadEventEnd.toFixed(0)} ms); first sound ${timings.firstSound.toFixed(0)} ms after navigation, Play pressed when ready\n`);

  const page = await openPage(browser, `${site.url}bench.html`, { ready: false });
  const result = await page.evaluate(async () => {
    const { benchmark, describe } = await import('./js/bench.js');
    const r = await benchmark();
    return { r, text: describe(r) };
  });
  const version = await browser.version();
  console.log(`Pelorvane's engine, WebAssembly in chromium ${version} (headless) beside the same C interface built natively\n`);
  console.log(result.text);
  console.log('');
  process.stdout.write(native);
  const sse2 = Number((native.match(/native SSE2\s+([\d.]+) ns per sample/) || [])[1]);
  const avx2 = Number((native.match(/native AVX2\s+([\d.]+) ns per sample/) || [])[1]);
  const wasm = result.r.workletNsPerSample;
  console.log('');
  if (sse2) console.log(`worklet / native SSE2: ${(wasm / sse2).toFixed(2)}x per sample`);
  if (avx2) console.log(`worklet / native AVX2: ${(wasm / avx2).toFixed(2)}x per sample`);
} finally {
  await browser.close();
  site.server.close();
}
