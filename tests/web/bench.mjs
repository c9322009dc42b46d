// The worklet's cost per 128-frame quantum in headless chromium beside the native build of the
// same engine (scripts/web-bench.sh). Not a test: it asserts nothing.
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';
import { launchChromium, openPage, root, startSite } from './support.mjs';

const build = process.env.PELORVANE_WEB_BUILD || join(root, 'build-web');
const native = execFileSync(join(build, 'native/pelorvane-web-bench'), ['20'], { encoding: 'utf8' });

const site = await startSite();
const browser = await launchChromium();
try {
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
