// The engine's WebAssembly module on the page's main thread: fetched and compiled once; its
// bytes go to every AudioWorklet that runs the engine, and a main-thread instance gives the
// demo phrase's samples and the engine's own parameter arithmetic.

export async function loadEngine(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`the engine (${url}) could not be loaded: HTTP ${response.status}`);
  const bytes = await response.arrayBuffer();
  const module = await WebAssembly.compile(bytes);
  const instance = await WebAssembly.instantiate(module, {});
  const e = instance.exports;
  if (e._initialize) e._initialize();

  return {
    bytes,
    module,
    exports: e,
    /** The renderer's demo phrase, computed in a worker: a promise of { samples, sampleRate }. */
    demoPhraseInWorker() {
      return new Promise((resolve, reject) => {
        const worker = new Worker(new URL('./demo-worker.js', import.meta.url));
        worker.onmessage = (event) => {
          worker.terminate();
          resolve(event.data);
        };
        worker.onerror = (event) => {
          worker.terminate();
          reject(new Error(event.message || 'the demo phrase could not be computed'));
        };
        worker.postMessage({ module });
      });
    },
    /** The renderer's demo phrase: its samples and sample rate. */
    demoPhrase() {
      const length = e.pelorvane_demo_length();
      const pointer = e.malloc(length * 4);
      e.pelorvane_demo(pointer);
      const samples = new Float32Array(e.memory.buffer, pointer, length).slice();
      e.free(pointer);
      return { samples, sampleRate: e.pelorvane_demo_sample_rate() };
    },
    settle: (value, max, step) => e.pelorvane_settle(value, max, step),
  };
}
