#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AudioEndpointService.h"
#include "KeeperRun.h"

namespace keeper {

enum class Operation {
    initializeCom,
    openDeviceEnumerator,
    getDefaultEndpoint,
    getEndpointId,
    getFriendlyName,
    openPolicyConfiguration,
    assignDefaultEndpoint,
};
const char* operationName(Operation operation);

struct FakeEndpoint {
    std::u16string id;
    std::u16string name;
};

// A scripted audio system. Defaults are endpoint ids by flow and role (empty: no default); a failure can be
// set for any call of any operation; every handle given out is tracked until it comes back.
class FakeAudioEndpointService : public AudioEndpointService {
  public:
    static constexpr HResult failure = static_cast<HResult>(0x80004005);       // E_FAIL
    static constexpr HResult accessDenied = static_cast<HResult>(0x80070005);  // E_ACCESSDENIED

    void addEndpoint(const std::u16string& id, const std::u16string& name) {
        endpoints[id] = FakeEndpoint{id, name};
    }
    void setDefault(EDataFlow flow, ERole role, const std::u16string& id) { defaults[flow][role] = id; }
    const std::u16string& defaultOf(EDataFlow flow, ERole role) const { return defaults[flow][role]; }
    // The nth call (from 1) of the operation fails: an error result, an absent id, a name that is not UTF-16.
    void failCall(Operation operation, unsigned call) { failures.insert({operation, call}); }
    void failRole(ERole role, HResult result) { roleResults[role] = result; }
    unsigned callsOf(Operation operation) const;

    std::size_t liveHandles() const { return live.size(); }
    unsigned misuses() const { return misuseCount; }
    const std::vector<std::string>& assignments() const { return assigned; }

    HResult initializeCom() override;
    void uninitializeCom() override;
    HResult openDeviceEnumerator(EnumeratorHandle& enumerator) override;
    HResult getDefaultEndpoint(EnumeratorHandle enumerator, EDataFlow flow, ERole role,
                               EndpointHandle& endpoint) override;
    std::optional<EndpointId> getEndpointId(EndpointHandle endpoint) override;
    std::string getFriendlyName(EndpointHandle endpoint) override;
    HResult openPolicyConfiguration(PolicyHandle& policy) override;
    HResult assignDefaultEndpoint(PolicyHandle policy, const EndpointId& id, ERole role) override;
    void release(EnumeratorHandle enumerator) override { giveBack(enumerator.object, 'N'); }
    void release(EndpointHandle endpoint) override { giveBack(endpoint.object, 'E'); }
    void release(PolicyHandle policy) override { giveBack(policy.object, 'P'); }

  private:
    bool failsNow(Operation operation);
    void* handOut(char kind, const std::u16string& endpointId = {});
    void giveBack(void* object, char kind);
    const FakeEndpoint* endpointOf(void* object);
    void expectLive(void* object, char kind);

    std::map<std::u16string, FakeEndpoint> endpoints;
    mutable std::array<std::array<std::u16string, 3>, 2> defaults;
    std::set<std::pair<Operation, unsigned>> failures;
    std::map<Operation, unsigned> calls;
    std::map<ERole, HResult> roleResults;
    struct LiveHandle {
        char kind;
        std::u16string endpointId;
    };
    std::map<void*, LiveHandle> live;
    std::uintptr_t nextHandle = 0x1000;
    bool comStarted = false;
    unsigned misuseCount = 0;
    std::vector<std::string> assigned;
};

// Records and waits in one sequence, as the run made them.
class RecordingKeeperLog : public KeeperLog {
  public:
    void logMessage(std::int32_t line, const char* message) override;
    void logNameId(std::int32_t line, const char* message, std::string name, std::string id) override;
    void logError(std::int32_t line, const char* message, std::int32_t code) override;

    std::vector<std::string> events;
};

}  // namespace keeper
