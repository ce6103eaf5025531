#include "script/support/FakeAutomation.h"

#include <cstdio>
#include <cwchar>

#include "script/ComOwners.h"

namespace quenlark::testing_support {

using Microsoft::WRL::ComPtr;

namespace {

std::string WideForTest(const wchar_t* s, UINT length) {
    std::string out;
    for (UINT i = 0; i < length; ++i) {
        if (s[i] >= 0x20 && s[i] < 0x7F) {
            out.push_back(static_cast<char>(s[i]));
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(s[i]));
            out += escape;
        }
    }
    return out;
}

std::string DescribeValue(VARTYPE vt, const void* at) {
    char buffer[64];
    switch (vt) {
        case VT_EMPTY:
            return "empty";
        case VT_BSTR: {
            BSTR s = *static_cast<const BSTR*>(at);
            return s ? "bstr:" + WideForTest(s, ::SysStringLen(s)) : "bstr:null";
        }
        case VT_BOOL:
            return "bool:" + std::to_string(*static_cast<const VARIANT_BOOL*>(at));
        case VT_I2:
            return "i2:" + std::to_string(*static_cast<const SHORT*>(at));
        case VT_I4:
            return "i4:" + std::to_string(*static_cast<const LONG*>(at));
        case VT_UI1:
            return "ui1:" + std::to_string(*static_cast<const BYTE*>(at));
        case VT_UI4:
            return "ui4:" + std::to_string(*static_cast<const ULONG*>(at));
        case VT_I8:
            return "i8:" + std::to_string(*static_cast<const LONGLONG*>(at));
        case VT_R4:
            std::snprintf(buffer, sizeof buffer, "r4:%g", static_cast<double>(*static_cast<const FLOAT*>(at)));
            return buffer;
        case VT_R8:
            std::snprintf(buffer, sizeof buffer, "r8:%g", *static_cast<const DOUBLE*>(at));
            return buffer;
        case VT_DATE:
            std::snprintf(buffer, sizeof buffer, "date:%g", *static_cast<const DATE*>(at));
            return buffer;
        case VT_DISPATCH:
            return *static_cast<IDispatch* const*>(at) ? "dispatch" : "dispatch:null";
        case VT_UNKNOWN:
            return *static_cast<IUnknown* const*>(at) ? "unknown" : "unknown:null";
        case VT_VARIANT:
            return "variant(" + DescribeVariant(*static_cast<const VARIANT*>(at)) + ")";
        default:
            return "vt" + std::to_string(vt);
    }
}

std::string DescribeArray(VARTYPE elementType, SAFEARRAY* array) {
    std::string out = "array ";
    switch (elementType) {
        case VT_UI1:
            out += "ui1";
            break;
        case VT_I4:
            out += "i4";
            break;
        case VT_BSTR:
            out += "bstr";
            break;
        case VT_BOOL:
            out += "bool";
            break;
        default:
            out += "vt" + std::to_string(elementType);
            break;
    }
    if (!array) return out + ":null";
    out += ":[";
    void* data = nullptr;
    if (SUCCEEDED(::SafeArrayAccessData(array, &data))) {
        const UINT size = ::SafeArrayGetElemsize(array);
        for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
            if (i) out += ",";
            const std::string one = DescribeValue(elementType, static_cast<char*>(data) + i * size);
            out += one.substr(one.find(':') + 1);
        }
        ::SafeArrayUnaccessData(array);
    }
    return out + "]";
}

TYPEDESC DescribeType(VARTYPE vt, TYPEDESC* pointee) {
    TYPEDESC type{};
    if (vt & VT_BYREF) {
        pointee->vt = vt & ~VT_BYREF;
        type.vt = VT_PTR;
        type.lptdesc = pointee;
    } else {
        type.vt = vt;
    }
    return type;
}

