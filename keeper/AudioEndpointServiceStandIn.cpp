#include "AudioEndpointService.h"

namespace keeper {
namespace {

// There are no audio endpoints to keep here: every object the keeper would create is missing, and says so
// with winerror.h's code, under its own name (no Windows header is here).
constexpr HResult REGDB_E_CLASSNOTREG = static_cast<HResult>(0x80040154);

class StandInAudioEndpointService : public AudioEndpointService {
  public:
    HResult initializeCom() override { return 0; }
    void uninitializeCom() override {}
    HResult openDeviceEnumerator(EnumeratorHandle&) override { return REGDB_E_CLASSNOTREG; }
    HResult getDefaultEndpoint(EnumeratorHandle, EDataFlow, ERole, EndpointHandle&) override {
        return REGDB_E_CLASSNOTREG;
    }
    std::optional<EndpointId> getEndpointId(EndpointHandle) override { return std::nullopt; }
    std::string getFriendlyName(EndpointHandle) override { return "null"; }
    HResult openPolicyConfiguration(PolicyHandle&) override { return REGDB_E_CLASSNOTREG; }
    HResult assignDefaultEndpoint(PolicyHandle, const EndpointId&, ERole) override {
        return REGDB_E_CLASSNOTREG;
    }
    void release(EnumeratorHandle) override {}
    void release(EndpointHandle) override {}
    void release(PolicyHandle) override {}
};

}  // namespace

AudioEndpointService& platformAudioEndpointService() {
    static StandInAudioEndpointService service;
    return service;
}

}  // namespace keeper
