#include "dsp/mydsp.h"

#include "dsp/CornerAngle.h"
#include "dsp/CornerTangent.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "dsp/KernelPath.h"

// The kernel is compiled once per instruction set, each time in a namespace of its own (see
// NetworkKernel.inc). Every library header is included above, outside any instruction-set
// region, so that only the kernel itself is compiled for AVX2, and only code that has checked
// the processor runs it.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && defined(__SSE2__)
#define PELORVANE_KERNEL_SSE2 1
#define PELORVANE_KERNEL_AVX2 1
#include <immintrin.h>
#elif defined(__SSE2__) || defined(_M_X64)
#define PELORVANE_KERNEL_SSE2 1
#include <emmintrin.h>
#elif defined(__aarch64__) && defined(__ARM_NEON)
#define PELORVANE_KERNEL_NEON 1
#include <arm_neon.h>
#endif

#if defined(PELORVANE_KERNEL_SSE2)
namespace
{
namespace sse2
{
    template <typename V>
    struct IsLanes : std::false_type
    {
    };

#include "dsp/LanesSse2.inc"
    using Wide = Float4;
    using Narrow = Float4;
#include "dsp/NetworkKernel.inc"
} // namespace sse2
} // namespace
#else
// Everywhere but x86-64, where SSE2 is the baseline, so that 64-bit ARM can compare it with NEON.
namespace
{
namespace portable
{
    template <typename V>
    struct IsLanes : std::false_type
    {
    };

#include "dsp/LanesPortable.inc"
    using Wide = Float4;
    using Narrow = Float4;
#include "dsp/NetworkKernel.inc"
} // namespace portable
} // namespace
#endif

#if defined(PELORVANE_KERNEL_NEON)
namespace
{
namespace neon
{
    template <typename V>
    struct IsLanes : std::false_type
    {
    };

#include "dsp/LanesNeon.inc"
    using Wide = Float4;
    using Narrow = Float4;
#include "dsp/NetworkKernel.inc"
} // namespace neon
} // namespace
#endif

#if defined(PELORVANE_KERNEL_AVX2)
// AVX2 without FMA: fused multiply-adds would round differently from the per-sample formulation.
#pragma GCC push_options
#pragma GCC target("avx2")
namespace
{
namespace avx2
{
    template <typename V>
    struct IsLanes : std::false_type
    {
    };

#include "dsp/LanesSse2.inc"

// After the four-sample lanes, which the eight-sample ones hand the filters' samples in.
#include "dsp/LanesAvx2.inc"
    using Wide = Float8;
    using Narrow = Float4;
#include "dsp/NetworkKernel.inc"
} // namespace avx2
} // namespace
#pragma GCC pop_options
#endif

namespace
{
using ComputeBlock = void (*) (mydsp&, int, FAUSTFLOAT**, FAUSTFLOAT**);

#if defined(PELORVANE_KERNEL_SSE2)
constexpr auto baselinePath = KernelPath::Path::sse2;
constexpr ComputeBlock baselineCompute = &sse2::computeBlock;
#elif defined(PELORVANE_KERNEL_NEON)
constexpr auto baselinePath = KernelPath::Path::neon;
constexpr ComputeBlock baselineCompute = &neon::computeBlock;
#else
constexpr auto baselinePath = KernelPath::Path::portable;
constexpr ComputeBlock baselineCompute = &portable::computeBlock;
#endif

ComputeBlock computeFor (KernelPath::Path path)
{
#if defined(PELORVANE_KERNEL_AVX2)
    if (path == KernelPath::Path::avx2)
        return &avx2::computeBlock;
#endif
#if defined(PELORVANE_KERNEL_NEON)
    if (path == KernelPath::Path::portable)
        return &portable::computeBlock;
#endif
    return path == baselinePath ? baselineCompute : nullptr;
}

bool processorHasAvx2()
{
#if defined(PELORVANE_KERNEL_AVX2)
    // libgcc's check includes the operating system's support for the wide registers.
    __builtin_cpu_init();
    return __builtin_cpu_supports ("avx2") != 0;
#else
    return false;
#endif
}

// Decided while the module loads, so that no audio thread ever waits for it.
const bool hasAvx2 = processorHasAvx2();

KernelPath::Path widestPath() { return hasAvx2 ? KernelPath::Path::avx2 : baselinePath; }

struct ActiveKernel
{
    std::atomic<KernelPath::Path> path;
    std::atomic<ComputeBlock> compute;
};

// Constant-initialised with the baseline, then widened as the module loads.
ActiveKernel activeKernel { { baselinePath }, { baselineCompute } };

[[maybe_unused]] const bool widened = KernelPath::force (widestPath());
} // namespace

namespace KernelPath
{
bool isAvailable (Path path)
{
    return computeFor (path) != nullptr && (path != Path::avx2 || hasAvx2);
}

Path active()
{
    return activeKernel.path.load (std::memory_order_relaxed);
}

Path widest()
{
    return widestPath();
}

bool force (Path path)
{
    if (! isAvailable (path))
        return false;

    activeKernel.compute.store (computeFor (path), std::memory_order_relaxed);
    activeKernel.path.store (path, std::memory_order_relaxed);
    return true;
}

const char* name (Path path)
{
    switch (path)
    {
        case Path::portable:
            return "portable";
        case Path::sse2:
            return "SSE2";
        case Path::avx2:
            return "AVX2";
        case Path::neon:
            return "NEON";
    }

    return "?";
}
} // namespace KernelPath

