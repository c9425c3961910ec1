#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace keeper {

using HResult = std::int32_t;  // negative means failure

// The platform's own values, passed through unchanged.
enum EDataFlow : std::int32_t { eRender = 0, eCapture = 1 };
enum ERole : std::int32_t { eConsole = 0, eMultimedia = 1, eCommunications = 2 };

// Opaque platform objects. Whoever obtains one gives it back exactly once with release.
struct EnumeratorHandle {
    void* object = nullptr;
};
struct EndpointHandle {
    void* object = nullptr;
};
struct PolicyHandle {
    void* object = nullptr;
};

// An endpoint identifier as the platform gave it, without its terminating zero; compared unit by unit.
using EndpointId = std::u16string;

// Everything the keeper asks of the platform's audio endpoints.
class AudioEndpointService {
  public:
    virtual ~AudioEndpointService() = default;

    virtual HResult initializeCom() = 0;
    virtual void uninitializeCom() = 0;

    // The open calls fill the handle only when they succeed (a result that is not negative).
    virtual HResult openDeviceEnumerator(EnumeratorHandle& enumerator) = 0;
    virtual HResult getDefaultEndpoint(EnumeratorHandle enumerator, EDataFlow flow, ERole role,
                                       EndpointHandle& endpoint) = 0;
    virtual std::optional<EndpointId> getEndpointId(EndpointHandle endpoint) = 0;
    // "null" when no name can be read. A name that is not well-formed UTF-16 raises std::range_error.
    virtual std::string getFriendlyName(EndpointHandle endpoint) = 0;
    virtual HResult openPolicyConfiguration(PolicyHandle& policy) = 0;
    virtual HResult assignDefaultEndpoint(PolicyHandle policy, const EndpointId& id, ERole role) = 0;

    virtual void release(EnumeratorHandle enumerator) = 0;
    virtual void release(EndpointHandle endpoint) = 0;
    virtual void release(PolicyHandle policy) = 0;
};

// The platform's service: Core Audio on Windows, a stand-in without endpoints elsewhere.
AudioEndpointService& platformAudioEndpointService();

// Gives a handle back to the service when it goes out of scope, if an open call filled it.
template <typename Handle>
class OwnedHandle {
  public:
    explicit OwnedHandle(AudioEndpointService& owner) : service(owner) {}
    ~OwnedHandle() {
        if (owned) {
            service.release(handle);
        }
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    // Takes the result of the open call that was given `slot()`; true when the handle is now owned.
    bool adopt(HResult result) {
        owned = result >= 0;
        return owned;
    }
    Handle& slot() { return handle; }
    Handle get() const { return handle; }

  private:
    AudioEndpointService& service;
    Handle handle{};
    bool owned = false;
};

}  // namespace keeper