// A dispinterface describing `members`, built in memory.
ITypeInfo* BuildTypeInfo(const std::vector<FakeMember>& members) {
    ComPtr<ICreateTypeLib2> library;
    if (FAILED(::CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32, L"fake.tlb", &library))) return nullptr;
    ComPtr<ICreateTypeInfo> info;
    if (FAILED(library->CreateTypeInfo(const_cast<LPOLESTR>(L"IFake"), TKIND_DISPATCH, &info))) return nullptr;
    UINT functions = 0;
    UINT variables = 0;
    for (const FakeMember& member : members) {
        if (member.form == FakeMember::Form::Function) {
            std::vector<TYPEDESC> pointees(member.params.size());
            std::vector<ELEMDESC> params(member.params.size());
            for (std::size_t j = 0; j < params.size(); ++j)
                params[j].tdesc = DescribeType(member.params[j], &pointees[j]);
            FUNCDESC func{};
            func.memid = member.id;
            func.funckind = FUNC_DISPATCH;
            func.invkind = member.invkind;
            func.callconv = CC_STDCALL;
            func.cParams = static_cast<SHORT>(params.size());
            func.lprgelemdescParam = params.empty() ? nullptr : params.data();
            func.elemdescFunc.tdesc.vt = VT_VARIANT;
            if (FAILED(info->AddFuncDesc(functions++, &func))) return nullptr;
        } else {
            TYPEDESC pointee{};
            VARDESC var{};
            var.memid = member.id;
            var.varkind = VAR_DISPATCH;
            var.elemdescVar.tdesc = DescribeType(member.type, &pointee);
            if (FAILED(info->AddVarDesc(variables++, &var))) return nullptr;
        }
    }
    if (FAILED(info->LayOut())) return nullptr;
    ITypeInfo* out = nullptr;
    info->QueryInterface(IID_PPV_ARGS(&out));
    return out;
}

}  // namespace

std::string DescribeVariant(const VARIANT& v) {
    if (v.vt & VT_ARRAY) {
        SAFEARRAY* array = (v.vt & VT_BYREF) ? *v.pparray : v.parray;
        return std::string((v.vt & VT_BYREF) ? "byref " : "") + DescribeArray(v.vt & VT_TYPEMASK, array);
    }
    if (v.vt & VT_BYREF) return "byref " + DescribeValue(v.vt & ~VT_BYREF, v.byref);
    return DescribeValue(v.vt, &v.llVal);
}

ComPtr<FakeAutomation> FakeAutomation::Make(std::vector<FakeMember> members, bool withTypeInfo) {
    ComPtr<FakeAutomation> fake = AdoptInterface(new FakeAutomation());
    if (withTypeInfo) fake->typeInfo_ = BuildTypeInfo(members);
    fake->members_ = std::move(members);
    return fake;
}

FakeAutomation::~FakeAutomation() {
    if (typeInfo_) typeInfo_->Release();
}

HRESULT FakeAutomation::QueryInterface(REFIID riid, void** out) {
    if (riid == IID_IUnknown || riid == IID_IDispatch) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeAutomation::Release() {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

HRESULT FakeAutomation::GetTypeInfoCount(UINT* count) {
    *count = typeInfo_ ? 1 : 0;
    return S_OK;
}

HRESULT FakeAutomation::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    *info = nullptr;
    if (!typeInfo_ || index != 0) return TYPE_E_ELEMENTNOTFOUND;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
}

HRESULT FakeAutomation::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (count != 1) return E_INVALIDARG;
    for (const FakeMember& member : members_) {
        if (_wcsicmp(member.name.c_str(), names[0]) == 0) {
            ids[0] = member.id;
            return S_OK;
        }
    }
    ids[0] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT FakeAutomation::Invoke(DISPID id, REFIID, LCID, WORD kind, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                               UINT*) {
    FakeCall call;
    call.id = id;
    call.kind = kind;
    call.resultWanted = result != nullptr;
    for (UINT i = 0; i < params->cNamedArgs; ++i) call.named.push_back(params->rgdispidNamedArgs[i]);
    for (UINT i = params->cArgs; i > 0; --i) call.args.push_back(DescribeVariant(params->rgvarg[i - 1]));
    calls_.push_back(call);
    return handler_ ? handler_(calls_.back(), params, result) : S_OK;
}

}  // namespace quenlark::testing_support
