#include "script/RegexStandIn.h"

#include <wrl/client.h>

#include <string>
#include <string_view>
#include <vector>

#include "script/NamedDispatch.h"
#include "script/ScriptHost.h"
#include "script/StandInObject.h"
#include "text/WideText.h"

namespace quenlark {

using Microsoft::WRL::ComPtr;

namespace {

constexpr char kRegexProgId[] = "VBScript.RegExp";

// The search loop sets lastIndex itself after every match (see the header); the matches stay
// in a script global until the next search, read part by part.
constexpr wchar_t kRegexScript[] =
    L"var quenlarkFound = [];"
    L"function quenlarkFind(source, flags, subject) {"
    L"  var re = new RegExp(source, flags), found = [], m;"
    L"  re.lastIndex = 0;"
    L"  while ((m = re.exec(subject)) != null) {"
    L"    found.push(m);"
    L"    if (flags.indexOf('g') < 0) break;"
    L"    re.lastIndex = m.index + (m[0].length > 0 ? m[0].length : 1);"
    L"    if (re.lastIndex > subject.length) break;"
    L"  }"
    L"  quenlarkFound = found;"
    L"  return found.length;"
    L"}"
    L"function quenlarkGroups(i) { return quenlarkFound[i].length - 1; }"
    L"function quenlarkIndex(i) { return quenlarkFound[i].index; }"
    L"function quenlarkPart(i, k) { var part = quenlarkFound[i][k]; return typeof part == 'string' ? part : null; }";

struct FoundMatch {
    UniqueVariant value;  // VT_BSTR
    LONG firstIndex = 0;
    std::vector<UniqueVariant> groups;  // VT_BSTR, or VT_EMPTY for a group that took no part
};

HRESULT CopyOut(const VARIANT& value, VARIANT* result) noexcept {
    return result ? ::VariantCopy(result, const_cast<VARIANT*>(&value)) : S_OK;
}

HRESULT NumberOut(LONG value, VARIANT* result) noexcept {
    if (result) {
        result->vt = VT_I4;
        result->lVal = value;
    }
    return S_OK;
}

// A 0-based item index within `count`, or nullopt.
std::optional<std::size_t> ItemIndex(const DISPPARAMS& params, std::size_t count) noexcept {
    const std::optional<LONG> index = NamedDispatch::AsIndex(NamedDispatch::Argument(params, 0));
    if (!index || *index < 0 || static_cast<std::size_t>(*index) >= count) return std::nullopt;
    return static_cast<std::size_t>(*index);
}

// ---- The match collection and its parts ------------------------------------------------------

constexpr const wchar_t* kCollectionMembers[] = {L"Count", L"Item"};
constexpr const wchar_t* kMatchMembers[] = {L"Value", L"FirstIndex", L"Length", L"SubMatches"};
constexpr const wchar_t* kSubMatchMembers[] = {L"Count", L"Item"};

class MatchesStandIn final : public NamedDispatch {
public:
    explicit MatchesStandIn(std::vector<FoundMatch> found) noexcept
        : NamedDispatch(kCollectionMembers), found_(std::move(found)) {}
    [[nodiscard]] const FoundMatch& At(std::size_t i) const noexcept { return found_[i]; }
    [[nodiscard]] std::size_t size() const noexcept { return found_.size(); }

private:
    HRESULT Member(DISPID id, WORD kind, const DISPPARAMS& params, VARIANT* result) override;
    std::vector<FoundMatch> found_;
};

class SubMatchesStandIn final : public NamedDispatch {
public:
    SubMatchesStandIn(ComPtr<MatchesStandIn> matches, std::size_t index) noexcept
        : NamedDispatch(kSubMatchMembers), matches_(std::move(matches)), index_(index) {}

private:
    HRESULT Member(DISPID id, WORD kind, const DISPPARAMS& params, VARIANT* result) override {
        if (!IsGet(kind)) return DISP_E_MEMBERNOTFOUND;
        const std::vector<UniqueVariant>& groups = matches_->At(index_).groups;
        if (id == 1) return NumberOut(static_cast<LONG>(groups.size()), result);
        const std::optional<std::size_t> item = ItemIndex(params, groups.size());
        return item ? CopyOut(*groups[*item].Get(), result) : E_INVALIDARG;
    }
    ComPtr<MatchesStandIn> matches_;  // the data lives in the collection
    std::size_t index_;
};

class MatchStandIn final : public NamedDispatch {
public:
    MatchStandIn(ComPtr<MatchesStandIn> matches, std::size_t index) noexcept
        : NamedDispatch(kMatchMembers), matches_(std::move(matches)), index_(index) {}

private:
    HRESULT Member(DISPID id, WORD kind, const DISPPARAMS&, VARIANT* result) override {
        if (!IsGet(kind)) return DISP_E_MEMBERNOTFOUND;
        const FoundMatch& match = matches_->At(index_);
        switch (id) {
            case 1:
                return CopyOut(*match.value.Get(), result);
            case 2:
                return NumberOut(match.firstIndex, result);
            case 3:
                return NumberOut(static_cast<LONG>(::SysStringLen(match.value->bstrVal)), result);
            default:
                return ObjectOut(new SubMatchesStandIn(matches_, index_), result);
        }
    }
    ComPtr<MatchesStandIn> matches_;
    std::size_t index_;
};

HRESULT MatchesStandIn::Member(DISPID id, WORD kind, const DISPPARAMS& params, VARIANT* result) {
    if (!IsGet(kind)) return DISP_E_MEMBERNOTFOUND;
    if (id == 1) return NumberOut(static_cast<LONG>(found_.size()), result);
    const std::optional<std::size_t> item = ItemIndex(params, found_.size());
    if (!item) return E_INVALIDARG;
    return ObjectOut(new MatchStandIn(this, *item), result);
}

// The subject with each match replaced by the expanded replacement: $$ a dollar sign, $& the
// match, $` the text before it, $' the text after it, $n and $nn a group (two digits only when
// that group exists; a group that took no part gives nothing); any other $ stays as it is.
std::wstring ReplaceAll(std::wstring_view subject, std::wstring_view replacement, const MatchesStandIn& matches) {
    std::wstring out;
    std::size_t copied = 0;  // the subject up to here is in `out`
    for (std::size_t m = 0; m < matches.size(); ++m) {
        const FoundMatch& match = matches.At(m);
        const std::wstring_view value = BstrView(match.value->bstrVal);
        const std::size_t start = static_cast<std::size_t>(match.firstIndex);
        const std::size_t end = start + value.size();
        if (start < copied || end > subject.size()) continue;  // cannot happen for one search
        out.append(subject.substr(copied, start - copied));
        const std::size_t groups = match.groups.size();
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            const wchar_t c = replacement[i];
            const wchar_t next = i + 1 < replacement.size() ? replacement[i + 1] : L'\0';
            if (c != L'$' || next == L'\0') {
                out.push_back(c);
                continue;
            }
            if (next == L'$') {
                out.push_back(L'$');
            } else if (next == L'&') {
                out.append(value);
            } else if (next == L'`') {
                out.append(subject.substr(0, start));
            } else if (next == L'\'') {
                out.append(subject.substr(end));
            } else if (next >= L'0' && next <= L'9') {
                std::size_t group = static_cast<std::size_t>(next - L'0');
                const wchar_t third = i + 2 < replacement.size() ? replacement[i + 2] : L'\0';
                if (third >= L'0' && third <= L'9' && group * 10 + static_cast<std::size_t>(third - L'0') <= groups) {
                    group = group * 10 + static_cast<std::size_t>(third - L'0');
                    ++i;
                } else if (group == 0 || group > groups) {
                    out.push_back(L'$');
                    continue;
                }
                const VARIANT& part = *match.groups[group - 1].Get();
                if (part.vt == VT_BSTR) out.append(BstrView(part.bstrVal));
            } else {
                out.push_back(L'$');
                continue;
            }
            ++i;
        }
        copied = end;
    }
    out.append(subject.substr(copied));
    return out;
}

// ---- The expression object -------------------------------------------------------------------

constexpr const wchar_t* kRegexMembers[] = {L"Pattern", L"IgnoreCase", L"Global", L"Multiline",
                                            L"Execute", L"Replace",    L"Test"};
enum : DISPID { kPattern = 1, kIgnoreCase, kGlobal, kMultiline, kExecute, kReplace, kTest };

class RegexStandIn final : public ScriptedStandIn<kRegexMembers> {
public:
    using ScriptedStandIn::ScriptedStandIn;

private:
    HRESULT Member(DISPID id, WORD kind, const DISPPARAMS& params, VARIANT* result) override {
        switch (id) {
            case kPattern:
                return PatternProperty(kind, params, result);
            case kIgnoreCase:
                return FlagProperty(ignoreCase_, kind, params, result);
            case kGlobal:
                return FlagProperty(global_, kind, params, result);
            case kMultiline:
                return FlagProperty(multiline_, kind, params, result);
            case kExecute:
                return Execute(params, result);
            case kReplace:
                return Replace(params, result);
            default:
                return Test(params, result);
        }
    }

