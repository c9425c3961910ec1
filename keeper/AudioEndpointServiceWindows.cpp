#include <mmdeviceapi.h>
#include <propsys.h>
#include <windows.h>

#include "AudioEndpointService.h"
#include "ComHolders.h"
#include "PolicyConfig.h"
#include "Utf8.h"

namespace keeper {
namespace {

// The SDK's values under its own names, defined here: its headers only declare them, for uuid.lib or an
// INITGUID translation unit to define.
constexpr CLSID CLSID_MMDeviceEnumerator = {
    0xBCDE0395, 0xE52F, 0x467C, {0x8E, 0x3D, 0xC4, 0x57, 0x92, 0x91, 0x69, 0x2E}};
constexpr IID IID_IMMDeviceEnumerator = {
    0xA95664D2, 0x9614, 0x4F35, {0xA7, 0x46, 0xDE, 0x8D, 0xB6, 0x36, 0x17, 0xE6}};
constexpr PROPERTYKEY PKEY_Device_FriendlyName = {
    {0xA45C254E, 0xDF1C, 0x4EFD, {0x80, 0x20, 0x67, 0xD1, 0x46, 0xA8, 0x50, 0xE0}}, 14};

template <typename Interface>
Interface* objectOf(void* handleObject) {
    return static_cast<Interface*>(handleObject);
}

// Gives the object to the keeper's handle on success. A call that claims success yet gives no object must
// not hand the keeper a null handle.
template <typename Interface, typename Handle>
HResult handOver(HRESULT result, ComPtr<Interface>& object, Handle& handle) {
    if (SUCCEEDED(result) && object.get() == nullptr) {
        result = E_POINTER;
    }
    if (SUCCEEDED(result)) {
        handle.object = object.detach();
    }
    return result;
}

template <typename Interface, typename Handle>
HResult createInstance(const CLSID& objectClass, const IID& interfaceId, Handle& handle) {
    ComPtr<Interface> object;
    const HRESULT result = ::CoCreateInstance(objectClass, nullptr, CLSCTX_ALL, interfaceId,
                                              reinterpret_cast<void**>(object.put()));
    return handOver(result, object, handle);
}

class CoreAudioEndpointService : public AudioEndpointService {
  public:
    HResult initializeCom() override { return ::CoInitialize(nullptr); }
    void uninitializeCom() override { ::CoUninitialize(); }

    HResult openDeviceEnumerator(EnumeratorHandle& enumerator) override {
        return createInstance<IMMDeviceEnumerator>(CLSID_MMDeviceEnumerator, IID_IMMDeviceEnumerator,
                                                   enumerator);
    }

    HResult getDefaultEndpoint(EnumeratorHandle enumerator, EDataFlow flow, ERole role,
                               EndpointHandle& endpoint) override {
        ComPtr<IMMDevice> device;
        const HRESULT result = objectOf<IMMDeviceEnumerator>(enumerator.object)
                                   ->GetDefaultAudioEndpoint(static_cast<::EDataFlow>(flow),
                                                             static_cast<::ERole>(role), device.put());
        return handOver(result, device, endpoint);
    }

    std::optional<EndpointId> getEndpointId(EndpointHandle endpoint) override {
        CoTaskString id;
        if (FAILED(objectOf<IMMDevice>(endpoint.object)->GetId(id.put())) || id.get() == nullptr) {
            return std::nullopt;
        }
        return EndpointId(reinterpret_cast<const char16_t*>(id.get()));
    }

    std::string getFriendlyName(EndpointHandle endpoint) override {
        IMMDevice* device = objectOf<IMMDevice>(endpoint.object);
        if (device == nullptr) {
            return "null";
        }
        // Only S_OK counts: any other code, success codes included, leaves the name unread.
        ComPtr<IPropertyStore> store;
        if (device->OpenPropertyStore(STGM_READ, store.put()) != S_OK) {
            return "null";
        }
        PropVariantHolder value;
        if (store->GetValue(PKEY_Device_FriendlyName, value.put()) != S_OK) {
            return "null";
        }
        if (value.get().vt != VT_LPWSTR || value.get().pwszVal == nullptr) {
            return "null";
        }
        return toUtf8(reinterpret_cast<const char16_t*>(value.get().pwszVal));
    }

    HResult openPolicyConfiguration(PolicyHandle& policy) override {
        return createInstance<IPolicyConfigDefaultSetter>(policyConfigClass, policyConfigInterface, policy);
    }

    HResult assignDefaultEndpoint(PolicyHandle policy, const EndpointId& id, ERole role) override {
        return objectOf<IPolicyConfigDefaultSetter>(policy.object)
            ->SetDefaultEndpoint(reinterpret_cast<LPCWSTR>(id.c_str()), static_cast<::ERole>(role));
    }

    void release(EnumeratorHandle enumerator) override {
        objectOf<IMMDeviceEnumerator>(enumerator.object)->Release();
    }
    void release(EndpointHandle endpoint) override { objectOf<IMMDevice>(endpoint.object)->Release(); }
    void release(PolicyHandle policy) override {
        objectOf<IPolicyConfigDefaultSetter>(policy.object)->Release();
    }
};

}  // namespace

AudioEndpointService& platformAudioEndpointService() {
    static CoreAudioEndpointService service;
    return service;
}

}  // namespace keeper
