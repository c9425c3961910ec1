// What the programs' own logic adds beyond the platform calls: a whole keeper run against the fake audio
// service with waits of no length, and the three broadcasts against a seam that does nothing.
#include <benchmark/benchmark.h>

#include <sstream>

#include "DeviceBroadcast.h"
#include "FakeAudioEndpointService.h"
#include "KeeperRun.h"

namespace {

class DroppingKeeperLog : public keeper::KeeperLog {
  public:
    void logMessage(std::int32_t, const char*) override {}
    void logNameId(std::int32_t, const char*, std::string, std::string) override {}
    void logError(std::int32_t, const char*, std::int32_t) override {}
};

void KeeperRun_NoTakeover(benchmark::State& state) {
    using namespace keeper;
    for (auto _ : state) {
        FakeAudioEndpointService audio;
        audio.addEndpoint(u"{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}",
                          u"Speakers (USB Audio Device)");
        audio.addEndpoint(u"{0.0.1.00000000}.{0d3c9e2a-1b7f-4c6e-8a5d-2f4b6c8d0e1a}",
                          u"Microphone (USB Audio Device)");
        for (const ERole role : {eConsole, eMultimedia, eCommunications}) {
            audio.setDefault(eRender, role, u"{0.0.0.00000000}.{5b8f3a41-2c6e-4d7a-9e1b-0f3c7a9d2e64}");
            audio.setDefault(eCapture, role, u"{0.0.1.00000000}.{0d3c9e2a-1b7f-4c6e-8a5d-2f4b6c8d0e1a}");
        }
        DroppingKeeperLog log;
        std::ostringstream console;
        KeeperContext context{audio, log, console, [](std::uint32_t) {}};
        benchmark::DoNotOptimize(runKeeper(context));
    }
}

class IdlePlatform : public notifier::NotifierPlatform, public notifier::NotifierLog {
  public:
    void setLastError(std::uint32_t) override {}
    std::int32_t broadcastSystemMessage(std::uint32_t, std::uint32_t*, std::uint32_t, std::uintptr_t,
                                        std::intptr_t lParam) override {
        benchmark::DoNotOptimize(lParam);
        return 1;
    }
    std::uint32_t getLastError() override { return 0; }
    std::uint32_t consoleProcessCount() override { return 1; }
    void* consoleWindow() override { return nullptr; }
    void showWindow(void*, int) override {}
    void logMessage(std::int32_t, const char*) override {}
    void logStatus(std::int32_t, const char*, std::int32_t, std::int32_t) override {}
};

void BroadcastDeviceChange(benchmark::State& state) {
    IdlePlatform platform;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            notifier::broadcastDeviceChange(platform, platform, notifier::dbtDeviceArrival));
    }
}

}  // namespace

BENCHMARK(KeeperRun_NoTakeover);
BENCHMARK(BroadcastDeviceChange);
