#include "crash/CrashTestSupport.h"
#include "processor/PluginProcessor.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>

using namespace CrashTestSupport;

namespace
{
enum class Fault
{
    nullWrite,
    abort
};

void raiseFault (Fault fault)
{
    if (fault == Fault::nullWrite)
        writeThroughNullPointer();
    else
        std::abort();
}

int signalOf (Fault fault)
{
    return fault == Fault::nullWrite ? SIGSEGV : SIGABRT;
}

// The host side of a child: JUCE running and some effect instances alive when it faults.
void runProcessorsThenFault (int numProcessors, Fault fault)
{
    juce::ScopedJuceInitialiser_GUI juceInit;
    std::vector<std::unique_ptr<PelorvaneAudioProcessor>> processors;

    for (int i = 0; i < numProcessors; ++i)
        processors.push_back (std::make_unique<PelorvaneAudioProcessor>());

    raiseFault (fault);
}

std::set<std::string> logNamesAround (juce::Time start, juce::Time end)
{
    std::set<std::string> names;

    for (auto t = start - juce::RelativeTime::seconds (1); t <= end + juce::RelativeTime::seconds (1); t += juce::RelativeTime::seconds (1))
        names.insert (("Crash " + t.formatted ("%Y-%m-%d %H-%M-%S") + ".txt").toStdString());

    return names;
}

std::vector<std::string> splitCrLfLines (const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;

    for (auto end = text.find ("\r\n"); end != std::string::npos; end = text.find ("\r\n", start))
    {
        lines.push_back (text.substr (start, end - start));
        start = end + 2;
    }

    return lines;
}

void expectLogContent (const std::string& log, const std::string& faultLine)
{
    ASSERT_GE (log.size(), 2u);
    EXPECT_EQ (log.substr (log.size() - 2), "\r\n");

    size_t bareLineFeeds = 0;
    for (size_t i = 0; i < log.size(); ++i)
        if (log[i] == '\n' && (i == 0 || log[i - 1] != '\r'))
            ++bareLineFeeds;
    EXPECT_EQ (bareLineFeeds, 0u);

    const auto lines = splitCrLfLines (log);
    ASSERT_GE (lines.size(), 4u) << log;
    EXPECT_EQ (lines[0], faultLine);
    EXPECT_EQ (lines[1], "------");

    // One frame per line as the C library renders it: "module(symbol+offset) [address]".
    for (size_t i = 2; i + 1 < lines.size(); ++i)
        EXPECT_NE (lines[i].find ("[0x"), std::string::npos) << lines[i];

    // Last, the build: the GNU build-id of the code that wrote the log.
    EXPECT_TRUE (std::regex_match (lines.back(), std::regex ("Pelorvane 2\\.0\\.0 build [0-9a-f]{40}"))) << lines.back();
}

// The host handler's record: signal, si_code, fault address, whether the log folder existed.
std::vector<long long> readHostMarker (const std::filesystem::path& file)
{
    std::istringstream in (readBytes (file));
    return { std::istream_iterator<long long> (in), std::istream_iterator<long long>() };
}

class CrashHandlerTest : public ::testing::Test
{
protected:
    Environment environment() const
    {
        return { { "APPDATA", appData.string() }, { "HOME", home.string() }, { "XDG_CONFIG_HOME", std::nullopt } };
    }

    TemporaryFolder temp;
    const std::filesystem::path appData = temp.path() / "Roaming";
    const std::filesystem::path home = temp.path() / "home";
    const std::filesystem::path logFolder = logFolderUnder (appData);
};

class CrashHandlerFaultTest : public CrashHandlerTest, public ::testing::WithParamInterface<Fault>
{
};
} // namespace

