// The AudioWorklet that runs Pelorvane's engine (the plug-in's block job, compiled to
// WebAssembly) on the page's audio thread. The module's bytes come in processorOptions and are
// compiled and instantiated here, synchronously, once; from then on process() makes no object
// and no array, and the engine's memory never grows (it is fixed at build time), so the views on
// its channel buffers stay valid.
//
// Messages on the port: { type: 'settings', space, lumens, tone, mix, bypass } (values as the
// plug-in's parameters hold them), { type: 'reset' } (silence, as when the plug-in is prepared).

class PelorvaneProcessor extends AudioWorkletProcessor {
  constructor(options) {
    super();
    const { wasm, settings } = options.processorOptions;
    const module = wasm instanceof WebAssembly.Module ? wasm : new WebAssembly.Module(wasm);
    const exports = new WebAssembly.Instance(module, {}).exports;
    if (exports._initialize) exports._initialize();

    this.exports = exports;
    this.engine = exports.pelorvane_create(sampleRate);
    if (!this.engine) throw new Error('the engine could not be created');
    this.leftAddress = exports.pelorvane_left(this.engine);
    this.rightAddress = exports.pelorvane_right(this.engine);
    this.maxBlock = exports.pelorvane_max_block();
    this.makeViews(128);
    this.apply(settings);

    // Benchmark only (bench.html): the first process() call times this many quanta of the
    // same work, on the input given, and reports the time on the port.
    this.benchmark = options.processorOptions.benchmark || null;

    this.port.onmessage = (event) => {
      const message = event.data;
      if (message.type === 'settings') this.apply(message);
      else if (message.type === 'reset') exports.pelorvane_reset(this.engine);
    };
  }

  apply(s) {
    if (!s) return;
    this.exports.pelorvane_set(this.engine, s.space, s.lumens, s.tone, s.mix, s.bypass ? 1 : 0);
  }

  makeViews(length) {
    const buffer = this.exports.memory.buffer;
    this.blockLength = length;
    this.left = new Float32Array(buffer, this.leftAddress, length);
    this.right = new Float32Array(buffer, this.rightAddress, length);
  }

  runBenchmark(output) {
    const { quanta, input } = this.benchmark;
    this.benchmark = null;
    const pieces = [];
    for (let p = 0; p + 128 <= input.length; p += 128) pieces.push(input.subarray(p, p + 128));
    const started = Date.now();
    for (let q = 0; q < quanta; ++q) {
      this.left.set(pieces[q % pieces.length]);
      this.exports.pelorvane_process(this.engine, 128);
      output[0].set(this.left);
      if (output.length > 1) output[1].set(this.right);
    }
    const milliseconds = Date.now() - started;
    this.port.postMessage({ type: 'benchmark', quanta, milliseconds });
  }

  process(inputs, outputs) {
    const output = outputs[0];
    if (this.benchmark !== null) this.runBenchmark(output);

    const length = output[0].length;
    // Only if the quantum's length ever changes (it is 128 frames in today's browsers).
    if (length !== this.blockLength && length <= this.maxBlock) this.makeViews(length);

    const input = inputs[0];
    if (input.length > 0) this.left.set(input[0]);
    else this.left.fill(0);

    this.exports.pelorvane_process(this.engine, length);

    output[0].set(this.left);
    if (output.length > 1) output[1].set(this.right);
    return true;
  }
}

registerProcessor('pelorvane', PelorvaneProcessor);
