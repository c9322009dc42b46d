#pragma once

/** The instruction sets mydsp::compute can run on. Every path gives the same samples and
    leaves the same state, bit for bit; they differ only in speed. By default compute takes
    the widest path the processor (and its operating system) supports, decided once.
*/
namespace KernelPath
{
enum class Path
{
    portable, // four samples at a time in plain C++ (neither x86-64 nor 64-bit ARM)
    sse2, // four samples at a time in SSE2 registers: every x86-64 processor
    avx2, // eight samples at a time in AVX registers, chosen at run time
    neon // four samples at a time in NEON registers: every 64-bit ARM processor
};

/** Whether this build has the path and this processor can run it. */
bool isAvailable (Path path);

/** The path compute takes. */
Path active();

/** The widest available path. */
Path widest();

/** Makes compute take the given path from now on, for the whole process; for tests and
    benchmarks, which compare the paths. Returns false, changing nothing, if the path is not
    available. A compute already running finishes on the path it started on; as every path
    gives the same values, blocks may take different paths one after another.
*/
bool force (Path path);

const char* name (Path path);
} // namespace KernelPath
