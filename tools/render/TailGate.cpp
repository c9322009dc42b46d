#include "render/TailGate.h"

#include <cmath>

TailGate::TailGate (const Limits& newLimits)
    : limits (newLimits), limitEnd (newLimits.inputLength + newLimits.maxTailSamples), pending (2, newLimits.quietWindow + newLimits.maxBlockSize)
{
}

bool TailGate::push (const juce::AudioBuffer<float>& block, int count, AudioSink& sink)
{
    jassert (count <= limits.maxBlockSize && count <= getRemainingAllowance());

    const int lastLoud = findLastLoud (block, count);
    const auto inputInBlock = static_cast<int> (juce::jlimit<juce::int64> (0, count, limits.inputLength - position));
    const int lastKept = juce::jmax (lastLoud, inputInBlock - 1);
    bool written = true;

    if (lastLoud >= 0)
        lastLoudEnd = position + lastLoud + 1;

    if (lastKept >= 0)
        written = flushPending (sink) && pass (block, lastKept + 1, sink);

    hold (block, lastKept + 1, count - lastKept - 1);
    position += count;
    return written;
}

int TailGate::findLastLoud (const juce::AudioBuffer<float>& block, int count) const
{
    const auto* left = block.getReadPointer (0);
    const auto* right = block.getReadPointer (1);

    for (int i = count - 1; i >= 0; --i)
        if (std::abs (left[i]) >= limits.threshold || std::abs (right[i]) >= limits.threshold)
            return i;

    return -1;
}

bool TailGate::flushPending (AudioSink& sink)
{
    const bool written = pendingLength == 0 || pass (pending, pendingLength, sink);
    pendingLength = 0;
    return written;
}

bool TailGate::pass (const juce::AudioBuffer<float>& buffer, int count, AudioSink& sink)
{
    writtenLength += count;
    return sink.write (buffer.getArrayOfReadPointers(), 2, count);
}

void TailGate::hold (const juce::AudioBuffer<float>& block, int start, int count)
{
    if (count <= 0)
        return;

    jassert (pendingLength + count <= pending.getNumSamples());

    for (int channel = 0; channel < 2; ++channel)
        pending.copyFrom (channel, pendingLength, block, channel, start, count);

    pendingLength += count;
}

bool TailGate::isFinished() const
{
    return position >= limitEnd || (position >= limits.inputLength && pendingLength >= limits.quietWindow);
}

bool TailGate::wasCutByLimit() const
{
    return position >= limitEnd && limits.maxTailSamples > 0 && position - lastLoudEnd < limits.recentSamples;
}
