#include "NotifierEntry.h"

#include "DeviceBroadcast.h"

namespace notifier {
namespace {

struct EventChoice {
    char firstCharacter;
    std::int32_t line;
    const char* message;
    std::uint32_t eventType;
};

constexpr EventChoice eventChoices[] = {
    {'1', 64, "Broadcasting on device addition", dbtDeviceArrival},
    {'0', 68, "Broadcasting on device removal", dbtDeviceRemoveComplete},
};

}  // namespace

int runNotifier(console::ConsolePlatform& console, NotifierPlatform& platform, NotifierLog& log, int argc,
                const char* const* argv) {
    console::hideConsoleMadeForThisProcess(console);
    if (argc > 1) {
        for (const EventChoice& choice : eventChoices) {
            if (argv[1][0] == choice.firstCharacter) {
                log.logMessage(choice.line, choice.message);
                return broadcastDeviceChange(platform, log, choice.eventType);
            }
        }
    }
    log.logMessage(72, "ERROR: invalid parameter!!!");
    return 0;
}

}  // namespace notifier
