// What the page's engine costs in this browser (bench.html; scripts/web-bench.sh prints it beside
// the native build's figures):
//  - inside the AudioWorklet, the work of process() (input copied in, the engine's block job,
//    both outputs copied out) timed over many 128-frame quanta in a row;
//  - a whole offline rendering through the worklet, per quantum, less the same rendering through
//    a worklet that only copies its input (the browser's own cost of running a worklet).

import { engineNode, workletUrl } from './node.js';
import { loadEngine } from './wasm.js';
const passThrough = `registerProcessor('copy', class extends AudioWorkletProcessor {
  process(inputs, outputs) {
    const input = inputs[0];
    if (input.length > 0) { outputs[0][0].set(input[0]); outputs[0][1].set(input[0]); }
    return true;
  }
});`;

const SETTINGS = { space: 7, lumens: 8, tone: 4, mix: 40, bypass: false };

async function inWorklet(engine, input, quanta) {
  const context = new OfflineAudioContext({ numberOfChannels: 2, length: 128 * 4, sampleRate: 48000 });
  await context.audioWorklet.addModule(workletUrl);
  const node = engineNode(context, engine, SETTINGS, { benchmark: { quanta, input } });
  node.connect(context.destination);
  const result = new Promise((resolve) => { node.port.onmessage = (e) => resolve(e.data); });
  await context.startRendering();
  return result;
}

async function offline(engine, input, seconds, withEngine) {
  const sampleRate = 48000;
  const context = new OfflineAudioContext({ numberOfChannels: 2, length: Math.round(seconds * sampleRate), sampleRate });
  let node;
  if (withEngine) {
    await context.audioWorklet.addModule(workletUrl);
    node = engineNode(context, engine, SETTINGS);
  } else {
    await context.audioWorklet.addModule(URL.createObjectURL(new Blob([passThrough], { type: 'text/javascript' })));
    node = new AudioWorkletNode(context, 'copy', { channelCount: 1, channelCountMode: 'explicit', outputChannelCount: [2] });
  }
  const buffer = context.createBuffer(1, input.length, sampleRate);
  buffer.copyToChannel(input, 0);
  const source = context.createBufferSource();
  source.buffer = buffer;
  source.loop = true;
  source.connect(node);
  node.connect(context.destination);
  source.start();
  const started = performance.now();
  await context.startRendering();
  return (performance.now() - started) * 1e6 / (seconds * sampleRate / 128); // ns per quantum
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

export async function benchmark({ runs = 5, quanta = 20000, seconds = 60 } = {}) {
  const engine = await loadEngine(new URL('../pelorvane.wasm', import.meta.url).href);
  const { samples } = engine.demoPhrase();
  await inWorklet(engine, samples, 2000); // warm-up

  const worklet = [];
  for (let r = 0; r < runs; ++r) {
    const { milliseconds } = await inWorklet(engine, samples, quanta);
    worklet.push((milliseconds * 1e6) / quanta);
  }
  const withEngine = [];
  const withCopy = [];
  for (let r = 0; r < Math.max(3, Math.ceil(runs / 2)); ++r) {
    withEngine.push(await offline(engine, samples, seconds, true));
    withCopy.push(await offline(engine, samples, seconds, false));
  }
  const perQuantum = median(worklet);
  return {
    userAgent: navigator.userAgent,
    quanta,
    runs,
    workletNsPerQuantum: perQuantum,
    workletNsPerSample: perQuantum / 128,
    workletBestNsPerSample: Math.min(...worklet) / 128,
    offlineNsPerQuantum: median(withEngine),
    offlineCopyNsPerQuantum: median(withCopy),
  };
}

export function describe(r) {
  return [
    `AudioWorklet process() work, median of ${r.runs} runs of ${r.quanta} quanta (48 kHz, Space 7, Lumens 8, Tone 4, Mix 40):`,
    `  ${r.workletNsPerQuantum.toFixed(0)} ns per 128-frame quantum, ${r.workletNsPerSample.toFixed(2)} ns per sample (best run ${r.workletBestNsPerSample.toFixed(2)} ns per sample)`,
    `Offline rendering through the worklet: ${r.offlineNsPerQuantum.toFixed(0)} ns per quantum`,
    `  (through a worklet that only copies: ${r.offlineCopyNsPerQuantum.toFixed(0)} ns; the engine's share ${(r.offlineNsPerQuantum - r.offlineCopyNsPerQuantum).toFixed(0)} ns, ${((r.offlineNsPerQuantum - r.offlineCopyNsPerQuantum) / 128).toFixed(2)} ns per sample)`,
    `Real time at 48 kHz allows ${(1e9 / 48000 * 128).toFixed(0)} ns per quantum.`,
  ].join('\n');
}

const button = document.getElementById('run');
if (button) {
  button.addEventListener('click', async () => {
    button.disabled = true;
    const out = document.getElementById('results');
    out.textContent = 'Measuring…';
    try {
      const result = await benchmark();
      window.benchmarkResult = result;
      out.textContent = `${describe(result)}\n\n${navigator.userAgent}`;
    } catch (error) {
      out.textContent = `The measurement failed: ${error.message}`;
    } finally {
      button.disabled = false;
    }
  });
}
