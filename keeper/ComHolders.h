#pragma once

#include <objbase.h>
#include <propidl.h>

namespace keeper {

// Owns one reference to a COM object and releases it on every path out of the scope.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    Interface** put() {
        reset();
        return &object;
    }
    Interface* get() const { return object; }
    Interface* operator->() const { return object; }
    // Hands the reference to a caller that releases it itself.
    Interface* detach() {
        Interface* taken = object;
        object = nullptr;
        return taken;
    }

  private:
    void reset() {
        if (object != nullptr) {
            object->Release();
            object = nullptr;
        }
    }
    Interface* object = nullptr;
};

// A string from COM's task allocator, freed with CoTaskMemFree.
class CoTaskString {
  public:
    CoTaskString() = default;
    ~CoTaskString() { ::CoTaskMemFree(text); }
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;

    LPWSTR* put() { return &text; }
    LPCWSTR get() const { return text; }

  private:
    LPWSTR text = nullptr;
};

// A PROPVARIANT that clears itself, freeing whatever the value holds.
class PropVariantHolder {
  public:
    PropVariantHolder() { PropVariantInit(&value); }
    ~PropVariantHolder() { ::PropVariantClear(&value); }
    PropVariantHolder(const PropVariantHolder&) = delete;
    PropVariantHolder& operator=(const PropVariantHolder&) = delete;

    PROPVARIANT* put() { return &value; }
    const PROPVARIANT& get() const { return value; }

  private:
    PROPVARIANT value;
};

}  // namespace keeper
