// Offline rendering through the page's own audio path: the AudioWorklet that runs the engine,
// in an OfflineAudioContext at the input's sample rate (so nothing is resampled), fed the left
// channel, with the tail kept as pelorvane-render keeps it.

import { engineNode, workletUrl } from './node.js';
import { settleSettings } from './params.js';

/** The renderer's tail rules (tools/render/OfflineRenderer.cpp, TailGate.cpp): 512-sample
    blocks; after the input, blocks are rendered until the output has stayed below -90 dBFS for
    131072 samples (longer than any delay of the network) or 30 s of tail are reached; what is
    written ends with the input or with its last sample at or above -90 dBFS, whichever is later. */
export const TAIL = Object.freeze({
  blockSize: 512,
  limitSeconds: 30,
  quietWindow: 131072,
  threshold: Math.fround(Math.pow(10, Math.fround(-90 * Math.fround(0.05)))),
});

/** How many samples the renderer writes, given everything rendered so far (which must reach
    at least input length + tail limit, or wherever the renderer would stop). */
export function writtenLength(left, right, inputLength, sampleRate) {
  const limitEnd = inputLength + Math.round(TAIL.limitSeconds * sampleRate);
  let position = 0;
  let written = 0;
  for (;;) {
    const count = Math.min(TAIL.blockSize, limitEnd - position);
    let lastLoud = -1;
    for (let i = count - 1; i >= 0; --i) {
      const k = position + i;
      if (Math.abs(left[k]) >= TAIL.threshold || Math.abs(right[k]) >= TAIL.threshold) {
        lastLoud = i;
        break;
      }
    }
    const inputInBlock = Math.max(0, Math.min(count, inputLength - position));
    const lastKept = Math.max(lastLoud, inputInBlock - 1);
    if (lastKept >= 0) written = position + lastKept + 1;
    position += count;
    if (position >= limitEnd || (position >= inputLength && position - written >= TAIL.quietWindow)) return written;
  }
}

/** Renders input (the left channel, a Float32Array) at sampleRate with settings, through a
    fresh engine, tail included. engine: the module as loadEngine gives it. Returns
    { left, right } as Float32Arrays. */
export async function renderOffline(engine, input, sampleRate, settings) {
  if (!(input instanceof Float32Array)) input = Float32Array.from(input);
  if (!(sampleRate >= 8000 && sampleRate <= 384000)) throw new RangeError(`sample rate ${sampleRate} Hz: the renderer takes 8000 to 384000 Hz`);
  const engineSettings = settleSettings(settings);
  const tailLimit = Math.round(TAIL.limitSeconds * sampleRate);
  // Rendered in one go to the tail limit (the samples up to where the renderer stops are the
  // same however far one goes on), then cut where it would have stopped.
  const length = input.length + tailLimit;
  const context = new OfflineAudioContext({ numberOfChannels: 2, length, sampleRate });
  await context.audioWorklet.addModule(workletUrl);
  const node = engineNode(context, engine, engineSettings);
  node.connect(context.destination);

  if (input.length > 0) {
    const buffer = context.createBuffer(1, input.length, sampleRate);
    buffer.copyToChannel(input, 0);
    const source = context.createBufferSource();
    source.buffer = buffer;
    source.connect(node);
    source.start(0);
  }

  const rendered = await context.startRendering();
  const left = rendered.getChannelData(0);
  const right = rendered.getChannelData(1);
  const keep = writtenLength(left, right, input.length, sampleRate);
  return { left: left.slice(0, keep), right: right.slice(0, keep) };
}
