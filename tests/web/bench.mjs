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
  const figure = (path, which) => Number((native.match(new RegExp(`native ${path}\\s+([\\d.]+) ns per sample.*best ([\\d.]+)`)) || [])[which]);
  console.log('');
  for (const path of ['SSE2', 'AVX2']) {
    if (!figure(path, 1)) continue;
    console.log(`worklet / native ${path}: ${(result.r.workletNsPerSample / figure(path, 1)).toFixed(2)}x per sample (medians), ${(result.r.workletBestNsPerSample / figure(path, 2)).toFixed(2)}x (best runs)`);
  }
} finally {
  await browser.close();
  site.server.close();
}
