// The engine's AudioWorkletNode: one channel in (the left input, never a mix of two), two out.
// The worklet gets the compiled module, so that it shares the main thread's compiled (and
// optimised) code; a browser that cannot hand a module to a worklet gets the bytes instead.

export const workletUrl = new URL('../worklet.js', import.meta.url).href;

export function engineNode(context, engine, settings, extra = {}) {
  const options = (wasm) => ({
    numberOfInputs: 1,
    numberOfOutputs: 1,
    channelCount: 1,
    channelCountMode: 'explicit',
    channelInterpretation: 'discrete',
    outputChannelCount: [2],
    processorOptions: { wasm, settings, ...extra },
  });
  try {
    return new AudioWorkletNode(context, 'pelorvane', options(engine.module));
  } catch (error) {
    if (error.name !== 'DataCloneError') throw error;
    return new AudioWorkletNode(context, 'pelorvane', options(engine.bytes));
  }
}
