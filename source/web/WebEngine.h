#pragma once

/** The engine of the web page: the plug-in's block job (processor/BlockJob.h) on its own
    network, behind a plain C interface that the page's AudioWorklet calls in WebAssembly. Every
    function is also compiled natively, for the benchmark that sets the two side by side.

    An engine holds its network (about 640 KiB) and two channel buffers of
    pelorvane_max_block() samples; it allocates only in pelorvane_create.
*/

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PelorvaneWebEngine PelorvaneWebEngine;

/** A new engine prepared at the sample rate as the plug-in is prepared (the rate truncated to
    whole hertz), the controls at their defaults; null if memory ran out. */
PelorvaneWebEngine* pelorvane_create (double sampleRate);
void pelorvane_destroy (PelorvaneWebEngine* engine);

/** The controls as the plug-in's parameters hold them (Mix in percent); bypass is 0 or 1.
    They take effect at the next block, as the plug-in's do. */
void pelorvane_set (PelorvaneWebEngine* engine, float space, float lumens, float tone, float mix, int bypass);

/** The channel buffers: write the block's (left) input into the left one, call
    pelorvane_process, and read both. */
float* pelorvane_left (PelorvaneWebEngine* engine);
float* pelorvane_right (PelorvaneWebEngine* engine);
int pelorvane_max_block (void);

/** Runs the block job over count samples (at most pelorvane_max_block()). */
void pelorvane_process (PelorvaneWebEngine* engine, int count);

/** Back to silence, as when the plug-in is prepared again. */
void pelorvane_reset (PelorvaneWebEngine* engine);

/** What a knob parameter (0 to maximum in steps of step) holds once set to value. */
float pelorvane_settle (float value, float maximum, float step);

/** The renderer's built-in demo phrase: its length, its sample rate, and its samples written
    to destination (length floats). */
int pelorvane_demo_length (void);
double pelorvane_demo_sample_rate (void);
void pelorvane_demo (float* destination);

#ifdef __cplusplus
}
#endif
