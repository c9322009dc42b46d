#pragma once

/** Counts the heap calls (malloc and its relatives, and so every default operator new and
    delete) and the mutex locks that the calling thread makes while an instance is alive.

    Linking AllocationCounter.cpp replaces the process's allocation functions and
    pthread_mutex_lock with counting versions; other threads are never counted.
*/
class AllocationCounter
{
public:
    AllocationCounter();
    ~AllocationCounter();

    AllocationCounter (const AllocationCounter&) = delete;
    AllocationCounter& operator= (const AllocationCounter&) = delete;

    long heapCalls() const;
    long locks() const;
};
