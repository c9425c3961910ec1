#include "NotifierPlatform.h"

namespace notifier {
namespace {

constexpr std::uint32_t errorNotSupported = 50;  // ERROR_NOT_SUPPORTED

// No window system to broadcast to: every broadcast fails as unsupported.
class StandInNotifierPlatform : public NotifierPlatform {
  public:
    void setLastError(std::uint32_t code) override { lastError = code; }
    std::int32_t broadcastSystemMessage(std::uint32_t, std::uint32_t*, std::uint32_t, std::uintptr_t,
                                        std::intptr_t) override {
        lastError = errorNotSupported;
        return -1;
    }
    std::uint32_t getLastError() override { return lastError; }

  private:
    std::uint32_t lastError = 0;
};

}  // namespace

NotifierPlatform& platformNotifier() {
    static StandInNotifierPlatform platform;
    return platform;
}

}  // namespace notifier
