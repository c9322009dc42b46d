#pragma once

// What the raw-host programs feed the module: its parameters' VST3 identifiers and a fixed
// input signal.

#include <pluginterfaces/vst/vsttypes.h>

#include <cstdint>

namespace RawHostParameters
{
constexpr Steinberg::Vst::ParamID bypass = 2004703496u;
constexpr Steinberg::Vst::ParamID space = 80085222u;
constexpr Steinberg::Vst::ParamID lumens = 139731590u;
constexpr Steinberg::Vst::ParamID tone = 2612626u;
constexpr Steinberg::Vst::ParamID mix = 77372u;
} // namespace RawHostParameters

/** Two different signals, so that copying left over right shows. Integer arithmetic only:
    both platforms must see bit-identical input.
*/
class RawTestSignal
{
public:
    void next (float& left, float& right)
    {
        const auto n = counter++;
        const auto burst = (n / 4096) % 3 == 0 ? 0.5f : 0.05f;
        const auto saw = static_cast<float> (n % 173) / 173.0f - 0.5f;

        left = (n == 0 ? 1.0f : 0.0f) + burst * noise() + 0.2f * saw;
        right = 0.3f * noise();
    }

private:
    float noise()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<float> (static_cast<std::int32_t> (state)) / 2147483648.0f;
    }

    std::uint32_t state = 12345u;
    std::uint32_t counter = 0;
};
