// The arm64 LV2 binary goes onto pedalboards and single-board computers whose systems carry an
// older C library than the one it is built against. The C++ runtime linked into it statically
// asks for four symbols that only newer C libraries define (the single-thread flag, the newer
// versions of two thread functions and the unwinder's object lookup); the binary defines its own
// here, on what every arm64 C library has had since its first version, so that it loads anywhere.
#if defined(__linux__) && defined(__aarch64__)

    #include <cerrno>
    #include <cstdint>
    #include <dlfcn.h>
    #include <link.h>

extern "C"
{
// Zero means "other threads may exist", which only keeps the runtime's counts atomic.
char __libc_single_threaded = 0;

// The first versions of the thread functions, from libpthread on older systems and from the C
// library on newer ones. Weak: without libpthread a process has no other thread.
int pelorvaneFirstPthreadOnce (int*, void (*) (void)) __attribute__ ((weak));
int pelorvaneFirstPthreadKeyCreate (unsigned int*, void (*) (void*)) __attribute__ ((weak));
__asm__ (".symver pelorvaneFirstPthreadOnce, pthread_once@GLIBC_2.17");
__asm__ (".symver pelorvaneFirstPthreadKeyCreate, __pthread_key_create@GLIBC_2.17");

int pthread_once (int* once, void (*init) (void))
{
    if (pelorvaneFirstPthreadOnce != nullptr)
        return pelorvaneFirstPthreadOnce (once, init);

    // No thread library loaded, so this is the only thread: a plain flag does.
    if (*once == 0)
    {
        *once = 1;
        init();
    }
    return 0;
}

int __pthread_key_create (unsigned int* key, void (*destructor) (void*))
{
    if (pelorvaneFirstPthreadKeyCreate != nullptr)
        return pelorvaneFirstPthreadKeyCreate (key, destructor);
    return ENOSYS;
}
}

namespace
{
struct ObjectSearch
{
    std::uintptr_t address;
    dl_find_object* result;
    bool found;
};

int findObjectContaining (dl_phdr_info* info, size_t, void* data)
{
    auto& search = *static_cast<ObjectSearch*> (data);
    std::uintptr_t start = UINTPTR_MAX, end = 0;
    const void* ehFrame = nullptr;
    bool contains = false;

    for (int i = 0; i < info->dlpi_phnum; ++i)
    {
        const auto& header = info->dlpi_phdr[i];
        const auto segment = info->dlpi_addr + header.p_vaddr;

        if (header.p_type == PT_LOAD)
        {
            start = segment < start ? segment : start;
            end = segment + header.p_memsz > end ? segment + header.p_memsz : end;
            contains = contains || (search.address >= segment && search.address < segment + header.p_memsz);
        }
        else if (header.p_type == PT_GNU_EH_FRAME)
        {
            ehFrame = reinterpret_cast<const void*> (segment);
        }
    }

    if (! contains)
        return 0;

    *search.result = {};
    search.result->dlfo_map_start = reinterpret_cast<void*> (start);
    search.result->dlfo_map_end = reinterpret_cast<void*> (end);
    search.result->dlfo_eh_frame = const_cast<void*> (ehFrame);
    search.found = true;
    return 1;
}
} // namespace

// The unwinder's question "which loaded object holds this address, and where are its unwind
// tables", answered by walking the loaded objects as older C libraries allow.
extern "C" int _dl_find_object (void* address, dl_find_object* result) noexcept
{
    ObjectSearch search { reinterpret_cast<std::uintptr_t> (address), result, false };
    dl_iterate_phdr (findObjectContaining, &search);
    return search.found ? 0 : -1;
}

#endif
