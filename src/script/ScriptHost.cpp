#include "script/ScriptHost.h"

#include <objsafe.h>

#include <atomic>
#include <utility>
#include <vector>

#include "runtime/Owned.h"
#include "runtime/Trace.h"
#include "text/WideText.h"

namespace quenlark {

using Microsoft::WRL::ComPtr;

namespace {

// {F414C260-6AC0-11CF-B6D1-00AA00BBBB58}: the engine's class, used when the ProgID "JScript"
// cannot be read.
constexpr CLSID kJScriptClsid = {0xf414c260, 0x6ac0, 0x11cf, {0xb6, 0xd1, 0x00, 0xaa, 0x00, 0xbb, 0xbb, 0x58}};

// The error an exception describes (its description taken over); `unnamed` when it names no code.
ScriptErrorRecord Described(UniqueExcepInfo& info, HRESULT unnamed) noexcept {
    // A deferred filler writes the fields only when asked.
    if (info->pfnDeferredFillIn) (void)info->pfnDeferredFillIn(info.Get());
    ScriptErrorRecord record;
    record.code = info->scode != 0 ? info->scode : unnamed;
    record.message = UniqueBstr::Adopt(std::exchange(info->bstrDescription, nullptr));
    return record;
}

// Tells the engine, before it runs anything, that its script comes from untrusted data: it then
// makes no object that is not safe for such script (a file-system object, a shell). The option
// is the engine's, set through its parsing interface as script hosts do. An engine that offers
// no such switch is taken as it is; one that refuses it is not used.
HRESULT TreatAsUntrusted(const ComPtr<IActiveScript>& script) {
    ComPtr<IObjectSafety> safety;  // mingw's header names its IID only as IID_IObjectSafety
    if (FAILED(script->QueryInterface(IID_IObjectSafety, reinterpret_cast<void**>(safety.GetAddressOf())))) return S_OK;
    constexpr DWORD kUntrusted = INTERFACESAFE_FOR_UNTRUSTED_DATA;
    return safety->SetInterfaceSafetyOptions(__uuidof(IActiveScriptParse), kUntrusted, kUntrusted);
}

}  // namespace

// The site: what the engine asks of its host. There are no named items, and the only state is
// the report of the last script error.
class ScriptSite final : public IActiveScriptSite {
public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == __uuidof(IActiveScriptSite)) {
            *out = static_cast<IActiveScriptSite*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    // IActiveScriptSite
    HRESULT STDMETHODCALLTYPE GetLCID(LCID* lcid) override {
        if (!lcid) return E_POINTER;
        *lcid = ::GetUserDefaultLCID();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR, DWORD, IUnknown** item, ITypeInfo** info) override {
        if (item) *item = nullptr;
        if (info) *info = nullptr;
        return TYPE_E_ELEMENTNOTFOUND;
    }
    HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR* version) override {
        if (version) *version = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
        if (!error) return E_POINTER;
        ScriptErrorRecord record;
        UniqueExcepInfo info;
        if (SUCCEEDED(error->GetExceptionInfo(info.Put()))) {
            record = Described(info, E_FAIL);
        } else {
            record.code = E_FAIL;
        }
        DWORD context = 0;
        (void)error->GetSourcePosition(&context, &record.line, &record.column);
        if (trace::On()) {
            const OwnedText message = WideToCp936(BstrView(record.message.Get()));
            trace::Line("script", "script error 0x%08lx at line %lu, column %ld: %s",
                        static_cast<unsigned long>(record.code), static_cast<unsigned long>(record.line) + 1,
                        static_cast<long>(record.column) + 1, message.c_str());
        }
        lastError_ = std::move(record);
        return S_OK;  // reported: the engine stops the piece of script and fails the call
    }
    HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