    HRESULT PatternProperty(WORD kind, const DISPPARAMS& params, VARIANT* result) noexcept {
        if (IsPut(kind)) {
            std::optional<UniqueBstr> text = AsText(PutValue(params));
            if (!text) return DISP_E_TYPEMISMATCH;
            pattern_ = std::move(*text);
            return S_OK;
        }
        if (!result) return S_OK;
        result->vt = VT_BSTR;
        result->bstrVal = ::SysAllocStringLen(pattern_.Get(), ::SysStringLen(pattern_.Get()));
        return result->bstrVal ? S_OK : E_OUTOFMEMORY;
    }

    static HRESULT FlagProperty(bool& flag, WORD kind, const DISPPARAMS& params, VARIANT* result) noexcept {
        if (IsPut(kind)) {
            const std::optional<bool> value = AsBool(PutValue(params));
            if (!value) return DISP_E_TYPEMISMATCH;
            flag = *value;
            return S_OK;
        }
        if (result) {
            result->vt = VT_BOOL;
            result->boolVal = flag ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }

    // The script's arguments for the pattern: its source and its flags.
    HRESULT PatternArguments(UniqueVariant& source, UniqueVariant& flags) noexcept {
        source->vt = VT_BSTR;
        source->bstrVal = ::SysAllocStringLen(pattern_.Get(), ::SysStringLen(pattern_.Get()));
        wchar_t letters[4] = {};
        wchar_t* at = letters;
        if (ignoreCase_) *at++ = L'i';
        if (global_) *at++ = L'g';
        if (multiline_) *at++ = L'm';
        flags->vt = VT_BSTR;
        flags->bstrVal = ::SysAllocString(letters);
        return source->bstrVal && flags->bstrVal ? S_OK : E_OUTOFMEMORY;
    }

    static HRESULT TextArgument(const DISPPARAMS& params, UINT index, UniqueVariant& out) noexcept {
        std::optional<UniqueBstr> text = AsText(Argument(params, index));
        if (!text) return DISP_E_BADPARAMCOUNT;
        out->vt = VT_BSTR;
        out->bstrVal = text->Release();
        return S_OK;
    }

    HRESULT Execute(const DISPPARAMS& params, VARIANT* result) {
        ComPtr<MatchesStandIn> matches;
        const HRESULT hr = Find(params, matches);
        return FAILED(hr) ? hr : ObjectOut(matches.Detach(), result);
    }

    HRESULT Test(const DISPPARAMS& params, VARIANT* result) {
        ComPtr<MatchesStandIn> matches;
        const HRESULT hr = Find(params, matches);
        if (FAILED(hr)) return hr;
        UniqueVariant count;
        (void)matches->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, nullptr, count.Get(), nullptr,
                              nullptr);
        if (result) {
            result->vt = VT_BOOL;
            result->boolVal = count->vt == VT_I4 && count->lVal > 0 ? VARIANT_TRUE : VARIANT_FALSE;
        }
        return S_OK;
    }

