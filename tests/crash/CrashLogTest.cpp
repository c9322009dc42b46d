#include "crash/CrashLog.h"
#include "crash/CrashTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace CrashTestSupport;

namespace
{
// 5 March 2024, 14:07:09.
const CrashLog::CalendarTime faultTime { 2024, 3, 5, 14, 7, 9 };

template <typename Describe>
std::string described (Describe&& describe)
{
    CrashLog::Line line;
    describe (line);
    return line.data();
}

bool writeLog (const std::filesystem::path& folder, const CrashLog::CalendarTime& time, const char* frames = "")
{
    return CrashLog::writeLog (folder.string().c_str(), time, "Exception 0xc0000005", frames, "Pelorvane 2.0.0 build 00ff");
}
} // namespace

TEST (CrashLogText, FaultAndBuildLines)
{
    const auto exception = [] (juce::uint32 code)
    { return described ([=] (auto& l)
                        { CrashLog::describeException (code, l); }); };
    EXPECT_EQ (exception (0xC0000005u), "Exception 0xc0000005");
    EXPECT_EQ (exception (0x1Du), "Exception 0x1d");
    EXPECT_EQ (exception (0u), "Exception 0x0");

    const auto signal = [] (int number)
    { return described ([=] (auto& l)
                        { CrashLog::describeSignal (number, l); }); };
    EXPECT_EQ (signal (SIGSEGV), "Signal 11 (SIGSEGV)");
    EXPECT_EQ (signal (SIGBUS), "Signal 7 (SIGBUS)");
    EXPECT_EQ (signal (64), "Signal 64");

    const juce::uint8 id[] = { 0x0a, 0xb1, 0xff };
    EXPECT_EQ (described ([&] (auto& l)
                          { CrashLog::describeBuild (id, 3, l); }),
               "Pelorvane 2.0.0 build 0ab1ff");
    EXPECT_EQ (described ([&] (auto& l)
                          { CrashLog::describeBuild (nullptr, 0, l); }),
               "Pelorvane 2.0.0 build unknown");
}

TEST (CrashLogText, CalendarTimeMatchesTheFramework)
{
    for (const juce::int64 seconds : { 0LL, 951782400LL, 951868799LL, 1709647629LL, 4107542399LL, 253402300799LL })
    {
        const auto expected = juce::Time (seconds * 1000).formatted ("%Y-%m-%d %H-%M-%S");
        const juce::Time utc (seconds * 1000);
        const auto t = CrashLog::calendarTimeOf (seconds + utc.getUTCOffsetSeconds());
        CrashLog::Line name;
        CrashLog::describeFileName (t, 1, name);
        EXPECT_EQ (std::string (name.data()), ("Crash " + expected + ".txt").toStdString()) << seconds;
    }
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

TEST (CrashLogFile, LinesEndInCrLfAndTheBuildLineComesLast)
{
    TemporaryFolder temp;

    EXPECT_TRUE (writeLog (temp.path(), faultTime));
    EXPECT_TRUE (writeLog (temp.path() / "a" / "b", faultTime, "0: a + 0x1\r\n2: b + 0x2f\n"));

    EXPECT_EQ (readBytes (temp.path() / "Crash 2024-03-05 14-07-09.txt"),
               "Exception 0xc0000005\r\n------\r\nPelorvane 2.0.0 build 00ff\r\n");
    EXPECT_EQ (readBytes (temp.path() / "a" / "b" / "Crash 2024-03-05 14-07-09.txt"),
               "Exception 0xc0000005\r\n------\r\n0: a + 0x1\r\n2: b + 0x2f\r\nPelorvane 2.0.0 build 00ff\r\n");
}

TEST (CrashLogFile, SameSecondGetsNumberedNamesAndLeavesEarlierLogsAlone)
{
    TemporaryFolder temp;
    auto nextSecond = faultTime;
    ++nextSecond.second;

    for (const auto* frames : { "first\n", "second\n", "third\n" })
        writeLog (temp.path(), faultTime, frames);

    writeLog (temp.path(), nextSecond);

    const std::vector<std::string> expected { "Crash 2024-03-05 14-07-09(2).txt",
                                              "Crash 2024-03-05 14-07-09(3).txt",
                                              "Crash 2024-03-05 14-07-09.txt",
                                              "Crash 2024-03-05 14-07-10.txt" };
    EXPECT_EQ (fileNamesIn (temp.path()), expected);
    EXPECT_NE (readBytes (temp.path() / "Crash 2024-03-05 14-07-09.txt").find ("first"), std::string::npos);
    EXPECT_NE (readBytes (temp.path() / "Crash 2024-03-05 14-07-09(3).txt").find ("third"), std::string::npos);
}

TEST (CrashLogFile, UnwritableFolderIsDroppedSilently)
{
    TemporaryFolder temp;
    const auto blocker = temp.path() / "not a folder";
    juce::File (blocker.string()).replaceWithText ("in the way");

    EXPECT_FALSE (writeLog (blocker / "Crash Logs", faultTime));
    EXPECT_EQ (fileNamesIn (temp.path()), std::vector<std::string> { "not a folder" });
}
