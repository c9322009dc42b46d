#include "ModuleLoader.h"

#ifdef _WIN32
    #include <windows.h>
#else
    #include <dlfcn.h>
#endif

namespace
{
#ifdef _WIN32
std::wstring widen (const std::string& utf8)
{
    const auto length = MultiByteToWideChar (CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide (static_cast<size_t> (length > 0 ? length : 1), L'\0');
    MultiByteToWideChar (CP_UTF8, 0, utf8.c_str(), -1, wide.data(), length);
    wide.resize (wide.size() - 1);
    return wide;
}
#endif
} // namespace

ModuleLoader::ModuleLoader (const std::string& path)
{
#ifdef _WIN32
    handle = reinterpret_cast<void*> (LoadLibraryW (widen (path).c_str()));

    if (handle == nullptr)
        loadError = "LoadLibraryW failed with error " + std::to_string (GetLastError());
#else
    handle = dlopen (path.c_str(), RTLD_LAZY | RTLD_LOCAL);

    if (handle == nullptr)
        loadError = dlerror();
#endif
}

ModuleLoader::~ModuleLoader()
{
    if (handle == nullptr)
        return;

#ifdef _WIN32
    FreeLibrary (reinterpret_cast<HMODULE> (handle));
#else
    dlclose (handle);
#endif
}

void* ModuleLoader::symbol (const char* name) const
{
    if (handle == nullptr)
        return nullptr;

#ifdef _WIN32
    return reinterpret_cast<void*> (GetProcAddress (reinterpret_cast<HMODULE> (handle), name));
#else
    return dlsym (handle, name);
#endif
}

GetFactoryProc ModuleLoader::factoryEntry() const
{
    return reinterpret_cast<GetFactoryProc> (symbol ("GetPluginFactory"));
}

bool ModuleLoader::enter()
{
#ifdef _WIN32
    auto* initDll = reinterpret_cast<bool (*)()> (symbol ("InitDll"));
    return initDll != nullptr && initDll();
#else
    auto* moduleEntry = reinterpret_cast<bool (*) (void*)> (symbol ("ModuleEntry"));
    return moduleEntry != nullptr && moduleEntry (handle);
#endif
}

bool ModuleLoader::exit()
{
#ifdef _WIN32
    auto* exitDll = reinterpret_cast<bool (*)()> (symbol ("ExitDll"));
    return exitDll != nullptr && exitDll();
#else
    auto* moduleExit = reinterpret_cast<bool (*)()> (symbol ("ModuleExit"));
    return moduleExit != nullptr && moduleExit();
#endif
}
