// What a record costs, side by side with its floors: the same bytes appended by a raw open, write and
// close in the same folder, and by the seven system calls a checked record makes, made bare. Run with the
// marker folder present for the "on" figures and absent for "off" (bench/run does both).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "Logger.h"
#include "Utf8.h"

const LogIdentity programLogIdentity{"/Bench.txt", "***** Bench Logs *****", 1};

namespace {

const std::string prefix = "[ 6120] 2026-03-14 09:26:53.058 ";
const std::u16string endpointId = u"{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}";
const std::u16string friendlyName = u"Speakers (USB Audio Device)";

// With logging off the folder part of the path is empty.
bool markerPresent() {
    return processLogger.logFilePath() != programLogIdentity.logFileLiteral;
}

void rawAppend(const std::string& folder, const std::string& bytes) {
    const int file =
        ::open((folder + "/Bench.txt.floor").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (file >= 0) {
        benchmark::DoNotOptimize(::write(file, bytes.data(), bytes.size()));
        ::close(file);
    }
}

// What a checked record asks of the system, and nothing else: open the folder, read its status, open the
// file inside it, read the file's status, close the folder, write, close. The floor a record is held to.
void checkedAppend(const std::string& folder, const std::string& bytes) {
    const int directory = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat status {};
    benchmark::DoNotOptimize(::fstat(directory, &status));
    const int file =
        ::openat(directory, "Bench.txt.floor",
                 O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    benchmark::DoNotOptimize(::fstat(file, &status));
    ::close(directory);
    if (file >= 0) {
        benchmark::DoNotOptimize(::write(file, bytes.data(), bytes.size()));
        ::close(file);
    }
}

template <typename Record>
void recordOn(benchmark::State& state, Record record) {
    if (!markerPresent()) {
        state.SkipWithError("run with the marker folder present");
        return;
    }
    for (auto _ : state) {
        record();
    }
}

void floorFor(benchmark::State& state, const std::string& bytes,
              void (*append)(const std::string& folder, const std::string& bytes)) {
    if (!markerPresent()) {
        state.SkipWithError("run with the marker folder present");
        return;
    }
    const std::string folder = processLogger.logFilePath().substr(
        0, processLogger.logFilePath().size() - std::string(programLogIdentity.logFileLiteral).size());
    for (auto _ : state) {
        append(folder, bytes);
    }
    ::unlink((folder + "/Bench.txt.floor").c_str());
}

void Floor(benchmark::State& state, const std::string& bytes) {
    floorFor(state, bytes, rawAppend);
}
void CheckedFloor(benchmark::State& state, const std::string& bytes) {
    floorFor(state, bytes, checkedAppend);
}

// The bytes of each record kind below, for its floors.
const std::string messageBytes = prefix + "[163] Initial default audio devices:\n";
const std::string nameIdBytes = prefix +
                                "[177] Speaker(eConsole) Name:Speakers (USB Audio Device) "
                                "ID:{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}\n";
const std::string statusBytes = prefix + "[21] DBT_DEVNODES_CHANGED Status:1, ErrorCode:0\n";

void RecordOn_logMessage(benchmark::State& state) {
    recordOn(state, [] { processLogger.logMessage(prefix, 163, "Initial default audio devices:"); });
}
void RecordOn_logNameId(benchmark::State& state) {
    recordOn(state, [] {
        processLogger.logNameId(prefix, 177, "Speaker(eConsole) Name:", "Speakers (USB Audio Device)",
                                "{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}");
    });
}
void RecordOn_logStatus(benchmark::State& state) {
    recordOn(state, [] { processLogger.logStatus(prefix, 21, "DBT_DEVNODES_CHANGED Status:", 1, 0); });
}

void RecordOff_logMessage(benchmark::State& state) {
    if (markerPresent()) {
        state.SkipWithError("run without the marker folder");
        return;
    }
    for (auto _ : state) {
        processLogger.logMessage(prefix, 163, "Initial default audio devices:");
    }
}

void MakeLogPrefix(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(makeLogPrefix());
    }
}

void ToUtf8_EndpointId(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(toUtf8(endpointId.c_str()));
    }
}

void ToUtf8_FriendlyName(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(toUtf8(friendlyName.c_str()));
    }
}

}  // namespace

BENCHMARK(RecordOn_logMessage);
BENCHMARK_CAPTURE(Floor, logMessage, messageBytes);
BENCHMARK_CAPTURE(CheckedFloor, logMessage, messageBytes);
BENCHMARK(RecordOn_logNameId);
BENCHMARK_CAPTURE(Floor, logNameId, nameIdBytes);
BENCHMARK_CAPTURE(CheckedFloor, logNameId, nameIdBytes);
BENCHMARK(RecordOn_logStatus);
BENCHMARK_CAPTURE(Floor, logStatus, statusBytes);
BENCHMARK_CAPTURE(CheckedFloor, logStatus, statusBytes);
BENCHMARK(RecordOff_logMessage);
BENCHMARK(MakeLogPrefix);
BENCHMARK(ToUtf8_EndpointId);
BENCHMARK(ToUtf8_FriendlyName);
