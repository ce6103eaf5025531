// Owners of the OLE Automation resources that the bridge and the script objects create, all of
// the one family (platform/UniqueResource.h): BSTRs (text/WideText.h), SAFEARRAYs, VARIANTs
// and EXCEPINFOs; beside them a SAFEARRAY's data access and the calling thread's COM
// initialisation for one scope. Interfaces are held by Microsoft::WRL::ComPtr.
#pragma once

#include <windows.h>

#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

#include "platform/UniqueResource.h"
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

// A VARIANT, VT_EMPTY when made and after its contents are handed over.
inline void ClearVariantContents(VARIANT* v) noexcept { (void)::VariantClear(v); }
using UniqueVariant = UniqueStruct<VARIANT, &::VariantInit, &ClearVariantContents>;

// An EXCEPINFO that a callee may fill in: its three strings are freed when the owner ends.
inline void ZeroExcepInfo(EXCEPINFO* e) noexcept { *e = EXCEPINFO{}; }
inline void FreeExcepInfoStrings(EXCEPINFO* e) noexcept {
    ::SysFreeString(e->bstrSource);
    ::SysFreeString(e->bstrDescription);
    ::SysFreeString(e->bstrHelpFile);
}
using UniqueExcepInfo = UniqueStruct<EXCEPINFO, &ZeroExcepInfo, &FreeExcepInfoStrings>;

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