void mydsp::metadata (Meta* m)
{
    m->declare ("basics.lib/name", "Faust Basic Element Library");
    m->declare ("basics.lib/version", "0.2");
    m->declare ("compile_options", "-lang cpp -es 1 -mcd 16 -single -ftz 0");
    m->declare ("delays.lib/name", "Faust Delay Library");
    m->declare ("delays.lib/version", "0.1");
    m->declare ("filename", "pelorvane");
    m->declare ("filters.lib/lowpass0_highpass1", "Ombrix Audio");
    m->declare ("filters.lib/name", "Faust Filters Library");
    m->declare ("filters.lib/version", "0.3");
    m->declare ("maths.lib/author", "Ombrix Audio");
    m->declare ("maths.lib/license", "LGPL with exception");
    m->declare ("maths.lib/name", "Faust Math Library");
    m->declare ("maths.lib/version", "2.5");
    m->declare ("misceffects.lib/name", "Misc Effects Library");
    m->declare ("misceffects.lib/version", "2.0");
    m->declare ("name", "pelorvane");
    m->declare ("platform.lib/name", "Generic Platform Library");
    m->declare ("platform.lib/version", "0.2");
    m->declare ("routes.lib/name", "Faust Signal Routing Library");
    m->declare ("routes.lib/version", "0.2");
    m->declare ("signals.lib/name", "Faust Signal Routing Library");
    m->declare ("signals.lib/version", "0.1");
}

void mydsp::buildUserInterface (UI* ui_interface)
{
    ui_interface->openVerticalBox ("pelorvane");
    ui_interface->addVerticalSlider ("lumens", &fHslider3, FAUSTFLOAT (0.3f), FAUSTFLOAT (0.0f), FAUSTFLOAT (0.7f), FAUSTFLOAT (0.01f));
    ui_interface->addVerticalSlider ("mix", &fHslider0, FAUSTFLOAT (0.75f), FAUSTFLOAT (0.0f), FAUSTFLOAT (1.0f), FAUSTFLOAT (0.01f));
    ui_interface->addVerticalSlider ("space", &fHslider2, FAUSTFLOAT (0.7f), FAUSTFLOAT (0.5f), FAUSTFLOAT (1.0f), FAUSTFLOAT (0.01f));
    ui_interface->addVerticalSlider ("tone", &fHslider1, FAUSTFLOAT (4000.0f), FAUSTFLOAT (900.0f), FAUSTFLOAT (8000.0f), FAUSTFLOAT (0.01f));
    ui_interface->closeBox();
}

void mydsp::instanceInit (int sample_rate)
{
    instanceConstants (sample_rate);
    instanceResetUserInterface();
    instanceClear();
}

void mydsp::instanceConstants (int sample_rate)
{
    fSampleRate = sample_rate;
    const float fs = std::min (192000.0f, std::max (1.0f, float (fSampleRate)));
    fConst0 = 3.14159274f / fs;
    const float t90 = cornerTangent (clampCornerAngle (282.743347f / fs));
    const float invT90 = 1.0f / t90;
    fConst3 = (1.0f - invT90) / (invT90 + 1.0f);
    fConst1 = 1.0f / ((invT90 + 1.0f) * t90);
    fConst2 = -fConst1;
    lowpassCache.valid = false;
}

void mydsp::instanceResetUserInterface()
{
    fHslider0 = FAUSTFLOAT (0.75f);
    fHslider1 = FAUSTFLOAT (4000.0f);
    fHslider2 = FAUSTFLOAT (0.7f);
    fHslider3 = FAUSTFLOAT (0.3f);
}

void mydsp::instanceClear()
{
    IOTA0 = 0;

    for (auto* memory : { fVec0, fVec3, fVec6, fVec9 })
        std::fill (memory, memory + kAllpass1Size, 0.0f);

    for (auto* memory : { fVec1, fVec4, fVec7, fVec10 })
        std::fill (memory, memory + kAllpass2Size, 0.0f);

    std::fill (std::begin (fVec2), std::end (fVec2), 0.0f);
    std::fill (std::begin (fVec5), std::end (fVec5), 0.0f);
    std::fill (std::begin (fVec8), std::end (fVec8), 0.0f);
    std::fill (std::begin (fVec11), std::end (fVec11), 0.0f);

    for (auto* pair : { fRec0, fRec1, fRec2, fRec3, fRec4, fRec5, fRec6, fRec7, fRec8, fRec9, fRec10, fRec11, fRec12 })
        pair[0] = pair[1] = 0.0f;
}

mydsp* mydsp::clone()
{
    return new mydsp();
}

// The network runs a group of samples at a time where it can (NetworkKernel.inc), on the
// widest instruction set the processor has; every path gives the per-sample formulation's
// values bit for bit.
void mydsp::compute (int count, FAUSTFLOAT** inputs, FAUSTFLOAT** outputs)
{
    if (count <= 0)
        return;

    activeKernel.compute.load (std::memory_order_relaxed) (*this, count, inputs, outputs);
}
