#pragma once

#include "dsp/KernelPath.h"

#include <optional>

/** The kernel path the DSP tests run on (see KernelPathSelection.cpp). */
namespace KernelPathSelection
{
/** The path PELORVANE_TEST_KERNEL_PATH names, if it names one. */
std::optional<KernelPath::Path> requested();

/** The variable's value for a path: "portable", "sse2", "avx2" or "neon". */
const char* variableValue (KernelPath::Path path);
} // namespace KernelPathSelection
