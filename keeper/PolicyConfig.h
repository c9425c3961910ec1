#pragma once

#include <mmdeviceapi.h>
#include <windows.h>

namespace keeper {

// The platform's policy-configuration object is unpublished. Only its set-default method is used: the
// fourteenth entry of the method table (index 13), after IUnknown's three and ten this program never calls.
constexpr CLSID policyConfigClass = {
    0x870AF99C, 0x171D, 0x4F9E, {0xAF, 0x0D, 0xE6, 0x3D, 0xF4, 0x0C, 0x2B, 0xC9}};
constexpr IID policyConfigInterface = {
    0xF8679F50, 0x850A, 0x41CF, {0x9C, 0x72, 0x43, 0x0F, 0x29, 0x02, 0x90, 0xC8}};

struct IPolicyConfigDefaultSetter : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE unused3() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused4() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused5() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused6() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused7() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused8() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused9() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused10() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused11() = 0;
    virtual HRESULT STDMETHODCALLTYPE unused12() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetDefaultEndpoint(LPCWSTR deviceId, ::ERole role) = 0;
};

}  // namespace keeper
