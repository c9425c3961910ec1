#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "DeviceBroadcast.h"
#include "FakeConsolePlatform.h"
#include "NotifierEntry.h"

namespace notifier {
namespace {

std::string hex(std::uintmax_t value) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%jx", value);
    return text;
}

std::string bytesOf(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    for (std::size_t at = 0; at < size; ++at) {
        char pair[4];
        std::snprintf(pair, sizeof(pair), "%s%02X", at == 0 ? "" : " ", bytes[at]);
        text += pair;
    }
    return text;
}

// Platform calls and records in one sequence, with a copy of each record handed to a broadcast.
class RecordingPlatform : public NotifierPlatform, public NotifierLog {
  public:
    void setLastError(std::uint32_t code) override {
        events.push_back("SetLastError " + std::to_string(code));
        lastError = code;
    }
    std::int32_t broadcastSystemMessage(std::uint32_t flags, std::uint32_t* recipients, std::uint32_t message,
                                        std::uintptr_t wParam, std::intptr_t lParam) override {
        events.push_back("Broadcast flags=" + hex(flags) + " recipients=" + hex(*recipients) +
                         " message=" + hex(message) + " wParam=" + hex(wParam) +
                         " lParam=" + (lParam == 0 ? "0" : "record"));
        if (lParam != 0) {
            records.push_back(
                bytesOf(reinterpret_cast<const std::uint8_t*>(lParam), deviceInterfaceRecordSize));
        }
        const std::size_t index = broadcasts++;
        if (index < recipientsWrittenBack.size()) {
            *recipients = recipientsWrittenBack[index];
        }
        lastError = index < errors.size() ? errors[index] : 0;
        return index < statuses.size() ? statuses[index] : 1;
    }
    std::uint32_t getLastError() override {
        events.push_back("GetLastError");
        return lastError;
    }
    void logMessage(std::int32_t line, const char* message) override {
        events.push_back("record " + std::to_string(line) + " " + message);
    }
    void logStatus(std::int32_t line, const char* message, std::int32_t status,
                   std::int32_t errorCode) override {
        events.push_back("record " + std::to_string(line) + " " + message + std::to_string(status) +
                         ", ErrorCode:" + std::to_string(errorCode));
    }

    std::vector<std::string> events;
    std::vector<std::string> records;
    std::vector<std::int32_t> statuses;
    std::vector<std::uint32_t> errors;
    std::vector<std::uint32_t> recipientsWrittenBack;
    FakeConsolePlatform console{events};

