// A file the player opens or drops: decoded by the browser at the file's own sample rate where
// its header tells it (so that a download renders it as pelorvane-render would), its left
// channel taken as the plug-in takes it.

import { declaredSampleRate, decodeWavLeft } from './wav.js';

export class UndecodableFile extends Error {}

export async function decodeFile(file, fallbackRate) {
  const bytes = await file.arrayBuffer();
  // Plain WAV files are read here, converted exactly as the renderer converts them; everything
  // else is the browser's to decode.
  let wav = null;
  try {
    wav = decodeWavLeft(bytes);
  } catch {
    wav = null; // not a WAV file this can read: the browser may still
  }
  if (wav && wav.sampleRate >= 8000 && wav.sampleRate <= 384000) {
    return { name: file.name, samples: wav.samples, sampleRate: wav.sampleRate, channels: wav.channels, resampled: false };
  }
  const declared = declaredSampleRate(bytes);
  const rate = declared && declared >= 8000 && declared <= 384000 ? declared : fallbackRate;
  // decodeAudioData resamples to its context's rate; a context at the file's rate leaves it be.
  const context = new OfflineAudioContext(1, 1, rate);
  let decoded;
  try {
    decoded = await context.decodeAudioData(bytes.slice(0));
  } catch (error) {
    throw new UndecodableFile(`“${file.name}” could not be opened: this browser cannot decode it as audio. Try a WAV, FLAC, MP3 or Ogg file.`);
  }
  if (decoded.length === 0) throw new UndecodableFile(`“${file.name}” holds no audio.`);
  return {
    name: file.name,
    samples: decoded.getChannelData(0).slice(),
    sampleRate: decoded.sampleRate,
    channels: decoded.numberOfChannels,
    resampled: declared === null,
  };
}
