#include "FakeAudioEndpointService.h"

#include "Utf8.h"

namespace keeper {

const char* operationName(Operation operation) {
    switch (operation) {
        case Operation::initializeCom:
            return "initializeCom";
        case Operation::openDeviceEnumerator:
            return "openDeviceEnumerator";
        case Operation::getDefaultEndpoint:
            return "getDefaultEndpoint";
        case Operation::getEndpointId:
            return "getEndpointId";
        case Operation::getFriendlyName:
            return "getFriendlyName";
        case Operation::openPolicyConfiguration:
            return "openPolicyConfiguration";
        case Operation::assignDefaultEndpoint:
            return "assignDefaultEndpoint";
    }
    return "?";
}

unsigned FakeAudioEndpointService::callsOf(Operation operation) const {
    const auto found = calls.find(operation);
    return found == calls.end() ? 0 : found->second;
}

bool FakeAudioEndpointService::failsNow(Operation operation) {
    if (operation != Operation::initializeCom && !comStarted) {
        ++misuseCount;  // every platform call belongs between COM's start and end
    }
    return failures.count({operation, ++calls[operation]}) != 0;
}

void* FakeAudioEndpointService::handOut(char kind, const std::u16string& endpointId) {
    void* object = reinterpret_cast<void*>(nextHandle++);
    live[object] = LiveHandle{kind, endpointId};
    return object;
}

void FakeAudioEndpointService::expectLive(void* object, char kind) {
    const auto found = live.find(object);
    if (found == live.end() || found->second.kind != kind) {
        ++misuseCount;
    }
}

void FakeAudioEndpointService::giveBack(void* object, char kind) {
    expectLive(object, kind);
    live.erase(object);
}

const FakeEndpoint* FakeAudioEndpointService::endpointOf(void* object) {
    expectLive(object, 'E');
    const auto handle = live.find(object);
    if (handle == live.end()) {
        return nullptr;
    }
    const auto endpoint = endpoints.find(handle->second.endpointId);
    return endpoint == endpoints.end() ? nullptr : &endpoint->second;
}

HResult FakeAudioEndpointService::initializeCom() {
    comStarted = true;
    return failsNow(Operation::initializeCom) ? failure : 0;
}

void FakeAudioEndpointService::uninitializeCom() {
    if (!live.empty()) {
        ++misuseCount;  // objects outliving COM
    }
    comStarted = false;
}

HResult FakeAudioEndpointService::openDeviceEnumerator(EnumeratorHandle& enumerator) {
    if (failsNow(Operation::openDeviceEnumerator)) {
        return failure;
    }
    enumerator.object = handOut('N');
    return 0;
}

HResult FakeAudioEndpointService::getDefaultEndpoint(EnumeratorHandle enumerator, EDataFlow flow, ERole role,
                                                     EndpointHandle& endpoint) {
    expectLive(enumerator.object, 'N');
    const std::u16string& id = defaults[flow][role];
    if (failsNow(Operation::getDefaultEndpoint) || id.empty()) {
        return static_cast<HResult>(0x80070490);  // not found
    }
    endpoint.object = handOut('E', id);
    return 0;
}

std::optional<EndpointId> FakeAudioEndpointService::getEndpointId(EndpointHandle endpoint) {
    const FakeEndpoint* found = endpointOf(endpoint.object);
    if (failsNow(Operation::getEndpointId) || found == nullptr) {
        return std::nullopt;
    }
    return found->id;
}

std::string FakeAudioEndpointService::getFriendlyName(EndpointHandle endpoint) {
    const FakeEndpoint* found = endpointOf(endpoint.object);
    // A failing call reads a name that is not well-formed UTF-16, the one way this call can fail.
    const std::u16string name = failsNow(Operation::getFriendlyName) ? u"Broken\xD800"
                                : found                              ? found->name
                                                                     : u"";
    return found ? toUtf8(name.c_str()) : "null";
}

HResult FakeAudioEndpointService::openPolicyConfiguration(PolicyHandle& policy) {
    if (failsNow(Operation::openPolicyConfiguration)) {
        return static_cast<HResult>(0x80040154);  // class not registered
    }
    policy.object = handOut('P');
    return 0;
}

HResult FakeAudioEndpointService::assignDefaultEndpoint(PolicyHandle policy, const EndpointId& id,
                                                        ERole role) {
    expectLive(policy.object, 'P');
    assigned.push_back(std::to_string(role) + " " + toUtf8(id.c_str()));
    if (failsNow(Operation::assignDefaultEndpoint)) {
        return accessDenied;
    }
    const auto scripted = roleResults.find(role);
    if (scripted != roleResults.end() && scripted->second < 0) {
        return scripted->second;
    }
    // The platform knows the endpoint's flow from its identifier alone.
    const auto endpoint = endpoints.find(id);
    if (endpoint == endpoints.end()) {
        return static_cast<HResult>(0x80070490);
    }
    const EDataFlow flow = id.rfind(u"{0.0.1.", 0) == 0 ? eCapture : eRender;
    defaults[flow][role] = id;
    // A scripted success code (S_FALSE) comes with the default set.
    return scripted != roleResults.end() ? scripted->second : 0;
}

void RecordingKeeperLog::logMessage(std::int32_t line, const char* message) {
    events.push_back(std::to_string(line) + " " + message);
}

void RecordingKeeperLog::logNameId(std::int32_t line, const char* message, std::string name, std::string id) {
    events.push_back(std::to_string(line) + " " + message + name + " ID:" + id);
}

void RecordingKeeperLog::logError(std::int32_t line, const char* message, std::int32_t code) {
    events.push_back(std::to_string(line) + " " + message + std::to_string(code));
}

}  // namespace keeper
