// WAV files: 32-bit float stereo, as `pelorvane-render --float` writes them (the samples kept
// exactly), and a reader for the tests and for files a browser does not decode itself.

export function encodeWavFloat(channels, sampleRate) {
  const numChannels = channels.length;
  const frames = channels[0].length;
  const dataBytes = frames * numChannels * 4;
  const buffer = new ArrayBuffer(12 + 26 + 12 + 8 + dataBytes);
  const view = new DataView(buffer);
  let p = 0;
  const text = (s) => { for (const c of s) view.setUint8(p++, c.charCodeAt(0)); };
  const u32 = (v) => { view.setUint32(p, v, true); p += 4; };
  const u16 = (v) => { view.setUint16(p, v, true); p += 2; };

  text('RIFF'); u32(buffer.byteLength - 8); text('WAVE');
  text('fmt '); u32(18); u16(3); u16(numChannels); u32(sampleRate); u32(sampleRate * numChannels * 4); u16(numChannels * 4); u16(32); u16(0);
  text('fact'); u32(4); u32(frames);
  text('data'); u32(dataBytes);
  for (let i = 0; i < frames; ++i)
    for (let c = 0; c < numChannels; ++c, p += 4) view.setFloat32(p, channels[c][i], true);
  return new Blob([buffer], { type: 'audio/wav' });
}

/** The sample rate a file declares in its header, where the format is one this knows
    (WAV, RF64, AIFF, FLAC, Ogg Vorbis or Opus, MP3); null otherwise. */
export function declaredSampleRate(bytes) {
  const b = new Uint8Array(bytes);
  const v = new DataView(bytes);
  const tag = (at, s) => s.split('').every((c, i) => b[at + i] === c.charCodeAt(0));
  const find = (s, from, to) => {
    for (let i = from; i + s.length <= Math.min(to, b.length); ++i) if (tag(i, s)) return i;
    return -1;
  };

  if ((tag(0, 'RIFF') || tag(0, 'RF64') || tag(0, 'BW64')) && tag(8, 'WAVE')) {
    for (let p = 12; p + 8 <= b.length;) {
      const size = v.getUint32(p + 4, true);
      if (tag(p, 'fmt ') && p + 16 <= b.length) return v.getUint32(p + 12, true);
      p += 8 + size + (size & 1);
    }
    return null;
  }

  if (tag(0, 'FORM') && (tag(8, 'AIFF') || tag(8, 'AIFC'))) {
    const at = find('COMM', 12, b.length);
    if (at < 0 || at + 26 > b.length) return null;
    // 80-bit extended: sign and exponent, then a 64-bit mantissa.
    const exponent = (v.getUint16(at + 16) & 0x7fff) - 16383;
    const mantissa = v.getUint32(at + 18) * 2 ** 32 + v.getUint32(at + 22);
    return Math.round(mantissa * 2 ** (exponent - 63));
  }

  if (tag(0, 'fLaC') && b.length >= 8 + 18) return (b[18] << 12) | (b[19] << 4) | (b[20] >> 4);

  if (tag(0, 'OggS')) {
    const vorbis = find('\x01vorbis', 0, 512);
    if (vorbis >= 0 && vorbis + 16 <= b.length) return v.getUint32(vorbis + 12, true);
    if (find('OpusHead', 0, 512) >= 0) return 48000; // Opus always decodes at 48 kHz
    return null;
  }

  // MP3: past an ID3v2 tag, the first frame header.
  let p = 0;
  if (tag(0, 'ID3') && b.length > 10) p = 10 + ((b[6] << 21) | (b[7] << 14) | (b[8] << 7) | b[9]);
  for (let end = Math.min(b.length - 4, p + 65536); p < end; ++p) {
    if (b[p] === 0xff && (b[p + 1] & 0xe0) === 0xe0) {
      const version = (b[p + 1] >> 3) & 3; // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
      const layer = (b[p + 1] >> 1) & 3;
      const index = (b[p + 2] >> 2) & 3;
      if (version === 1 || layer === 0 || index === 3) continue;
      const base = [44100, 48000, 32000][index];
      return version === 3 ? base : version === 2 ? base / 2 : base / 4;
    }
  }
  return null;
}

/** A plain WAV file's left channel, converted to float as the plug-in's renderer converts it
    (integer samples scaled by a power of two: 16-bit by 1/32768, where browsers take 1/32767 for
    positive values). Null for anything but PCM (8 to 32 bits) or IEEE float (32 or 64 bits) WAV,
    which is left to the browser. */
export function decodeWavLeft(bytes) {
  const b = new Uint8Array(bytes);
  const v = new DataView(bytes);
  const tag = (at, s) => s.split('').every((c, i) => b[at + i] === c.charCodeAt(0));
  if (b.length < 12 || !tag(0, 'RIFF') || !tag(8, 'WAVE')) return null;
  let format = null;
  let data = null;
  for (let p = 12; p + 8 <= b.length;) {
    const size = v.getUint32(p + 4, true);
    if (tag(p, 'fmt ') && size >= 16 && p + 24 <= b.length) {
      let code = v.getUint16(p + 8, true);
      if (code === 0xfffe && size >= 40) code = v.getUint16(p + 32, true);
      format = { code, channels: v.getUint16(p + 10, true), rate: v.getUint32(p + 12, true), block: v.getUint16(p + 20, true), bits: v.getUint16(p + 22, true) };
    } else if (tag(p, 'data')) {
      data = { start: p + 8, size: Math.min(size, b.length - p - 8) };
      break;
    }
    p += 8 + size + (size & 1);
  }
  if (!format || !data || format.channels < 1) return null;
  const { code, bits, block } = format;
  const pcm = code === 1 && [8, 16, 24, 32].includes(bits);
  const float = code === 3 && (bits === 32 || bits === 64);
  if ((!pcm && !float) || block !== format.channels * (bits / 8)) return null;
  const frames = Math.floor(data.size / block);
  if (frames === 0) return null;
  const left = new Float32Array(frames);
  for (let i = 0, p = data.start; i < frames; ++i, p += block) {
    if (float) left[i] = bits === 32 ? v.getFloat32(p, true) : Math.fround(v.getFloat64(p, true));
    else if (bits === 8) left[i] = (b[p] - 128) / 128;
    else if (bits === 16) left[i] = v.getInt16(p, true) / 32768;
    else if (bits === 24) left[i] = ((b[p + 2] << 24) >> 8 | (b[p + 1] << 8) | b[p]) / 8388608;
    else left[i] = Math.fround(v.getInt32(p, true) / 2147483648);
  }
  return { samples: left, sampleRate: format.rate, channels: format.channels };
}
