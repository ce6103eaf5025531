// A hand-made automation object for the bridge's tests. Its members are described by a type
// info built in memory, so the bridge's type scan sees exactly what a test declares; every
// Invoke is recorded as it arrived and answered by a handler that the test sets.
#pragma once

#include <windows.h>

#include <oaidl.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

namespace quenlark::testing_support {

struct FakeMember {
    enum class Form { Function, Variable };
    std::wstring name;
    DISPID id = 0;
    Form form = Form::Function;
    INVOKEKIND invkind = INVOKE_FUNC;
    // Parameter types; VT_BYREF | t describes a by-reference parameter (a pointer to t).
    std::vector<VARTYPE> params;
    // For a variable: its type, VT_BYREF | t again meaning a pointer.
    VARTYPE type = VT_I4;
};

// One Invoke as the object received it.
struct FakeCall {
    DISPID id = 0;
    WORD kind = 0;
    std::vector<DISPID> named;
    std::vector<std::string> args;  // call order, each as DescribeVariant gave it at the call
    bool resultWanted = false;
};

// "i4:5", "bstr:ab\u4e2d", "bstr:null", "byref bool:-1", "array ui1:[1,2]", "empty", ...
std::string DescribeVariant(const VARIANT& v);

class FakeAutomation final : public IDispatch {
public:
    // Receives the call as recorded, the raw parameters (to write through by-reference ones)
    // and the result slot (null when none is wanted).
    using Handler = std::function<HRESULT(const FakeCall& call, DISPPARAMS* params, VARIANT* result)>;

    // withTypeInfo false: GetTypeInfo fails, as for objects that describe nothing.
    static Microsoft::WRL::ComPtr<FakeAutomation> Make(std::vector<FakeMember> members, bool withTypeInfo = true);

    void OnInvoke(Handler handler) { handler_ = std::move(handler); }
    [[nodiscard]] const std::vector<FakeCall>& Calls() const { return calls_; }
    [[nodiscard]] const FakeCall& LastCall() const { return calls_.back(); }
    [[nodiscard]] ULONG References() const { return refs_; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override;

private:
    FakeAutomation() = default;
    ~FakeAutomation();

    std::vector<FakeMember> members_;
    ITypeInfo* typeInfo_ = nullptr;
    Handler handler_;
    std::vector<FakeCall> calls_;
    ULONG refs_ = 1;
};

}  // namespace quenlark::testing_support
