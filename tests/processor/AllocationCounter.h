#pragma once

/** Counts the heap calls (malloc and its relatives, and so every default operator new and
    delete) and the mutex locks that the calling thread makes while an instance is alive.

    Linking AllocationCounter.cpp replaces the process's allocation functions and
    pthread_mutex_lock with counting versions; other threads are never counted. Under
    AddressSanitizer they are left out and nothing is counted: see isAvailable.
*/
class AllocationCounter
{
public:
#ifdef __SANITIZE_ADDRESS__
    static constexpr bool isAvailable = false;
#else
    static constexpr bool isAvailable = true;
#endif
    static constexpr const char* whyUnavailable = "AddressSanitizer's allocator serves malloc and operator new itself, so the heap calls cannot be counted";

    AllocationCounter();
    ~AllocationCounter();

    AllocationCounter (const AllocationCounter&) = delete;
    AllocationCounter& operator= (const AllocationCounter&) = delete;

    long heapCalls() const;
    long locks() const;
};

/** Heap calls and locks summed over many counted calls (audio blocks, parameter changes). */
struct AudioPathCounts
{
    long heapCalls = 0, locks = 0, calls = 0;

    template <typename Call>
    void count (Call&& call)
    {
        AllocationCounter counter;
        call();
        heapCalls += counter.heapCalls();
        locks += counter.locks();
        ++calls;
    }
};
