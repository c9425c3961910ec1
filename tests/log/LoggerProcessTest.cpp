#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoggerProcessFixture.h"

namespace {

TEST_F(LoggerProcess, WithoutMarkerCreatesNothing) {
    const ChildRun run = runDriver({"m|1|hello", "e|2|ERROR: x:|5"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(std::filesystem::is_empty(temporary.path()));
}

TEST_F(LoggerProcess, MarkerIsAPlainFileSoNothingIsWrittenOrShown) {
    writeFile(marker(), "not a folder");
    const ChildRun run = runDriver({"m|1|hello"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(readFile(marker()), "not a folder");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temporary.path()), {}), 1);
}

TEST_F(LoggerProcess, BannerOpensEachRunAndLaterRunsAppend) {
    createMarkerFolder();
    ASSERT_EQ(runDriver({"m|1|first run"}).exitCode, 0);
    ASSERT_EQ(runDriver({"m|2|second run"}).exitCode, 0);
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{banner, "[1] first run", banner, "[2] second run"}));
}

TEST_F(LoggerProcess, EveryRecordKindIsWrittenByteForByte) {
    createMarkerFolder();
    const ChildRun run = runDriver({
        "m|163|Initial default audio devices:",
        "n|177|Speaker(eConsole) Name:|Speakers (USB Audio)|{0.0.0.00000000}.{5b8f3a41}",
        "n|199|Speaker(eCommunications) Name:||",
        "e|276|ERROR: speaker(eConsole) reset failed, error:|-2147024891",
        "s|21|DBT_DEVNODES_CHANGED Status:|-1|5",
        "s|39|AM_KSCATEGORY_CAPTURE Status:|1|1159",
        "e|-2147483648|lowest line:|2147483647",
        "n|119|Default mic changed, Name:|Line\\nBreak|id",
    });
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(loggedLines(),
              (std::vector<std::string>{
                  banner,
                  "[163] Initial default audio devices:",
                  "[177] Speaker(eConsole) Name:Speakers (USB Audio) ID:{0.0.0.00000000}.{5b8f3a41}",
                  "[199] Speaker(eCommunications) Name: ID:",
                  "[276] ERROR: speaker(eConsole) reset failed, error:-2147024891",
                  "[21] DBT_DEVNODES_CHANGED Status:-1, ErrorCode:5",
                  "[39] AM_KSCATEGORY_CAPTURE Status:1, ErrorCode:1159",
                  "[-2147483648] lowest line:2147483647",
                  "[119] Default mic changed, Name:Line",
                  "<no prefix> Break ID:id",
              }));
}

TEST_F(LoggerProcess, LogRemovedBetweenRecordsIsCreatedAgainWithoutBanner) {
    createMarkerFolder();
    ASSERT_EQ(runDriver({"m|1|first", "remove-log", "m|2|second"}).exitCode, 0);
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{"[2] second"}));
}

// At its start, or half-way with part of it made: nothing of it reaches the file, and the next starts clean.
TEST_F(LoggerProcess, RecordThatRunsOutOfMemoryIsDroppedAndTheNextIsWritten) {
    createMarkerFolder();
    const ChildRun run =
        runDriver({"m|1|before", "o|2|dropped", "m|3|after", "h|4|dropped half-way", "m|5|after it"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{banner, "[1] before", "[3] after", "[5] after it"}));
}

TEST_F(LoggerProcess, LogPathJoinsTheReportedTemporaryDirectoryAsText) {
    createMarkerFolder();
    const ChildRun run = runDriver({"print-log-path"});
#ifdef _WIN32
    // The platform reports the folder with a trailing backslash; the marker's slash becomes a second one,
    // and the log file's slash stays as it is.
    const std::string expected =
        temporary.path().u8string() + "\\\\qortavronotify/LogDriver.txt" + platformNewline;
#else
    const std::string expected =
        temporary.path().u8string() + "/qortavronotify/LogDriver.txt" + platformNewline;
#endif
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{banner}));
}

class LoggerProcessUnderNonAsciiFolder : public LoggerProcess {
  protected:
    LoggerProcessUnderNonAsciiFolder() : LoggerProcess("Jos\xC3\xA9-\xE6\x97\xA5") {}
};

TEST_F(LoggerProcessUnderNonAsciiFolder, StillLogs) {
    createMarkerFolder();
    ASSERT_EQ(runDriver({"m|3|written"}).exitCode, 0);
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{banner, "[3] written"}));
}

}  // namespace
