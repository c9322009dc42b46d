#include "crash/CrashLog.h"
#include "crash/CrashTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace CrashTestSupport;

namespace
{
juce::File toJuceFile (const std::filesystem::path& path)
{
    return juce::File (juce::String (path.string()));
}

// 5 March 2024, 14:07:09 local time.
const juce::Time faultTime (2024, 2, 5, 14, 7, 9, 0, true);
} // namespace

TEST (CrashLogText, ExceptionCodeInLowerCaseHexWithoutLeadingZeros)
{
    EXPECT_EQ (CrashLog::describeException (0xC0000005u), "Exception 0xc0000005");
    EXPECT_EQ (CrashLog::describeException (0x1Du), "Exception 0x1d");
    EXPECT_EQ (CrashLog::describeException (0u), "Exception 0x0");
    EXPECT_EQ (CrashLog::describeException (0xFFFFFFFFu), "Exception 0xffffffff");
}

TEST (CrashLogText, SignalNamedWhereKnown)
{
    EXPECT_EQ (CrashLog::describeSignal (SIGSEGV), "Signal 11 (SIGSEGV)");
    EXPECT_EQ (CrashLog::describeSignal (SIGABRT), "Signal 6 (SIGABRT)");
    EXPECT_EQ (CrashLog::describeSignal (SIGBUS), "Signal 7 (SIGBUS)");
    EXPECT_EQ (CrashLog::describeSignal (64), "Signal 64");
}

TEST (CrashLogFolder, UnderAppDataWhenSetElseUnderUserApplicationData)
{
    const juce::File fallback ("/home/someone/.config");

    EXPECT_EQ (CrashLog::getLogFolder ("/data/Roaming", fallback).getFullPathName(),
               "/data/Roaming/Ombrix Audio/Pelorvane/Crash Logs");
    EXPECT_EQ (CrashLog::getLogFolder ({}, fallback).getFullPathName(),
               "/home/someone/.config/Ombrix Audio/Pelorvane/Crash Logs");
    EXPECT_EQ (CrashLog::getLogFolder ("relative", fallback),
               juce::File::getCurrentWorkingDirectory().getChildFile ("relative/Ombrix Audio/Pelorvane/Crash Logs"));
}

TEST (CrashLogFile, TwoLinesWithCrLfWhenNoFrameResolves)
{
    TemporaryFolder temp;
    const auto folder = toJuceFile (temp.path()).getChildFile ("Crash Logs");

    const auto file = CrashLog::writeLogFile (folder, faultTime, CrashLog::formatLogText ("Exception 0xc0000005", {}));

    EXPECT_EQ (file.getFileName(), "Crash 2024-03-05 14-07-09.txt");
    EXPECT_EQ (readBytes (file.getFullPathName().toStdString()), "Exception 0xc0000005\r\n------\r\n");
}

TEST (CrashLogFile, BacktraceLineEndsKeptAsCrLfAndBareLineFeedsConverted)
{
    TemporaryFolder temp;
    const auto folder = toJuceFile (temp.path());

    const auto file = CrashLog::writeLogFile (folder, faultTime, CrashLog::formatLogText ("Signal 11 (SIGSEGV)", "0: a + 0x1\r\n2: b + 0x2f\n"));

    EXPECT_EQ (readBytes (file.getFullPathName().toStdString()), "Signal 11 (SIGSEGV)\r\n------\r\n0: a + 0x1\r\n2: b + 0x2f\r\n");
}

TEST (CrashLogFile, CreatesMissingParentFolders)
{
    TemporaryFolder temp;
    const auto folder = toJuceFile (temp.path()).getChildFile ("a/b/c");

    const auto file = CrashLog::writeLogFile (folder, faultTime, "x");

    EXPECT_TRUE (folder.isDirectory());
    EXPECT_EQ (file.getParentDirectory(), folder);
    EXPECT_TRUE (file.existsAsFile());
}

TEST (CrashLogFile, SameSecondGetsNumberedNamesAndLeavesEarlierLogsAlone)
{
    TemporaryFolder temp;
    const auto folder = toJuceFile (temp.path());

    CrashLog::writeLogFile (folder, faultTime, "first");
    CrashLog::writeLogFile (folder, faultTime, "second");
    CrashLog::writeLogFile (folder, faultTime, "third");
    CrashLog::writeLogFile (folder, faultTime + juce::RelativeTime::seconds (1), "next second");

    const std::vector<std::string> expected { "Crash 2024-03-05 14-07-09(2).txt",
                                              "Crash 2024-03-05 14-07-09(3).txt",
                                              "Crash 2024-03-05 14-07-09.txt",
                                              "Crash 2024-03-05 14-07-10.txt" };
    EXPECT_EQ (fileNamesIn (temp.path()), expected);
    EXPECT_EQ (readBytes (temp.path() / "Crash 2024-03-05 14-07-09.txt"), "first");
    EXPECT_EQ (readBytes (temp.path() / "Crash 2024-03-05 14-07-09(3).txt"), "third");
}

TEST (CrashLogFile, UnwritableFolderIsDroppedSilently)
{
    TemporaryFolder temp;
    const auto blocker = toJuceFile (temp.path()).getChildFile ("not a folder");
    blocker.replaceWithText ("in the way");

    CrashLog::writeLogFile (blocker.getChildFile ("Crash Logs"), faultTime, "lost");

    EXPECT_EQ (fileNamesIn (temp.path()), std::vector<std::string> { "not a folder" });
}
