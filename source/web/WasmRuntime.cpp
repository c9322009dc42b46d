// WebAssembly build only: the C++ allocation functions without the C library's abort, so that
// the engine's module needs nothing from its host (no imports at all). Memory runs out only when
// an engine is created (pelorvane_create uses the non-throwing form and returns null), or in
// mydsp::clone, which nothing calls; there a trap ends the call.

#include <cstdlib>
#include <new>

void* operator new (std::size_t size)
{
    if (void* memory = std::malloc (size == 0 ? 1 : size))
        return memory;

    __builtin_trap();
}

void* operator new[] (std::size_t size)
{
    return operator new (size);
}

void* operator new (std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc (size == 0 ? 1 : size);
}

void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept
{
    return std::malloc (size == 0 ? 1 : size);
}

void operator delete (void* memory) noexcept
{
    std::free (memory);
}

void operator delete[] (void* memory) noexcept
{
    std::free (memory);
}

void operator delete (void* memory, std::size_t) noexcept
{
    std::free (memory);
}

void operator delete[] (void* memory, std::size_t) noexcept
{
    std::free (memory);
}
