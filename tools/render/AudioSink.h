#pragma once

/** Somewhere rendered or fed audio goes: a file writer, a meter, a recorder. */
class AudioSink
{
public:
    virtual ~AudioSink() = default;

    /** Returns false when the sink could not take the samples (a failed write). */
    virtual bool write (const float* const* channels, int numChannels, int numSamples) = 0;
};
