#include "AudioEndpointService.h"

namespace keeper {
namespace {

// There are no audio endpoints to keep here: every object the keeper would create is missing, and says so.
constexpr HResult classNotRegistered = static_cast<HResult>(0x80040154);

class StandInAudioEndpointService : public AudioEndpointService {
  public:
    HResult initializeCom() override { return 0; }
    void uninitializeCom() override {}
    HResult openDeviceEnumerator(EnumeratorHandle&) override { return classNotRegistered; }
    HResult getDefaultEndpoint(EnumeratorHandle, EDataFlow, ERole, EndpointHandle&) override {
        return classNotRegistered;
    }
    std::optional<EndpointId> getEndpointId(EndpointHandle) override { return std::nullopt; }
    std::string getFriendlyName(EndpointHandle) override { return "null"; }
    HResult openPolicyConfiguration(PolicyHandle&) override { return classNotRegistered; }
    HResult assignDefaultEndpoint(PolicyHandle, const EndpointId&, ERole) override {
        return classNotRegistered;
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
