#pragma once

/** The samples of the renderer's built-in demo phrase (DemoPhrase.h), made without any
    framework so that the web page's engine compiles the same code and plays the same samples.
*/
namespace DemoPhraseSamples
{
constexpr double sampleRate = 48000.0;
constexpr double lengthSeconds = 4.0;
constexpr int length = static_cast<int> (sampleRate * lengthSeconds);

/** Writes the phrase's `length` samples. */
void synthesize (float* samples);
} // namespace DemoPhraseSamples
