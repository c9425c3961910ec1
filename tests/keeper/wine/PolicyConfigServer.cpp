// An in-process COM server for the policy-configuration class, for Wine, which has none. Its method table
// is laid out by hand, so only a caller that uses entry 13 reaches the one working method. That method
// records the call and makes the endpoint the default of the role the way winepulse.drv reads it, so the
// rest of the system sees the change like a real one.
#include <objbase.h>
#include <windows.h>

#include <string>

namespace {

constexpr CLSID policyConfigClass = {
    0x870AF99C, 0x171D, 0x4F9E, {0xAF, 0x0D, 0xE6, 0x3D, 0xF4, 0x0C, 0x2B, 0xC9}};
constexpr IID policyConfigInterface = {
    0xF8679F50, 0x850A, 0x41CF, {0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8}};

struct PolicyObject {
    const void* const* methods;
    LONG references;
};

HRESULT STDMETHODCALLTYPE queryInterface(PolicyObject* self, REFIID iid, void** out) {
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, policyConfigInterface)) {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    InterlockedIncrement(&self->references);
    *out = self;
    return S_OK;
}

ULONG STDMETHODCALLTYPE addRef(PolicyObject* self) {
    return static_cast<ULONG>(InterlockedIncrement(&self->references));
}

ULONG STDMETHODCALLTYPE release(PolicyObject* self) {
    const LONG left = InterlockedDecrement(&self->references);
    if (left == 0) {
        delete self;
    }
    return static_cast<ULONG>(left);
}

HRESULT STDMETHODCALLTYPE notImplemented(PolicyObject*) {
    return E_NOTIMPL;
}

std::wstring environment(const wchar_t* name) {
    wchar_t value[1024];
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

void recordCall(LPCWSTR id, int role) {
    const std::wstring path = environment(L"POLICY_CALLS");
    if (path.empty()) {
        return;
    }
    const std::wstring line = std::to_wstring(role) + L" " + id + L"\n";
    char text[2048];
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, text, sizeof(text), nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE && length > 1) {
        DWORD written = 0;
        WriteFile(file, text, static_cast<DWORD>(length - 1), &written, nullptr);
    }
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
    }
}

HRESULT STDMETHODCALLTYPE setDefaultEndpoint(PolicyObject*, LPCWSTR id, int role) {
    recordCall(id, role);
    if (environment(L"POLICY_FAIL_ROLE") == std::to_wstring(role)) {
        return E_ACCESSDENIED;
    }
    const std::wstring text = id;
    const bool render = text.rfind(L"{0.0.0.", 0) == 0;
    const bool capture = text.rfind(L"{0.0.1.", 0) == 0;
    if (!render && !capture) {
        return E_INVALIDARG;
    }
    // winepulse.drv keeps one default for console and multimedia, and one for communications.
    const bool communications = role == 2;
    const wchar_t* value = render ? (communications ? L"DefaultVoiceOutput" : L"DefaultOutput")
                                  : (communications ? L"DefaultVoiceInput" : L"DefaultInput");
    const LSTATUS status =
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\Drivers\\winepulse.drv", value, REG_SZ,
                        text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

using Slot = void (*)();
template <typename Function>
const void* slot(Function function) {
    return reinterpret_cast<const void*>(reinterpret_cast<Slot>(function));
}

const void* const policyMethods[14] = {
    slot(queryInterface), slot(addRef),
    slot(release),        slot(notImplemented),
    slot(notImplemented), slot(notImplemented),
    slot(notImplemented), slot(notImplemented),
    slot(notImplemented), slot(notImplemented),
    slot(notImplemented), slot(notImplemented),
    slot(notImplemented), slot(setDefaultEndpoint),
};

class PolicyFactory : public IClassFactory {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        *out = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        auto* object = new PolicyObject{policyMethods, 1};
        const HRESULT result = queryInterface(object, iid, out);
        release(object);
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

PolicyFactory factory;

}  // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID objectClass, REFIID iid, void** out) {
    if (!IsEqualCLSID(objectClass, policyConfigClass)) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
    return S_FALSE;
}
