#pragma once

/** The samples of the demo phrase that the renderer plays when it is given no file and the web
    page offers as its first source: plain C++ without the framework, so that the renderer and
    the page's engine compile the same code and play the same samples.
*/
namespace DemoPhraseSamples
{
constexpr double sampleRate = 48000.0;
constexpr double lengthSeconds = 4.0;
constexpr int length = static_cast<int> (sampleRate * lengthSeconds);

/** Writes the phrase's `length` samples. */
void synthesize (float* samples);
} // namespace DemoPhraseSamples
