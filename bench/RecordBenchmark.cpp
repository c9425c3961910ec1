// What a record costs, side by side with its floor: the same bytes appended by a raw open, write and
// close in the same folder. Run with the marker folder present for the "on" figures and absent for "off"
// (bench/run does both).
#include <benchmark/benchmark.h>
#include <fcntl.h>
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

void rawAppend(const std::string& path, const std::string& bytes) {
    const int file = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
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

void floorFor(benchmark::State& state, const std::string& bytes) {
    if (!markerPresent()) {
        state.SkipWithError("run with the marker folder present");
        return;
    }
    const std::string path = processLogger.logFilePath() + ".floor";
    for (auto _ : state) {
        rawAppend(path, bytes);
    }
    ::unlink(path.c_str());
}

void RecordOn_logMessage(benchmark::State& state) {
    recordOn(state, [] { processLogger.logMessage(prefix, 163, "Initial default audio devices:"); });
}
void Floor_logMessage(benchmark::State& state) {
    floorFor(state, prefix + "[163] Initial default audio devices:\n");
}
void RecordOn_logNameId(benchmark::State& state) {
    recordOn(state, [] {
        processLogger.logNameId(prefix, 177, "Speaker(eConsole) Name:", "Speakers (USB Audio Device)",
                                "{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}");
    });
}
void Floor_logNameId(benchmark::State& state) {
    floorFor(state, prefix +
                        "[177] Speaker(eConsole) Name:Speakers (USB Audio Device) "
                        "ID:{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}\n");
}
void RecordOn_logStatus(benchmark::State& state) {
    recordOn(state, [] { processLogger.logStatus(prefix, 21, "DBT_DEVNODES_CHANGED Status:", 1, 0); });
}
void Floor_logStatus(benchmark::State& state) {
    floorFor(state, prefix + "[21] DBT_DEVNODES_CHANGED Status:1, ErrorCode:0\n");
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
BENCHMARK(Floor_logMessage);
BENCHMARK(RecordOn_logNameId);
BENCHMARK(Floor_logNameId);
BENCHMARK(RecordOn_logStatus);
BENCHMARK(Floor_logStatus);
BENCHMARK(RecordOff_logMessage);
BENCHMARK(MakeLogPrefix);
BENCHMARK(ToUtf8_EndpointId);
BENCHMARK(ToUtf8_FriendlyName);
