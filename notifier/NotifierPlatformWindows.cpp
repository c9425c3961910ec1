#include <windows.h>

#include "NotifierPlatform.h"

namespace notifier {
namespace {

class WindowsNotifierPlatform : public NotifierPlatform {
  public:
    void setLastError(std::uint32_t code) override { ::SetLastError(code); }
    std::int32_t broadcastSystemMessage(std::uint32_t flags, std::uint32_t* recipients, std::uint32_t message,
                                        std::uintptr_t wParam, std::intptr_t lParam) override {
        DWORD word = *recipients;
        const long status = ::BroadcastSystemMessageW(flags, &word, message, wParam, lParam);
        // Read before anything else can touch it; writing the recipients back does not.
        *recipients = word;
        return static_cast<std::int32_t>(status);
    }
    std::uint32_t getLastError() override { return ::GetLastError(); }
};

}  // namespace

NotifierPlatform& platformNotifier() {
    static WindowsNotifierPlatform platform;
    return platform;
}

}  // namespace notifier
