#pragma once

#include <juce_core/juce_core.h>

#include <atomic>

/** Tells whether the calling thread is the framework's message thread, without a lock on any
    other thread.

    Not necessarily the thread that built the window: a Linux host that lends no run loop
    builds it on its own thread while the framework's messages run on another. The thread is
    noted when the framework says so (at construction, if that runs on it, and from the
    owner's timer, which only ever runs on it). Any other thread, the audio thread above all,
    learns from one atomic load that it is not the message thread; the one that may be asks
    the framework, which has the last word because it can move its message thread (a Linux
    host lending its run loop makes its own thread the message thread once the window is
    attached).
*/
class MessageThreadWatch
{
public:
    MessageThreadWatch();

    /** Message thread only: notes it as the message thread. */
    void noteMessageThread() noexcept;

    /** Any thread. No lock, no allocation unless the caller is the thread last noted. */
    bool isMessageThread() const;

private:
    std::atomic<juce::Thread::ThreadID> lastSeen { nullptr };
};