    // Runs the search over argument 0 and copies every match out of the engine.
    HRESULT Find(const DISPPARAMS& params, ComPtr<MatchesStandIn>& out) {
        UniqueVariant args[3];
        HRESULT hr = PatternArguments(args[0], args[1]);
        if (SUCCEEDED(hr)) hr = TextArgument(params, 0, args[2]);
        if (FAILED(hr)) return hr;
        VARIANT plain[3] = {*args[0].Get(), *args[1].Get(), *args[2].Get()};
        UniqueVariant count;
        if (FAILED(hr = host_.Call(L"quenlarkFind", plain, count.Get()))) return hr;
        const std::optional<LONG> found = AsIndex(count.Get());
        if (!found || *found < 0) return E_UNEXPECTED;
        std::vector<FoundMatch> matches(static_cast<std::size_t>(*found));
        for (LONG i = 0; i < *found; ++i) {
            if (FAILED(hr = ReadMatch(i, matches[static_cast<std::size_t>(i)]))) return hr;
        }
        out = AdoptInterface(new MatchesStandIn(std::move(matches)));
        return S_OK;
    }

    HRESULT ReadMatch(LONG i, FoundMatch& match) {
        VARIANT index{};
        index.vt = VT_I4;
        index.lVal = i;
        UniqueVariant number;
        HRESULT hr = host_.Call(L"quenlarkIndex", {&index, 1}, number.Get());
        const std::optional<LONG> firstIndex = AsIndex(number.Get());
        if (FAILED(hr) || !firstIndex) return FAILED(hr) ? hr : E_UNEXPECTED;
        match.firstIndex = *firstIndex;
        number.Reset();
        hr = host_.Call(L"quenlarkGroups", {&index, 1}, number.Get());
        const std::optional<LONG> groups = AsIndex(number.Get());
        if (FAILED(hr) || !groups || *groups < 0) return FAILED(hr) ? hr : E_UNEXPECTED;
        match.groups.resize(static_cast<std::size_t>(*groups));
        for (LONG k = 0; k <= *groups; ++k) {
            VARIANT partArgs[2] = {index, {}};
            partArgs[1].vt = VT_I4;
            partArgs[1].lVal = k;
            UniqueVariant& part = k == 0 ? match.value : match.groups[static_cast<std::size_t>(k - 1)];
            if (FAILED(hr = host_.Call(L"quenlarkPart", partArgs, part.Get()))) return hr;
            if (part->vt != VT_BSTR) part.Reset();  // null: the group took no part
        }
        if (match.value->vt != VT_BSTR) return E_UNEXPECTED;
        return S_OK;
    }