  private:
    std::uint32_t lastError = 0;
    std::size_t broadcasts = 0;
};

// A log that keeps nothing, as with logging off.
class DroppingLog : public NotifierLog {
  public:
    void logMessage(std::int32_t, const char*) override {}
    void logStatus(std::int32_t, const char*, std::int32_t, std::int32_t) override {}
};

const std::string camera =
    "51 00 4F 00 52 00 20 00 54 00 61 00 76 00 72 00 6F 00 20 00 43 00 61 00 6D 00 65 00 72 00 61 00 00 00";
const std::string captureRecord =
    "42 00 00 00 05 00 00 00 00 00 00 00 3D 77 E8 65 56 8F D0 11 A3 B9 00 A0 C9 22 31 96 " + camera +
    " 00 00 00 00";
const std::string videoRecord =
    "42 00 00 00 05 00 00 00 00 00 00 00 05 AD 94 69 EF 93 D0 11 A3 CC 00 A0 C9 22 31 96 " + camera +
    " 00 00 00 00";

std::vector<std::string> broadcastsFor(const std::string& event) {
    return {
        "SetLastError 0",
        "Broadcast flags=0x20 recipients=0x8 message=0x219 wParam=0x7 lParam=0",
        "GetLastError",
        "record 21 DBT_DEVNODES_CHANGED Status:1, ErrorCode:0",
        "SetLastError 0",
        "Broadcast flags=0x20 recipients=0x8 message=0x219 wParam=" + event + " lParam=record",
        "GetLastError",
        "record 39 AM_KSCATEGORY_CAPTURE Status:1, ErrorCode:0",
        "SetLastError 0",
        "Broadcast flags=0x20 recipients=0x8 message=0x219 wParam=" + event + " lParam=record",
        "GetLastError",
        "record 52 AM_KSCATEGORY_VIDEO Status:1, ErrorCode:0",
    };
}

std::vector<std::string> operator+(std::vector<std::string> front, const std::vector<std::string>& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

struct ArgumentCase {
    std::vector<const char*> argv;
    int exitCode;
    std::vector<std::string> afterHiding;
    friend void PrintTo(const ArgumentCase& tested, std::ostream* out) {
        for (const char* argument : tested.argv) {
            *out << '"' << argument << "\" ";
        }
    }
};

class NotifierArguments : public testing::TestWithParam<ArgumentCase> {};

TEST_P(NotifierArguments, HideTheConsoleFirstThenDecideOnTheFirstCharacter) {
    RecordingPlatform platform;
    const std::vector<const char*>& argv = GetParam().argv;
    EXPECT_EQ(runNotifier(platform.console, platform, platform, static_cast<int>(argv.size()), argv.data()),
              GetParam().exitCode);
    EXPECT_EQ(platform.events, conhostConsoleGivenUp + GetParam().afterHiding);
}

const std::vector<std::string> arrival =
    std::vector<std::string>{"record 64 Broadcasting on device addition"} + broadcastsFor("0x8000");
const std::vector<std::string> removal =
    std::vector<std::string>{"record 68 Broadcasting on device removal"} + broadcastsFor("0x8004");
const std::vector<std::string> invalid = {"record 72 ERROR: invalid parameter!!!"};

INSTANTIATE_TEST_SUITE_P(
    Table, NotifierArguments,
    testing::Values(ArgumentCase{{"Halvicor", "1"}, 1, arrival}, ArgumentCase{{"Halvicor", "0"}, 1, removal},
                    ArgumentCase{{"Halvicor", "10"}, 1, arrival},
                    ArgumentCase{{"Halvicor", "01"}, 1, removal},
                    ArgumentCase{{"Halvicor", "1", "0"}, 1, arrival}, ArgumentCase{{"Halvicor"}, 0, invalid},
                    ArgumentCase{{"Halvicor", ""}, 0, invalid}, ArgumentCase{{"Halvicor", "2"}, 0, invalid},
                    ArgumentCase{{"Halvicor", " 1"}, 0, invalid},
                    ArgumentCase{{"Halvicor", "-1"}, 0, invalid}));

TEST(NotifierConsole, SharedWithItsStarterIsLeftAlone) {
    RecordingPlatform platform;
    platform.console.processes = 2;
    const char* argv[] = {"Halvicor", "x"};
    EXPECT_EQ(runNotifier(platform.console, platform, platform, 2, argv), 0);
    EXPECT_EQ(platform.events, (std::vector<std::string>{"GetConsoleProcessList", invalid[0]}));
}

TEST(NotifierConsole, AbsentIsLeftAlone) {
    RecordingPlatform platform;
    platform.console.processes = 0;
    const char* argv[] = {"Halvicor", "1"};
    EXPECT_EQ(runNotifier(platform.console, platform, platform, 2, argv), 1);
    EXPECT_EQ(platform.events, std::vector<std::string>{"GetConsoleProcessList"} + arrival);
}

class DeviceBroadcast : public testing::TestWithParam<std::uint32_t> {};

TEST_P(DeviceBroadcast, RecordIsByteForByteTheCameraUnderEachClass) {
    RecordingPlatform platform;
    EXPECT_EQ(broadcastDeviceChange(platform, platform, GetParam()), 1);
    EXPECT_EQ(platform.records, (std::vector<std::string>{captureRecord, videoRecord}));
}

TEST_P(DeviceBroadcast, RecipientsWrittenBackCarryOnToTheNextBroadcast) {
    RecordingPlatform platform;
    platform.recipientsWrittenBack = {0x18, 0x10};
    broadcastDeviceChange(platform, platform, GetParam());
    EXPECT_NE(platform.events[1].find("recipients=0x8 "), std::string::npos);
    EXPECT_NE(platform.events[5].find("recipients=0x18 "), std::string::npos);
    EXPECT_NE(platform.events[9].find("recipients=0x10 "), std::string::npos);
}

TEST_P(DeviceBroadcast, FailedBroadcastsAreAllRecordedWithTheirErrors) {
    RecordingPlatform platform;
    platform.statuses = {-1, -1, -1};
    platform.errors = {5, 1159, 87};
    EXPECT_EQ(broadcastDeviceChange(platform, platform, GetParam()), 1);
    EXPECT_EQ(platform.events[3], "record 21 DBT_DEVNODES_CHANGED Status:-1, ErrorCode:5");
    EXPECT_EQ(platform.events[7], "record 39 AM_KSCATEGORY_CAPTURE Status:-1, ErrorCode:1159");
    EXPECT_EQ(platform.events[11], "record 52 AM_KSCATEGORY_VIDEO Status:-1, ErrorCode:87");
}

TEST_P(DeviceBroadcast, PlatformCallsAreTheSameWithLoggingOff) {
    RecordingPlatform logged;
    broadcastDeviceChange(logged, logged, GetParam());
    RecordingPlatform unlogged;
    DroppingLog off;
    broadcastDeviceChange(unlogged, off, GetParam());
    std::vector<std::string> platformCalls;
    for (const std::string& event : logged.events) {
        if (event.rfind("record ", 0) != 0) {
            platformCalls.push_back(event);
        }
    }
    EXPECT_EQ(unlogged.events, platformCalls);
    EXPECT_EQ(unlogged.records, logged.records);
}

INSTANTIATE_TEST_SUITE_P(ArrivalAndRemoval, DeviceBroadcast,
                         testing::Values(dbtDeviceArrival, dbtDeviceRemoveComplete));

}  // namespace
}  // namespace notifier
