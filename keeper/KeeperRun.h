#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "AudioEndpointService.h"

namespace keeper {

// Where the run's records go: the process's logger in the program, a recorder in tests.
class KeeperLog {
  public:
    virtual ~KeeperLog() = default;
    virtual void logMessage(std::int32_t line, const char* message) = 0;
    virtual void logNameId(std::int32_t line, const char* message, std::string name, std::string id) = 0;
    virtual void logError(std::int32_t line, const char* message, std::int32_t code) = 0;
};

// Everything the run touches outside itself.
struct KeeperContext {
    AudioEndpointService& audio;
    KeeperLog& log;
    std::ostream& console;
    std::function<void(std::uint32_t milliseconds)> wait;
};

// The six identifiers seen at the start, by data flow and role; absent where none could be read.
struct SavedDefaults {
    std::array<std::array<std::optional<EndpointId>, 3>, 2> ids;

    std::optional<EndpointId>& of(EDataFlow flow, ERole role) { return ids[flow][role]; }
    const std::optional<EndpointId>& of(EDataFlow flow, ERole role) const { return ids[flow][role]; }
};

int runKeeper(KeeperContext& context);
void recordInitialDefaults(KeeperContext& context, SavedDefaults& saved);
bool checkTakeover(KeeperContext& context, const SavedDefaults& saved, EDataFlow flow);
void restoreDefaults(KeeperContext& context, const SavedDefaults& saved, EDataFlow flow);

}  // namespace keeper
