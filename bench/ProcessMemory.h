#pragma once

/** This process's resident memory and its peak, in MiB: on Linux the kernel's VmRSS and VmHWM,
    on Windows the working set and its peak (which Wine takes from the same two figures of its
    process). Only Linux can start the peak afresh.
*/
namespace ProcessMemory
{
double residentMiB();
double peakMiB();

/** Starts the peak afresh from what is resident now; false where that cannot be done. */
bool resetPeak();
} // namespace ProcessMemory
