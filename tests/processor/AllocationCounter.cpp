#include "AllocationCounter.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <unistd.h>

// glibc's own allocator under its internal names, so the replacements below can forward
// to it without calling themselves.
extern "C"
{
    void* __libc_malloc (size_t size);
    void* __libc_calloc (size_t count, size_t size);
    void* __libc_realloc (void* block, size_t size);
    void* __libc_memalign (size_t alignment, size_t size);
    void __libc_free (void* block);
    ssize_t __write (int fd, const void* data, size_t size);
}

namespace
{
// Plain thread-locals of the executable need no allocation of their own.
thread_local bool counting = false;
thread_local long heapCallCount = 0;
thread_local long lockCount = 0;
thread_local long writeCount = 0;

void noteHeapCall()
{
    if (counting)
        ++heapCallCount;
}

using MutexLock = int (*) (pthread_mutex_t*);
std::atomic<MutexLock> realMutexLock { nullptr };
} // namespace

AllocationCounter::AllocationCounter()
{
    heapCallCount = 0;
    lockCount = 0;
    writeCount = 0;
    counting = true;
}

AllocationCounter::~AllocationCounter()
{
    counting = false;
}

long AllocationCounter::heapCalls() const { return heapCallCount; }
long AllocationCounter::locks() const { return lockCount; }
long AllocationCounter::writes() const { return writeCount; }

// libstdc++'s default operator new and delete, in all their forms, come through these.
// AddressSanitizer's allocator must serve and take back every block itself, so under it
// nothing is replaced and nothing counted.
#ifndef __SANITIZE_ADDRESS__
extern "C"
{
    void* malloc (size_t size) noexcept
    {
        noteHeapCall();
        return __libc_malloc (size);
    }

    void* calloc (size_t count, size_t size) noexcept
    {
        noteHeapCall();
        return __libc_calloc (count, size);
    }

    void* realloc (void* block, size_t size) noexcept
    {
        noteHeapCall();
        return __libc_realloc (block, size);
    }

    void* memalign (size_t alignment, size_t size) noexcept
    {
        noteHeapCall();
        return __libc_memalign (alignment, size);
    }

    void* aligned_alloc (size_t alignment, size_t size) noexcept
    {
        noteHeapCall();
        return __libc_memalign (alignment, size);
    }

    int posix_memalign (void** result, size_t alignment, size_t size) noexcept
    {
        noteHeapCall();
        if (alignment % sizeof (void*) != 0 || (alignment & (alignment - 1)) != 0)
            return EINVAL;
        *result = __libc_memalign (alignment, size);
        return *result == nullptr && size != 0 ? ENOMEM : 0;
    }

    void free (void* block) noexcept
    {
        if (block != nullptr)
            noteHeapCall();
        __libc_free (block);
    }

    int pthread_mutex_lock (pthread_mutex_t* mutex) noexcept
    {
        auto lock = realMutexLock.load (std::memory_order_acquire);
        if (lock == nullptr)
        {
            lock = reinterpret_cast<MutexLock> (dlsym (RTLD_NEXT, "pthread_mutex_lock"));
            realMutexLock.store (lock, std::memory_order_release);
        }

        if (counting)
            ++lockCount;
        return lock (mutex);
    }

    ssize_t write (int fd, const void* data, size_t size)
    {
        if (counting)
            ++writeCount;
        return __write (fd, data, size);
    }
}
#endif
