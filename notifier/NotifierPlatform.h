#pragma once

#include <cstdint>

namespace notifier {

// The window-messaging calls the notifier makes, in the platform's own terms.
class NotifierPlatform {
  public:
    virtual ~NotifierPlatform() = default;

    virtual void setLastError(std::uint32_t code) = 0;
    // BroadcastSystemMessageW; may write the recipients that got the message back into *recipients.
    virtual std::int32_t broadcastSystemMessage(std::uint32_t flags, std::uint32_t* recipients,
                                                std::uint32_t message, std::uintptr_t wParam,
                                                std::intptr_t lParam) = 0;
    virtual std::uint32_t getLastError() = 0;
};

// The real calls on Windows; elsewhere a stand-in whose broadcasts fail as unsupported, so the records say
// what happened.
NotifierPlatform& platformNotifier();

// Where the notifier's records go: the process's logger in the program, a recorder in tests.
class NotifierLog {
  public:
    virtual ~NotifierLog() = default;
    virtual void logMessage(std::int32_t line, const char* message) = 0;
    virtual void logStatus(std::int32_t line, const char* message, std::int32_t status,
                           std::int32_t errorCode) = 0;
};

}  // namespace notifier
