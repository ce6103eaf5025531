// Owners of the OLE Automation resources that the bridge and the script objects create:
// BSTRs (text/WideText.h) and SAFEARRAYs (UniqueResource), VARIANTs and the calling thread's COM initialisation.
// Interfaces are held by Microsoft::WRL::ComPtr. Adopt takes ownership; nothing here copies.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

#include "runtime/UniqueResource.h"
#include "text/WideText.h"

namespace quenlark {

// A ComPtr that takes over the reference the caller holds. mingw-w64's ComPtr::Attach adds a
// reference of its own (unlike the documented one), so an attached new object would never end.
template <typename T>
[[nodiscard]] Microsoft::WRL::ComPtr<T> AdoptInterface(T* p) noexcept {
    Microsoft::WRL::ComPtr<T> owner;
    *owner.ReleaseAndGetAddressOf() = p;
    return owner;
}

// A VARIANT that is cleared when the owner ends.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&v_); }
    UniqueVariant(UniqueVariant&& other) noexcept : v_(other.Release()) {}
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            Reset();
            v_ = other.Release();
        }
        return *this;
    }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    ~UniqueVariant() { Reset(); }

    [[nodiscard]] VARIANT* get() noexcept { return &v_; }
    [[nodiscard]] const VARIANT* get() const noexcept { return &v_; }
    VARIANT* operator->() noexcept { return &v_; }
    const VARIANT* operator->() const noexcept { return &v_; }
    // Hands the contents over; the owner is left VT_EMPTY.
    [[nodiscard]] VARIANT Release() noexcept {
        VARIANT out = v_;
        ::VariantInit(&v_);
        return out;
    }
    void Reset() noexcept {
        ::VariantClear(&v_);
        ::VariantInit(&v_);
    }

private:
    VARIANT v_;
};

inline void DestroySafeArray(SAFEARRAY* array) noexcept { (void)::SafeArrayDestroy(array); }
using UniqueSafeArray = UniqueResource<SAFEARRAY*, &DestroySafeArray>;

// SafeArrayAccessData for one scope; data() is null when access failed.
class SafeArrayAccess {
public:
    explicit SafeArrayAccess(SAFEARRAY* a) noexcept : a_(a) {
        if (!a_ || FAILED(::SafeArrayAccessData(a_, &data_))) {
            a_ = nullptr;
            data_ = nullptr;
        }
    }
    SafeArrayAccess(const SafeArrayAccess&) = delete;
    SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;
    ~SafeArrayAccess() {
        if (a_) ::SafeArrayUnaccessData(a_);
    }
    [[nodiscard]] unsigned char* data() const noexcept { return static_cast<unsigned char*>(data_); }

private:
    SAFEARRAY* a_;
    void* data_ = nullptr;
};

// The COM initialisations that one object made on its thread. Every successful CoInitialize
// (S_FALSE included: it counts too) is matched by one CoUninitialize when the owner ends, so
// an object that initialised COM several times leaves the apartment as it found it.
class ComApartmentUse {
public:
    ComApartmentUse() noexcept = default;
    ComApartmentUse(ComApartmentUse&& other) noexcept : entered_(std::exchange(other.entered_, 0)) {}
    ComApartmentUse& operator=(ComApartmentUse&& other) noexcept {
        if (this != &other) {
            Leave();
            entered_ = std::exchange(other.entered_, 0);
        }
        return *this;
    }
    ComApartmentUse(const ComApartmentUse&) = delete;
    ComApartmentUse& operator=(const ComApartmentUse&) = delete;
    ~ComApartmentUse() { Leave(); }

    void Enter() noexcept {
        if (SUCCEEDED(::CoInitialize(nullptr))) ++entered_;
    }
    void Leave() noexcept {
        for (; entered_ > 0; --entered_) ::CoUninitialize();
    }

private:
    int entered_ = 0;
};

}  // namespace quenlark
