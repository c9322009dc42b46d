// The live pedal: one AudioContext at the device's rate, the engine's AudioWorklet, and whatever
// plays into it (the demo phrase, the player's file, or live input).

import { engineNode, workletUrl } from './node.js';

const SILENCE = 1e-6; // -120 dBFS

export class LivePedal {
  constructor(engine, settings) {
    this.engine = engine;
    this.settings = settings;
    this.context = null;
    this.node = null;
    this.source = null;
    this.stream = null;
    this.onEnded = null;
    this.onFirstSound = null;
    this.quietSince = null;
  }

  async ensureRunning() {
    if (!this.context) {
      const context = new AudioContext({ latencyHint: 'interactive' });
      this.context = context;
      await context.audioWorklet.addModule(workletUrl);
      this.node = engineNode(context, this.engine, this.settings);
      this.analyser = context.createAnalyser();
      this.analyser.fftSize = 2048;
      this.level = new Float32Array(this.analyser.fftSize);
      this.node.connect(context.destination);
      this.node.connect(this.analyser);
      this.watch = setInterval(() => this.watchLevel(), 25);
    }
    if (this.context.state !== 'running') await this.context.resume();
    this.quietSince = null;
  }

  setSettings(settings) {
    this.settings = settings;
    if (this.node) this.node.port.postMessage({ type: 'settings', ...settings });
  }

  /** Plays samples (mono, at their own rate) through the pedal, looped or once. */
  async play(samples, sampleRate, loop) {
    await this.ensureRunning();
    this.stopSource();
    const buffer = this.context.createBuffer(1, samples.length, sampleRate);
    buffer.copyToChannel(samples, 0);
    const source = this.context.createBufferSource();
    source.buffer = buffer;
    source.loop = loop;
    source.connect(this.node);
    source.onended = () => {
      if (this.source === source) {
        this.source = null;
        this.onEnded?.();
      }
    };
    source.start();
    this.source = source;
  }

  setLoop(loop) {
    if (this.source && this.source.loop !== undefined) this.source.loop = loop;
  }

  /** Live input from the microphone or interface; rejects when it is refused or missing. */
  async listen() {
    if (!navigator.mediaDevices?.getUserMedia) throw new DOMException('This browser offers no live input here', 'NotSupportedError');
    const stream = await navigator.mediaDevices.getUserMedia({
      audio: { echoCancellation: false, noiseSuppression: false, autoGainControl: false },
    });
    await this.ensureRunning();
    this.stopSource();
    this.stream = stream;
    this.source = this.context.createMediaStreamSource(stream);
    this.source.connect(this.node);
  }

  stopSource() {
    const source = this.source;
    this.source = null;
    if (source) {
      try {
        source.onended = null;
        if (source.stop) source.stop();
      } catch (_) {
        /* already stopped */
      }
      source.disconnect();
    }
    if (this.stream) {
      for (const track of this.stream.getTracks()) track.stop();
      this.stream = null;
    }
  }

  /** Stops the source; the tail rings out, and once it has died away the engine is silenced and
      the audio device let go of. */
  stop() {
    this.stopSource();
  }

  watchLevel() {
    if (!this.context || this.context.state !== 'running') return;
    this.analyser.getFloatTimeDomainData(this.level);
    let peak = 0;
    for (let i = 0; i < this.level.length; ++i) peak = Math.max(peak, Math.abs(this.level[i]));
    if (peak > SILENCE && this.onFirstSound) {
      const report = this.onFirstSound;
      this.onFirstSound = null;
      report();
    }
    if (this.source) {
      this.quietSince = null;
      return;
    }
    // WebAssembly keeps subnormal numbers where the plug-in's processors flush them to zero, and
    // they are slow: a tail left to decay for ever would keep the audio thread busy. Once the
    // output has stayed below -120 dBFS for three seconds with nothing playing, the engine is
    // set back to silence (as the plug-in is when prepared) and the device suspended.
    if (peak > SILENCE) {
      this.quietSince = null;
    } else if (this.quietSince === null) {
      this.quietSince = performance.now();
    } else if (performance.now() - this.quietSince > 3000) {
      this.quietSince = null;
      this.node.port.postMessage({ type: 'reset' });
      setTimeout(() => {
        if (!this.source && this.context.state === 'running') this.context.suspend();
      }, 250);
    }
  }
}
