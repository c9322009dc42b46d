// Loads the built VST3 module as a host does, so this test carries no plug-in code itself.

#include "crash/CrashTestSupport.h"

#include <gtest/gtest.h>

#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>

#include <csignal>
#include <cstring>
#include <dlfcn.h>
#include <fstream>
#include <unistd.h>

using namespace CrashTestSupport;

namespace
{
// Exit codes of a child that found the module or the handlers not as expected.
enum SetupFailure
{
    moduleNotLoaded = 2,
    effectNotCreated = 3,
    ourHandlerNotInFront = 4,
    moduleStillMapped = 5,
    hostHandlerNotBack = 6
};

bool moduleIsMapped()
{
    std::ifstream maps ("/proc/self/maps");
    const auto moduleFile = std::filesystem::path (PELORVANE_VST3_MODULE).filename().string();

    for (std::string line; std::getline (maps, line);)
        if (line.find (moduleFile) != std::string::npos)
            return true;

    return false;
}

/** The module, entered as a VST3 host on Linux does: ModuleEntry, then the factory. */
class LoadedModule
{
public:
    LoadedModule()
        : handle (dlopen (PELORVANE_VST3_MODULE, RTLD_NOW | RTLD_LOCAL))
    {
        if (handle == nullptr)
            return;

        if (auto entry = reinterpret_cast<bool (*) (void*)> (dlsym (handle, "ModuleEntry")))
            entry (handle);

        if (auto getFactory = reinterpret_cast<Steinberg::IPluginFactory* (*) ()> (dlsym (handle, "GetPluginFactory")))
            factory = getFactory();
    }

    bool isLoaded() const { return handle != nullptr && factory != nullptr; }

    /** Creates an instance of the effect's audio component and releases it again. */
    bool createAndReleaseEffect()
    {
        for (Steinberg::int32 i = 0; i < factory->countClasses(); ++i)
        {
            Steinberg::PClassInfo info;

            if (factory->getClassInfo (i, &info) != Steinberg::kResultOk || std::strcmp (info.category, kVstAudioEffectClass) != 0)
                continue;

            void* component = nullptr;

            if (factory->createInstance (info.cid, Steinberg::Vst::IComponent_iid, &component) != Steinberg::kResultOk || component == nullptr)
                return false;

            static_cast<Steinberg::FUnknown*> (component)->release();
            return true;
        }

        return false;
    }

    void unload()
    {
        factory->release();
        factory = nullptr;

        if (auto exit = reinterpret_cast<bool (*)()> (dlsym (handle, "ModuleExit")))
            exit();

        dlclose (handle);
        handle = nullptr;
    }

private:
    void* handle = nullptr;
    Steinberg::IPluginFactory* factory = nullptr;
};

class ModuleUnloadTest : public ::testing::Test
{
protected:
    Environment environment() const
    {
        return { { "APPDATA", appData.string() }, { "HOME", home.string() }, { "XDG_CONFIG_HOME", std::nullopt } };
    }

    // Loads the module, creates an effect, then faults with the module still loaded or after
    // unloading it; the host's handler was installed before the module was loaded.
    int runHostThatFaults (bool unloadFirst)
    {
        const auto host = [&]
        {
            installHostHandler (marker, logFolder);

            LoadedModule module;
            if (! module.isLoaded())
                _exit (moduleNotLoaded);
            if (! module.createAndReleaseEffect())
                _exit (effectNotCreated);
            if (hostHandlerIsInstalled (SIGSEGV))
                _exit (ourHandlerNotInFront);

            if (unloadFirst)
            {
                module.unload();
                if (moduleIsMapped())
                    _exit (moduleStillMapped);
                if (! hostHandlerIsInstalled (SIGSEGV) || ! hostHandlerIsInstalled (SIGABRT))
                    _exit (hostHandlerNotBack);
            }

            writeThroughNullPointer();
        };

        return runInChild (host, environment());
    }

    TemporaryFolder temp;
    const std::filesystem::path appData = temp.path() / "Roaming";
    const std::filesystem::path home = temp.path() / "home";
    const std::filesystem::path logFolder = logFolderUnder (appData);
    const std::filesystem::path marker = temp.path() / "host handler ran";
};
} // namespace

TEST_F (ModuleUnloadTest, FaultAfterAnEffectWasCreatedIsLoggedAndPassedOn)
{
    const auto status = runHostThatFaults (false);

    EXPECT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
    ASSERT_EQ (fileNamesIn (logFolder).size(), 1u);
    EXPECT_EQ (readBytes (logFolder / fileNamesIn (logFolder)[0]).rfind ("Signal 11 (SIGSEGV)\r\n------\r\n", 0), 0u);
    EXPECT_EQ (readBytes (marker), "11 1 0 1\n");
}

TEST_F (ModuleUnloadTest, AfterUnloadingTheHostHandlerIsBackAndNothingIsLogged)
{
    const auto status = runHostThatFaults (true);

    EXPECT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
    EXPECT_TRUE (fileNamesIn (logFolder).empty());
    EXPECT_FALSE (std::filesystem::exists (home));
    EXPECT_EQ (readBytes (marker), "11 1 0 0\n");
}
