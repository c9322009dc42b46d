#pragma once

#include "dsp/mydsp.h"

/** The network computed sample by sample exactly as its equations read, over an engine's
    own state: the formulation the engine's compute must match value for value, and the
    speed it is measured against.
*/
void computePerSample (mydsp& engine, int count, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs);
