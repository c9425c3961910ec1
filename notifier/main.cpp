#include "Logger.h"
#include "NotifierEntry.h"

const LogIdentity programLogIdentity{"/Halvicor.txt", "***** QORTavroNotifier Logs *****", 55};

namespace {

// The notifier's records, each with a prefix made at the moment of the call.
class ProcessNotifierLog : public notifier::NotifierLog {
  public:
    void logMessage(std::int32_t line, const char* message) override {
        processLogger.logMessage(makeLogPrefix(), line, message);
    }
    void logStatus(std::int32_t line, const char* message, std::int32_t status,
                   std::int32_t errorCode) override {
        processLogger.logStatus(makeLogPrefix(), line, message, status, errorCode);
    }
};

}  // namespace

int main(int argc, char** argv) {
    ProcessNotifierLog log;
    return notifier::runNotifier(console::platformConsole(), notifier::platformNotifier(), log, argc, argv);
}