TEST_P (CrashHandlerFaultTest, FaultLeavesOneTimeStampedLogWithSignalAndBacktrace)
{
    const auto fault = GetParam();
    const auto start = juce::Time::getCurrentTime();

    const auto status = runInChild ([&]
                                    { runProcessorsThenFault (1, fault); },
                                    environment());

    const auto end = juce::Time::getCurrentTime();
    EXPECT_TRUE (wasKilledBy (status, signalOf (fault))) << describeStatus (status);

    const auto names = fileNamesIn (logFolder);
    ASSERT_EQ (names.size(), 1u);
    EXPECT_TRUE (std::regex_match (names[0], std::regex (R"(Crash \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.txt)"))) << names[0];
    EXPECT_EQ (logNamesAround (start, end).count (names[0]), 1u) << names[0];

    expectLogContent (readBytes (logFolder / names[0]), fault == Fault::nullWrite ? "Signal 11 (SIGSEGV)" : "Signal 6 (SIGABRT)");
    EXPECT_FALSE (std::filesystem::exists (home));
}

TEST_P (CrashHandlerFaultTest, HostHandlerInstalledBeforeTheProcessorsRunsAfterTheLog)
{
    const auto fault = GetParam();
    const auto marker = temp.path() / "host handler ran";

    // Two processors: installing again must not put our handler behind itself.
    const auto host = [&]
    {
        installHostHandler (marker, logFolder);
        runProcessorsThenFault (2, fault);
    };
    const auto status = runInChild (host, environment());

    EXPECT_TRUE (wasKilledBy (status, signalOf (fault))) << describeStatus (status);
    EXPECT_EQ (fileNamesIn (logFolder).size(), 1u);

    const auto seen = readHostMarker (marker);
    ASSERT_EQ (seen.size(), 4u) << "the host handler should run exactly once: " << readBytes (marker);
    EXPECT_EQ (seen[0], signalOf (fault));
    EXPECT_EQ (seen[3], 1) << "the log should be written first";

    // The host sees the fault itself, not a copy we sent: kernel-made, at address 0.
    if (fault == Fault::nullWrite)
    {
        EXPECT_EQ (seen, (std::vector<long long> { SIGSEGV, SEGV_MAPERR, 0, 1 }));
    }
}

INSTANTIATE_TEST_SUITE_P (Faults,
                          CrashHandlerFaultTest,
                          ::testing::Values (Fault::nullWrite, Fault::abort),
                          [] (const auto& paramInfo)
                          { return paramInfo.param == Fault::nullWrite ? std::string ("NullWrite") : std::string ("Abort"); });

TEST_F (CrashHandlerTest, HostHandlerInstalledBetweenTwoProcessorsStillRunsAfterTheLog)
{
    const auto marker = temp.path() / "host handler ran";

    const auto host = [&]
    {
        juce::ScopedJuceInitialiser_GUI juceInit;
        PelorvaneAudioProcessor first;
        installHostHandler (marker, logFolder);
        PelorvaneAudioProcessor second;
        writeThroughNullPointer();
    };
    const auto status = runInChild (host, environment());

    EXPECT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
    EXPECT_EQ (fileNamesIn (logFolder).size(), 1u);

    EXPECT_EQ (readHostMarker (marker), (std::vector<long long> { SIGSEGV, SEGV_MAPERR, 0, 1 }));
}

TEST_F (CrashHandlerTest, HandlerInstalledBeforeUsStillRunsWhenALaterOnePassesTheFaultBackToUs)
{
    const auto original = temp.path() / "original handler ran";
    const auto later = temp.path() / "later handler ran";

    // The later handler passes faults on to what it found: ours. Ours then goes on to the
    // original one, and never back to itself.
    const auto host = [&]
    {
        juce::ScopedJuceInitialiser_GUI juceInit;
        installHostHandler (original, logFolder);
        PelorvaneAudioProcessor first;
        installHostHandler (later, logFolder, HostHandling::passesOnToPrevious);
        PelorvaneAudioProcessor second;
        writeThroughNullPointer();
    };
    const auto status = runInChild (host, environment());

    EXPECT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
    EXPECT_EQ (fileNamesIn (logFolder).size(), 1u);
    EXPECT_EQ (readHostMarker (later), (std::vector<long long> { SIGSEGV, SEGV_MAPERR, 0, 1 }));
    EXPECT_EQ (readHostMarker (original), (std::vector<long long> { SIGSEGV, SEGV_MAPERR, 0, 1 }));
}

