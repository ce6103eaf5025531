#include "script/RegexObject.h"

#include "runtime/TextCommands.h"
#include "runtime/Texts.h"
#include "runtime/Truncation.h"
#include "script/RegexStandIn.h"
#include "text/WideText.h"

namespace quenlark {

namespace {

constexpr char kQuotePlaceholder[] = "#引号";
constexpr std::int32_t kNoPosition = -2;

std::int32_t ToInt(double value) noexcept { return static_cast<std::int32_t>(TruncateToInt64(value)); }

// The engine's collections are indexed from 0, by a number.
TypedArg ItemIndex(std::int32_t oneBased) noexcept {
    return TypedArg::DoubleValue(static_cast<double>(oneBased) - 1.0);
}

}  // namespace

RegexObject::RegexObject() noexcept { com_.Enter(); }

RegexObject::RegexObject(Shared, const RegexObject& source) noexcept {
    // The copy holds objects of this thread's apartment as well, so it keeps COM initialised
    // for as long as it lives, whichever instance ends first.
    com_.Enter();
    AssignObject(*engine_, *source.engine_);
    AssignObject(*matches_, *source.matches_);
    CopyVariant(subject_.Get(), source.subject_.Get());
}

RegexObject RegexObject::Copy() const noexcept { return RegexObject(Shared{}, *this); }

bool RegexObject::Create(const char* pattern, const char* subject, const RegexOptions& options) noexcept {
    ClearObject(*engine_);
    ClearObject(*matches_);
    CreateRegex(*engine_);  // the system object, else the in-library one
    SetProperty(*engine_, "IgnoreCase", {TypedArg::Bool(!options.caseSensitive)});
    SetProperty(*engine_, "Multiline", {TypedArg::Bool(options.multiline)});
    // The engine has no such property; the put fails and changes nothing.
    SetProperty(*engine_, "Singleline", {TypedArg::Bool(true)});
    SetProperty(*engine_, "Global", {TypedArg::Bool(options.global)});
    ReplaceOptions quote;
    quote.replacement = "\"";
    quote.caseSensitive = true;
    const OwnedText used = options.quotePlaceholder ? ReplaceSubText(pattern, kQuotePlaceholder, quote)
                                                    : OwnedText::CopyOf(pattern ? pattern : "");
    SetProperty(*engine_, "Pattern", {TypedArg::TextArg(used.Get())});
    return Execute(subject);
}

bool RegexObject::Execute(const char* subject) noexcept {
    ClearObject(*matches_);
    AssignVariant(subject_.Get(), TypedArg::TextArg(subject));
    if (IsObjectEmpty(*engine_)) return false;
    matches_ = CallMethod<OwnedAutomationObject>(*engine_, "Execute", {subject_.Arg()});
    return !IsObjectEmpty(*matches_);
}

OwnedText RegexObject::GetPattern() noexcept {
    if (IsObjectEmpty(*engine_)) return {};
    return GetProperty<OwnedText>(*engine_, "Pattern");
}

OwnedText RegexObject::ReplaceMatches(const char* replacement) noexcept {
    OwnedVariantValue replacementValue = OwnedVariantValue::New();
    AssignVariant(replacementValue.Get(), TypedArg::TextArg(replacement));
    VariantValue* variable = replacementValue.Get();
    return CallMethod<OwnedText>(*engine_, "Replace", {subject_.Arg(), TypedArg::ByRef(TC_VARIANT, &variable)});
}

std::int32_t RegexObject::MatchCount() noexcept { return ToInt(GetProperty<double>(*matches_, "Count")); }

std::optional<std::int32_t> RegexObject::MatchOffset(AutomationObject& match) noexcept {
    if (IsObjectEmpty(match) || subject_->vt != VT_BSTR) return std::nullopt;
    // FirstIndex counts UTF-16 units of the subject; the same prefix in code page 936 gives
    // the byte offset (a double-byte character is one unit but two bytes).
    const std::int64_t units = TruncateToInt64(GetProperty<double>(match, "FirstIndex"));
    if (units < 0) return std::nullopt;
    return static_cast<std::int32_t>(
        TextBytesOfWidePrefix(BstrView(subject_->bstrVal), static_cast<std::size_t>(units)));
}

OwnedText RegexObject::MatchText(std::int32_t index, std::int32_t* position) noexcept {
    OwnedAutomationObject match = GetProperty<OwnedAutomationObject>(*matches_, "Item", {ItemIndex(index)});
    OwnedVariantValue value = GetProperty<OwnedVariantValue>(*match, "Value");
    OwnedText text = VariantToText(value.Get());
    if (position) *position = MatchOffset(*match).value_or(kNoPosition);
    return text;
}

OwnedText RegexObject::SubMatchText(std::int32_t matchIndex, std::int32_t subIndex, std::int32_t* position) noexcept {
    OwnedAutomationObject match = GetProperty<OwnedAutomationObject>(*matches_, "Item", {ItemIndex(matchIndex)});
    OwnedAutomationObject subs = GetProperty<OwnedAutomationObject>(*match, "SubMatches");
    OwnedVariantValue value = GetProperty<OwnedVariantValue>(*subs, "Item", {ItemIndex(subIndex)});
    OwnedText text = VariantToText(value.Get());
    if (position) {
        // The engine tells no group positions: the group's text is sought from the match's start.
        *position = kNoPosition;
        if (const std::optional<std::int32_t> start = MatchOffset(*match)) {
            const OwnedText subjectText = VariantToText(subject_.Get());
            const std::int32_t found = FindText(subjectText.Get(), text.Get(), *start + 1, false);
            if (found > 0) *position = found - 1;
        }
    }
    return text;
}

std::int32_t RegexObject::SubMatchCount() noexcept {
    OwnedAutomationObject match = GetProperty<OwnedAutomationObject>(*matches_, "Item", {TypedArg::Int(0)});
    OwnedAutomationObject subs = GetProperty<OwnedAutomationObject>(*match, "SubMatches");
    return ToInt(GetProperty<double>(*subs, "Count"));
}

}  // namespace quenlark
