// Computes the demo phrase with the engine's code off the page's main thread (it takes the
// engine about half a second), while the page loads.
self.onmessage = (event) => {
  const exports = new WebAssembly.Instance(event.data.module, {}).exports;
  if (exports._initialize) exports._initialize();
  const length = exports.pelorvane_demo_length();
  const pointer = exports.malloc(length * 4);
  exports.pelorvane_demo(pointer);
  const samples = new Float32Array(exports.memory.buffer, pointer, length).slice();
  self.postMessage({ samples, sampleRate: exports.pelorvane_demo_sample_rate() }, [samples.buffer]);
};
