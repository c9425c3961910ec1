#include <gtest/gtest.h>

#include <chrono>

#include "ChildProcess.h"
#include "LogFile.h"
#include "ScratchDirectory.h"

namespace {

// The program as an installer starts it, on a machine with no audio endpoints to keep.
TEST(KestraneWithoutEndpoints, PrintsItsProgressWaitsFiveSecondsAndExitsWithZero) {
    ScratchDirectory temporary("kestrane");
    ScratchDirectory output("output");
    std::filesystem::create_directory(temporary.path() / "qortavronotify");

    const auto started = std::chrono::steady_clock::now();
    const ChildRun run = runChild(siblingProgram("Kestrane"), {}, temporary.path(), output.path());
    const auto elapsed = std::chrono::steady_clock::now() - started;

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(
        run.out,
        "Get Information about Default Audio Device\nInstallation in Progress\nInstallation Finished\n");
    EXPECT_EQ(run.err, "");
    const std::filesystem::path log = temporary.path() / "qortavronotify" / "Kestraner.txt";
    const std::string retry = "[68] Default device reset not complete yet, retry";
    EXPECT_EQ(logRecords(log), (std::vector<std::string>{"[54] ***** Kestraner Logs *****",
                                                         "[163] Initial default audio devices:", retry, retry,
                                                         retry, "[75] *** DONE ***"}));
    EXPECT_GE(elapsed, std::chrono::milliseconds(4950));
    EXPECT_LT(elapsed, std::chrono::milliseconds(8000));
}

}  // namespace
