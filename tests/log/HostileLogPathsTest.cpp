// Links and foreign markers planted where the log goes: the program runs as usual, logs nothing through
// them, and leaves what they point at untouched.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>

#include "LoggerProcessFixture.h"

namespace {

struct Planted {
    const char* name;
    // Plants the trap; returns the file or folder that must come out of the run unchanged.
    std::function<std::filesystem::path(const std::filesystem::path& marker,
                                        const std::filesystem::path& outside)>
        plant;
    friend void PrintTo(const Planted& tested, std::ostream* out) { *out << tested.name; }
};

class HostileLogPath : public LoggerProcess, public testing::WithParamInterface<Planted> {};

std::string stateOf(const std::filesystem::path& victim) {
    std::error_code failure;
    if (!std::filesystem::exists(std::filesystem::symlink_status(victim, failure))) {
        return "<absent>";
    }
    if (std::filesystem::is_directory(victim)) {
        std::string names;
        for (const auto& entry : std::filesystem::directory_iterator(victim)) {
            names += entry.path().filename().string() + ";";
        }
        return "folder:" + names;
    }
    struct stat status {};
    ::stat(victim.c_str(), &status);
    return readFile(victim) + "|" + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec);
}

TEST_P(HostileLogPath, NothingIsWrittenThroughIt) {
    ScratchDirectory outside("outside");
    const std::filesystem::path victim = GetParam().plant(marker(), outside.path());
    const std::string before = stateOf(victim);

    const ChildRun run = runDriver({"m|1|planted", "e|2|ERROR: again:|5"});

    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(stateOf(victim), before);
}

void writeVictim(const std::filesystem::path& victim) {
    writeFile(victim, "precious bytes\n");
}

INSTANTIATE_TEST_SUITE_P(
    Traps, HostileLogPath,
    testing::Values(Planted{"MarkerIsASymlinkToARealFolder",
                            [](const std::filesystem::path& marker, const std::filesystem::path& outside) {
                                std::filesystem::create_directory_symlink(outside, marker);
                                return outside;
                            }},
                    Planted{"LogFileIsASymlinkToAFileOutside",
                            [](const std::filesystem::path& marker, const std::filesystem::path& outside) {
                                std::filesystem::create_directory(marker);
                                writeVictim(outside / "victim.txt");
                                std::filesystem::create_symlink(outside / "victim.txt",
                                                                marker / "LogDriver.txt");
                                return outside / "victim.txt";
                            }},
                    Planted{"LogFileIsADanglingSymlink",
                            [](const std::filesystem::path& marker, const std::filesystem::path& outside) {
                                std::filesystem::create_directory(marker);
                                std::filesystem::create_symlink(outside / "created.txt",
                                                                marker / "LogDriver.txt");
                                return outside / "created.txt";
                            }},
                    Planted{"LogFileHasASecondHardLink",
                            [](const std::filesystem::path& marker, const std::filesystem::path& outside) {
                                std::filesystem::create_directory(marker);
                                writeVictim(outside / "victim.txt");
                                std::filesystem::create_hard_link(outside / "victim.txt",
                                                                  marker / "LogDriver.txt");
                                return outside / "victim.txt";
                            }},
                    Planted{"LogFileIsAFifoWithoutReader",
                            [](const std::filesystem::path& marker, const std::filesystem::path&) {
                                std::filesystem::create_directory(marker);
                                ::mkfifo((marker / "LogDriver.txt").c_str(), 0666);
                                return marker;
                            }}),
    [](const testing::TestParamInfo<Planted>& tested) { return tested.param.name; });

// The driver runs while the test acts on the marker: each "pause" among the records waits for the next step.
class LoggerProcessWithSteps : public LoggerProcess {
  protected:
    ChildRun runDriverWithSteps(std::vector<std::string> records,
                                const std::vector<std::function<void()>>& steps) {
        const std::filesystem::path signals = output.path() / "signals";
        std::filesystem::create_directory(signals);
        std::size_t pauses = 0;
        for (std::string& record : records) {
            if (record == "pause") {
                record = "pause|" + std::to_string(++pauses) + "|" + signals.string();
            }
        }
        std::future<ChildRun> run = std::async(std::launch::async, [&] { return runDriver(records); });
        for (std::size_t step = 1; step <= steps.size(); ++step) {
            const std::string name = std::to_string(step);
            while (!std::filesystem::exists(signals / ("paused-" + name)) &&
                   run.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
            }
            steps[step - 1]();
            writeFile(signals / ("resume-" + name), "");
        }
        return run.get();
    }
};

TEST_F(LoggerProcessWithSteps, MarkerSwappedForALinkMidRunGetsNothingAndAMarkerMadeAgainLogsAgain) {
    createMarkerFolder();
    ScratchDirectory outside("outside");
    const std::filesystem::path away = temporary.path() / "moved-away";
    const ChildRun run = runDriverWithSteps(
        {"m|1|before", "pause", "m|2|through the link", "e|3|ERROR: again:|5", "pause", "m|4|made again"},
        {[&] {
             std::filesystem::rename(marker(), away);
             std::filesystem::create_directory_symlink(outside.path(), marker());
         },
         [&] {
             std::filesystem::remove(marker());
             std::filesystem::create_directory(marker());
         }});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
    EXPECT_EQ(logRecords(away / "LogDriver.txt"), (std::vector<std::string>{banner, "[1] before"}));
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{"[4] made again"}));
}

TEST_F(LoggerProcessWithSteps, MarkerSwappedMidRunForAFolderOfAnotherUserGetsNothing) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving a folder to another user needs root";
    }
    createMarkerFolder();
    const std::filesystem::path away = temporary.path() / "moved-away";
    const ChildRun run = runDriverWithSteps({"m|1|before", "pause", "m|2|into their folder"}, {[&] {
                                                std::filesystem::rename(marker(), away);
                                                std::filesystem::create_directory(marker());
                                                ASSERT_EQ(::chown(marker().c_str(), 65534, 65534), 0);
                                            }});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_empty(marker()));
    EXPECT_EQ(logRecords(away / "LogDriver.txt"), (std::vector<std::string>{banner, "[1] before"}));
}

TEST_F(LoggerProcess, MarkerOfAnotherUserKeepsLoggingOff) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving the marker to another user needs root";
    }
    createMarkerFolder();
    ASSERT_EQ(::chown(marker().c_str(), 65534, 65534), 0);
    const ChildRun run = runDriver({"m|1|hello"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_TRUE(std::filesystem::is_empty(marker()));
}

TEST_F(LoggerProcess, LogFileOfAnotherUserInATrustedMarkerIsLeftAlone) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "giving the log file to another user needs root";
    }
    createMarkerFolder();
    writeFile(logFile(), "theirs\n");
    ASSERT_EQ(::chown(logFile().c_str(), 65534, 65534), 0);
    const ChildRun run = runDriver({"m|1|hello"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out + run.err, "");
    EXPECT_EQ(readFile(logFile()), "theirs\n");
}

TEST_F(LoggerProcess, MarkerOfRootStillLogsForEveryUser) {
    createMarkerFolder();
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(marker().c_str(), 0, 0), 0);
    }
    ASSERT_EQ(runDriver({"m|1|hello"}).exitCode, 0);
    EXPECT_EQ(loggedLines(), (std::vector<std::string>{banner, "[1] hello"}));
}

}  // namespace