    [[nodiscard]] const ScriptErrorRecord& LastError() const noexcept { return lastError_; }
    void ForgetError() noexcept { lastError_ = ScriptErrorRecord{}; }
    // An exception thrown out of a called function comes back in the call's EXCEPINFO instead.
    void RecordException(UniqueExcepInfo& info) noexcept { lastError_ = Described(info, DISP_E_EXCEPTION); }

private:
    ~ScriptSite() = default;  // only Release ends it
    std::atomic<ULONG> references_{1};
    ScriptErrorRecord lastError_;
};

ScriptHost::ScriptHost() noexcept = default;
ScriptHost::ScriptHost(ScriptHost&&) noexcept = default;

ScriptHost& ScriptHost::operator=(ScriptHost&& other) noexcept {
    if (this != &other) {
        Close();
        site_ = std::move(other.site_);
        script_ = std::move(other.script_);
        parse_ = std::move(other.parse_);
    }
    return *this;
}

ScriptHost::~ScriptHost() { Close(); }

void ScriptHost::Close() noexcept {
    parse_.Reset();
    if (script_) (void)script_->Close();
    script_.Reset();
    site_.Reset();
}

HRESULT ScriptHost::Start() {
    Close();
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(L"JScript", &clsid))) clsid = kJScriptClsid;
    ComPtr<IActiveScript> script;
    HRESULT hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&script));
    if (FAILED(hr)) return hr;
    ComPtr<IActiveScriptParse> parse;
    if (FAILED(hr = script.As(&parse))) return hr;
    if (FAILED(hr = TreatAsUntrusted(script))) return hr;
    ComPtr<ScriptSite> site = AdoptInterface(new ScriptSite);
    if (FAILED(hr = parse->InitNew()) || FAILED(hr = script->SetScriptSite(site.Get())) ||
        FAILED(hr = script->SetScriptState(SCRIPTSTATE_STARTED))) {
        (void)script->Close();
        return hr;
    }
    site_ = std::move(site);
    script_ = std::move(script);
    parse_ = std::move(parse);
    return S_OK;
}

HRESULT ScriptHost::Parse(const wchar_t* code, DWORD flags, VARIANT* result) noexcept {
    if (!parse_) return E_UNEXPECTED;
    site_->ForgetError();
    UniqueExcepInfo info;
    const HRESULT hr =
        parse_->ParseScriptText(code ? code : L"", nullptr, nullptr, nullptr, 0, 0, flags, result, info.Put());
    if (FAILED(hr) && result) {
        ::VariantClear(result);
        ::VariantInit(result);
    }
    return hr;
}

HRESULT ScriptHost::AddCode(const wchar_t* code) noexcept { return Parse(code, SCRIPTTEXT_ISVISIBLE, nullptr); }

HRESULT ScriptHost::Eval(const wchar_t* expression, VARIANT* result) noexcept {
    UniqueVariant ignored;
    return Parse(expression, SCRIPTTEXT_ISEXPRESSION, result ? result : ignored.Get());
}

HRESULT ScriptHost::Call(const wchar_t* name, std::span<VARIANT> args, VARIANT* result) {
    if (!script_) return E_UNEXPECTED;
    site_->ForgetError();
    ComPtr<IDispatch> globals;
    HRESULT hr = script_->GetScriptDispatch(nullptr, &globals);
    if (FAILED(hr)) return hr;
    if (!globals) return E_UNEXPECTED;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(hr = globals->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());  // DISPPARAMS wants the last first; plain copies
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    UniqueExcepInfo info;
    UINT badArgument = 0;
    hr = globals->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, info.Put(), &badArgument);
    if (hr == DISP_E_EXCEPTION) site_->RecordException(info);
    if (FAILED(hr) && result) {
        ::VariantClear(result);
        ::VariantInit(result);
    }
    return hr;
}

const ScriptErrorRecord& ScriptHost::LastError() const noexcept {
    static const ScriptErrorRecord none;
    return site_ ? site_->LastError() : none;
}

}  // namespace quenlark
