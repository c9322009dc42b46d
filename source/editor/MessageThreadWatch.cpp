#include "editor/MessageThreadWatch.h"

#include <juce_events/juce_events.h>

MessageThreadWatch::MessageThreadWatch()
{
    if (juce::MessageManager::existsAndIsCurrentThread())
        noteMessageThread();
}

void MessageThreadWatch::noteMessageThread() noexcept
{
    lastSeen.store (juce::Thread::getCurrentThreadId());
}

bool MessageThreadWatch::isMessageThread() const
{
    return juce::Thread::getCurrentThreadId() == lastSeen.load()
           && juce::MessageManager::existsAndIsCurrentThread();
}
