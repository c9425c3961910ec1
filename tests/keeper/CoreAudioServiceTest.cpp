// The Windows service against hand-made COM objects: which results count, and that every reference it
// takes is given back, on the failing paths too.
#include <gtest/gtest.h>
#include <mmdeviceapi.h>
#include <propsys.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <vector>

#include "AudioEndpointService.h"

namespace keeper {
namespace {

template <typename Interface>
class Counted : public Interface {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
    long references = 1;  // the test's own
};

LPWSTR taskCopy(const wchar_t* text) {
    const std::size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(::CoTaskMemAlloc(bytes));
    std::memcpy(copy, text, bytes);
    return copy;
}

// A name that comes as a string type with no string in it.
const wchar_t nullString[] = L"(a null string)";

class FakeStore : public Counted<IPropertyStore> {
  public:
    HRESULT STDMETHODCALLTYPE GetCount(DWORD*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAt(DWORD, PROPERTYKEY*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override {
        askedForFriendlyName = key.pid == 14 && key.fmtid.Data1 == 0xA45C254E;
        givenUninitialised = value->vt != VT_EMPTY;
        if (FAILED(result)) {
            return result;  // the value is left as it was handed in
        }
        if (name != nullptr) {
            value->vt = VT_LPWSTR;
            value->pwszVal = name == nullString ? nullptr : taskCopy(name);
            handedOut = value->pwszVal;
        } else {
            value->vt = VT_UI4;
            value->ulVal = 7;
        }
        return result;
    }
    HRESULT STDMETHODCALLTYPE SetValue(REFPROPERTYKEY, REFPROPVARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Commit() override { return E_NOTIMPL; }

    HRESULT result = S_OK;
    const wchar_t* name = L"Speakers";  // null: the value is a number
    bool askedForFriendlyName = false;
    bool givenUninitialised = false;
    void* handedOut = nullptr;
};

class FakeDevice : public Counted<IMMDevice> {
  public:
    HRESULT STDMETHODCALLTYPE Activate(REFIID, DWORD, PROPVARIANT*, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OpenPropertyStore(DWORD access, IPropertyStore** out) override {
        openedForReading = access == STGM_READ;
        if (FAILED(storeResult)) {
            *out = nullptr;
            return storeResult;
        }
        store.AddRef();
        *out = &store;
        return storeResult;
    }
    HRESULT STDMETHODCALLTYPE GetId(LPWSTR* out) override {
        *out = idResult == S_OK && !givesNullId ? taskCopy(L"{0.0.0.00000000}.{Ab-\u00e9}") : nullptr;
        handedOutId = *out;
        return idResult;
    }
    HRESULT STDMETHODCALLTYPE GetState(DWORD*) override { return E_NOTIMPL; }

    FakeStore store;
    HRESULT storeResult = S_OK;
    HRESULT idResult = S_OK;
    bool givesNullId = false;  // and yet reports success
    void* handedOutId = nullptr;
    bool openedForReading = false;
};

class FakeEnumerator : public Counted<IMMDeviceEnumerator> {
  public:
    explicit FakeEnumerator(FakeDevice& given) : device(given) {}
    HRESULT STDMETHODCALLTYPE EnumAudioEndpoints(::EDataFlow, DWORD, IMMDeviceCollection**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDefaultAudioEndpoint(::EDataFlow flow, ::ERole role,
                                                      IMMDevice** out) override {
        askedFlow = flow;
        askedRole = role;
        *out = nullptr;
        if (!givesNoDevice) {
            device.AddRef();
            *out = &device;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDevice(LPCWSTR, IMMDevice**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RegisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnregisterEndpointNotificationCallback(IMMNotificationClient*) override {
        return E_NOTIMPL;
    }

    FakeDevice& device;
    int askedFlow = -1;
    int askedRole = -1;
    bool givesNoDevice = false;  // and yet reports success
};

// Counts what COM's task allocator is asked to free, while it is alive.
class TaskMemoryFrees : public IMallocSpy {
  public:
    TaskMemoryFrees() { registered = SUCCEEDED(::CoRegisterMallocSpy(this)); }
    ~TaskMemoryFrees() {
        if (registered) {
            ::CoRevokeMallocSpy();
        }
    }
    std::ptrdiff_t of(void* memory) const { return std::count(freed.begin(), freed.end(), memory); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
        *out = IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IMallocSpy) ? this : nullptr;
        return *out != nullptr ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* memory) override { return memory; }
    void* STDMETHODCALLTYPE PreFree(void* memory, BOOL) override {
        freed.push_back(memory);
        return memory;
    }
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* memory, SIZE_T size, void** passed, BOOL) override {
        *passed = memory;
        return size;
    }
    void* STDMETHODCALLTYPE PostRealloc(void* memory, BOOL) override { return memory; }
    void* STDMETHODCALLTYPE PreGetSize(void* memory, BOOL) override { return memory; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T size, BOOL) override { return size; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* memory, BOOL) override { return memory; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int allocated) override { return allocated; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

    bool registered = false;

  private:
    std::vector<void*> freed;
};

// Leaves a pattern where the next call's locals will lie, so a value the code forgets to initialise holds
// something other than zeros.
[[gnu::noinline]] void dirtyTheStack() {
    volatile unsigned char junk[8192];
    for (auto& byte : junk) {
        byte = 0xA5;
    }
}

class CoreAudioService : public testing::Test {
  protected:
    std::string friendlyName() {
        dirtyTheStack();
        return platformAudioEndpointService().getFriendlyName(EndpointHandle{&device});
    }
    HResult defaultEndpoint(EDataFlow flow, ERole role, EndpointHandle& endpoint) {
        return platformAudioEndpointService().getDefaultEndpoint(
            EnumeratorHandle{static_cast<IMMDeviceEnumerator*>(&enumerator)}, flow, role, endpoint);
    }
    void TearDown() override {
        EXPECT_EQ(device.references, 1) << "device reference not given back, or given back twice";
        EXPECT_EQ(device.store.references, 1) << "property store not released, or released twice";
        EXPECT_EQ(enumerator.references, 1) << "the caller's enumerator reference was touched";
    }
    FakeDevice device;
    FakeEnumerator enumerator{device};
};

TEST_F(CoreAudioService, FriendlyNameIsReadFromTheStoreOpenedForReading) {
    EXPECT_EQ(friendlyName(), "Speakers");
    EXPECT_TRUE(device.openedForReading);
    EXPECT_TRUE(device.store.askedForFriendlyName);
}

TEST_F(CoreAudioService, FriendlyNameValueIsClearedOnceItIsRead) {
    TaskMemoryFrees frees;
    ASSERT_TRUE(frees.registered);
    EXPECT_EQ(friendlyName(), "Speakers");
    EXPECT_EQ(frees.of(device.store.handedOut), 1);
}

TEST_F(CoreAudioService, EmptyFriendlyNameIsEmptyText) {
    device.store.name = L"";
    EXPECT_EQ(friendlyName(), "");
}

struct UnreadableName {
    const char* name;
    HRESULT storeResult;
    HRESULT valueResult;
    const wchar_t* value;
};

class CoreAudioServiceUnreadableName : public CoreAudioService,
                                       public testing::WithParamInterface<UnreadableName> {};

TEST_P(CoreAudioServiceUnreadableName, GivesNull) {
    device.storeResult = GetParam().storeResult;
    device.store.result = GetParam().valueResult;
    device.store.name = GetParam().value;
    EXPECT_EQ(friendlyName(), "null");
    EXPECT_FALSE(device.store.givenUninitialised) << "the store was handed a value never initialised";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CoreAudioServiceUnreadableName,
    testing::Values(UnreadableName{"StoreNotOpened", E_ACCESSDENIED, S_OK, L"Speakers"},
                    UnreadableName{"StoreOpenedWithSuccessCodeOtherThanOk", S_FALSE, S_OK, L"Speakers"},
                    UnreadableName{"ValueNotRead", S_OK, E_FAIL, L"Speakers"},
                    UnreadableName{"ValueReadWithSuccessCodeOtherThanOk", S_OK, S_FALSE, L"Speakers"},
                    UnreadableName{"ValueIsNotAString", S_OK, S_OK, nullptr},
                    UnreadableName{"ValueIsANullString", S_OK, S_OK, nullString}),
    [](const testing::TestParamInfo<UnreadableName>& tested) { return tested.param.name; });

TEST_F(CoreAudioService, NameThatIsNotUtf16RaisesAndStillReleasesTheStore) {
    device.store.name = L"Broken\xD800";
    EXPECT_THROW(friendlyName(), std::range_error);
}

TEST_F(CoreAudioService, DefaultEndpointIsAskedForByFlowThenRoleAndTheHandleHoldsTheOneReference) {
    EndpointHandle endpoint;
    ASSERT_EQ(defaultEndpoint(eCapture, eCommunications, endpoint), S_OK);
    EXPECT_EQ(enumerator.askedFlow, ::eCapture);
    EXPECT_EQ(enumerator.askedRole, ::eCommunications);
    EXPECT_EQ(endpoint.object, static_cast<IMMDevice*>(&device));
    EXPECT_EQ(device.references, 2);
    platformAudioEndpointService().release(endpoint);
}

TEST_F(CoreAudioService, DefaultEndpointCallThatSucceedsWithoutADeviceFailsAndLeavesTheHandleEmpty) {
    enumerator.givesNoDevice = true;
    EndpointHandle endpoint;
    EXPECT_LT(defaultEndpoint(eRender, eConsole, endpoint), 0);
    EXPECT_EQ(endpoint.object, nullptr);
}

TEST_F(CoreAudioService, AbsentEndpointHasNoName) {
    EXPECT_EQ(platformAudioEndpointService().getFriendlyName(EndpointHandle{}), "null");
}

TEST_F(CoreAudioService, IdentifierIsTheDevicesUnitForUnitAndItsStringIsFreedOnce) {
    TaskMemoryFrees frees;
    ASSERT_TRUE(frees.registered);
    const auto id = platformAudioEndpointService().getEndpointId(EndpointHandle{&device});
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id.value_or(u""), u"{0.0.0.00000000}.{Ab-\u00e9}");
    EXPECT_EQ(frees.of(device.handedOutId), 1);
}

TEST_F(CoreAudioService, IdentifierIsAbsentWhenTheDeviceGivesNone) {
    device.idResult = E_OUTOFMEMORY;
    EXPECT_FALSE(platformAudioEndpointService().getEndpointId(EndpointHandle{&device}).has_value());
    // A driver that reports success and hands out no string.
    device.idResult = S_OK;
    device.givesNullId = true;
    EXPECT_FALSE(platformAudioEndpointService().getEndpointId(EndpointHandle{&device}).has_value());
}

}  // namespace
}  // namespace keeper