    // The matches of one search, replaced in the subject here rather than by the engine's
    // String.replace: the expansion below is the system object's, and some engines stumble over
    // a lone $ at the end of a replacement.
    HRESULT Replace(const DISPPARAMS& params, VARIANT* result) {
        const std::optional<UniqueBstr> replacement = AsText(Argument(params, 1));
        if (!replacement) return DISP_E_BADPARAMCOUNT;
        ComPtr<MatchesStandIn> matches;
        HRESULT hr = Find(params, matches);
        if (FAILED(hr)) return hr;
        const std::optional<UniqueBstr> subject = AsText(Argument(params, 0));
        if (!subject) return DISP_E_BADPARAMCOUNT;
        const std::wstring out = ReplaceAll(BstrView(subject->Get()), BstrView(replacement->Get()), *matches.Get());
        if (result) {
            result->vt = VT_BSTR;
            result->bstrVal = ::SysAllocStringLen(out.data(), static_cast<UINT>(out.size()));
            if (!result->bstrVal) return E_OUTOFMEMORY;
        }
        return S_OK;
    }

    UniqueBstr pattern_;
    bool ignoreCase_ = false;
    bool global_ = false;
    bool multiline_ = false;
};

}  // namespace

bool CreateRegexStandIn(AutomationObject& obj) noexcept { return CreateStandIn<RegexStandIn>(obj, kRegexScript); }

bool CreateRegex(AutomationObject& obj) noexcept { return CreateObject(obj, kRegexProgId) || CreateRegexStandIn(obj); }

}  // namespace quenlark
