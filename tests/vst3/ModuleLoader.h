#pragma once

#include <pluginterfaces/base/ipluginbase.h>

#include <string>

using GetFactoryProc = Steinberg::IPluginFactory* (PLUGIN_API*) ();

/** A VST3 module's shared object, loaded with the platform's loader and entered through the
    platform's module functions as hosts do.
*/
class ModuleLoader
{
public:
    explicit ModuleLoader (const std::string& path);
    ~ModuleLoader();

    bool isLoaded() const { return handle != nullptr; }
    const std::string& error() const { return loadError; }

    void* symbol (const char* name) const;
    GetFactoryProc factoryEntry() const;

    /** ModuleEntry on Linux, InitDll on Windows. */
    bool enter();

    /** ModuleExit on Linux, ExitDll on Windows. */
    bool exit();

private:
    void* handle = nullptr;
    std::string loadError;

    ModuleLoader (const ModuleLoader&) = delete;
    ModuleLoader& operator= (const ModuleLoader&) = delete;
};
