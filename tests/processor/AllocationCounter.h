#pragma once

/** Counts the heap calls (malloc and its relatives, and so every default operator new and
    delete), the mutex locks and the write calls (how the framework wakes its message thread)
    that the calling thread makes while an instance is alive.

    Linking AllocationCounter.cpp replaces the process's allocation functions,
    pthread_mutex_lock and write with counting versions; other threads are never counted. Under
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
    long writes() const;
};

/** Heap calls, locks and writes summed over many counted calls (audio blocks, parameter
    changes). */
struct AudioPathCounts
{
    long heapCalls = 0, locks = 0, writes = 0, calls = 0;

    template <typename Call>
    void count (Call&& call)
    {
        AllocationCounter counter;
        call();
        heapCalls += counter.heapCalls();
        locks += counter.locks();
        writes += counter.writes();
        ++calls;
    }
};