TEST_F (CrashHandlerTest, AfterTheHostRecoversALaterFaultIsLoggedAndPassedOnAgain)
{
    const auto marker = temp.path() / "host handler ran";

    const auto host = [&]
    {
        juce::ScopedJuceInitialiser_GUI juceInit;
        installHostHandler (marker, logFolder, HostHandling::recovers);
        PelorvaneAudioProcessor processor;

        if (recoveredFrom (writeThroughNullPointer) && recoveredFrom ([]
                                                                      { std::abort(); }))
            _exit (0);
    };
    const auto status = runInChild (host, environment());

    EXPECT_EQ (describeStatus (status), "exited with code 0");
    ASSERT_EQ (fileNamesIn (logFolder).size(), 2u);
    const auto seen = readHostMarker (marker);
    ASSERT_EQ (seen.size(), 8u);
    EXPECT_EQ (seen[0], SIGSEGV);
    EXPECT_EQ (seen[3], 1);
    EXPECT_EQ (seen[4], SIGABRT);
    EXPECT_EQ (seen[7], 1);
}

TEST_F (CrashHandlerTest, FaultInsideTheAllocatorLeavesALogAndEndsTheProcess)
{
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "breaks glibc's heap, but under AddressSanitizer the allocator is ASan's";
#endif
    // The heap is broken and its lock held: a handler that allocates would hang here until
    // the child's time limit.
    const auto status = runInChild ([]
                                    {
                                        juce::ScopedJuceInitialiser_GUI juceInit;
                                        PelorvaneAudioProcessor processor;
                                        faultInsideTheAllocator(); },
                                    environment());

    EXPECT_TRUE (wasKilledBy (status, SIGSEGV) || wasKilledBy (status, SIGABRT)) << describeStatus (status);
    ASSERT_EQ (fileNamesIn (logFolder).size(), 1u);
    const auto log = readBytes (logFolder / fileNamesIn (logFolder)[0]);
    expectLogContent (log, wasKilledBy (status, SIGSEGV) ? "Signal 11 (SIGSEGV)" : "Signal 6 (SIGABRT)");
}

TEST_F (CrashHandlerTest, NoLogBeforeTheFirstProcessor)
{
    const auto host = []
    {
        juce::ScopedJuceInitialiser_GUI juceInit;
        writeThroughNullPointer();
    };
    const auto status = runInChild (host, environment());

    EXPECT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
    EXPECT_FALSE (std::filesystem::exists (appData));
}

TEST_F (CrashHandlerTest, WithoutAppDataTheLogGoesUnderTheUserApplicationDataFolder)
{
    for (const auto& appDataValue : { std::optional<std::string> {}, std::optional<std::string> { "" } })
    {
        TemporaryFolder otherHome;
        const Environment environment { { "APPDATA", appDataValue }, { "HOME", otherHome.path().string() }, { "XDG_CONFIG_HOME", std::nullopt } };

        const auto status = runInChild ([]
                                        { runProcessorsThenFault (1, Fault::nullWrite); },
                                        environment);

        EXPECT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
        EXPECT_EQ (fileNamesIn (logFolderUnder (otherHome.path() / ".config")).size(), 1u)
            << (appDataValue.has_value() ? "APPDATA empty" : "APPDATA unset");
    }
}

TEST_F (CrashHandlerTest, SecondFaultInTheSameSecondGetsNumberedName)
{
    // Retried when the two faults happen to straddle a second boundary.
    for (int attempt = 0; attempt < 5; ++attempt)
    {
        std::filesystem::remove_all (appData);

        for (int child = 0; child < 2; ++child)
        {
            const auto status = runInChild ([]
                                            { runProcessorsThenFault (1, Fault::nullWrite); },
                                            environment());
            ASSERT_TRUE (wasKilledBy (status, SIGSEGV)) << describeStatus (status);
        }

        const auto names = fileNamesIn (logFolder);
        ASSERT_EQ (names.size(), 2u);

        // Sorted: "Crash <stamp>(2).txt" comes before "Crash <stamp>.txt".
        const auto stem = names[1].substr (0, names[1].size() - 4);
        if (names[0] != stem + "(2).txt")
            continue;

        expectLogContent (readBytes (logFolder / names[0]), "Signal 11 (SIGSEGV)");
        return;
    }

    FAIL() << "no two faults fell within one second in five attempts";
}
