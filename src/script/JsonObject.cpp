#include "script/JsonObject.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/CodePages.h"
#include "platform/Platform.h"
#include "runtime/Formatting.h"
#include "runtime/TextCommands.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"
#include "runtime/Truncation.h"
#include "script/JsonHelperScript.h"
#include "script/JsonSyntax.h"
#include "script/ScriptControlStandIn.h"
#include "text/WideText.h"

namespace quenlark {

namespace {

constexpr char kEngineProgId[] = "MSScriptControl.ScriptControl";
constexpr char kVariableName[] = "da";
// Appended to every read of a string: U+2400 (str_Code) back to the backslash it stands for.
constexpr char kRestoreBackslashes[] = ".replace(str_reg, '\\\\')";

std::int32_t ToInt(double value) noexcept { return static_cast<std::int32_t>(TruncateToInt64(value)); }

// "path[index]", the index in decimal.
OwnedText ElementPath(const char* path, std::int32_t index) noexcept {
    const OwnedText indexText = ToText(TypedArg::Int(index));
    return ConcatTexts({path, "[", indexText.Get(), "]"});
}

// The statement that reads an expression as text: its JSON, or a string's own text.
OwnedText ReadStatement(const char* expression, bool asJson) noexcept {
    return asJson ? ConcatTexts({"JSON.stringify(", expression, ")", kRestoreBackslashes})
                  : ConcatTexts({expression, kRestoreBackslashes});
}

// ---- What the caller's texts may become in a statement ---------------------------------------
// Keys, values and JSON texts are written into script statements: each is checked or escaped
// so that it stays a path, a string or a JSON value, whatever bytes it holds.

// The text as the UTF-16 units the engine will see; empty for the empty text.
UniqueBstr UnitsOf(const char* text) noexcept { return Cp936ToBstr(text); }

std::u16string_view AsU16(BSTR units) noexcept {
    static_assert(sizeof(wchar_t) == sizeof(char16_t));
    const std::wstring_view view = BstrView(units);
    return std::u16string_view(reinterpret_cast<const char16_t*>(view.data()), view.size());
}

// Whether every byte past ASCII is a lead byte followed by a trail byte: such a text converts
// the same alone and inside a statement, where a lead byte left over would take the next
// character of the statement with it.
bool HasWholeCharacters(std::string_view text) noexcept {
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (static_cast<unsigned char>(text[at]) < 0x80) continue;
        if (!IsLeadByte(static_cast<unsigned char>(text[at])) || ++at == text.size()) return false;
        const auto trail = static_cast<unsigned char>(text[at]);
        if (trail < 0x40 || trail == 0x7F || trail == 0xFF) return false;
    }
    return true;
}

// A unit of a member name: an ASCII letter, digit, _ or $, or beyond ASCII anything but the
// script's blanks and line ends (such a character can make a name the engine refuses, never an
// operator).
bool IsNameUnit(char16_t unit) noexcept {
    if (unit < 0x80) {
        return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') || (unit >= u'0' && unit <= u'9') ||
               unit == u'_' || unit == u'$';
    }
    const bool blank = unit == 0x00A0 || unit == 0x1680 || (unit >= 0x2000 && unit <= 0x200A) || unit == 0x2028 ||
                       unit == 0x2029 || unit == 0x202F || unit == 0x205F || unit == 0x3000 || unit == 0xFEFF;
    return !blank;
}

// Whether a key is a path and nothing else: names joined by dots and decimal indexes in
// brackets ("dom", "a.b[2]", "[0]", "da.x"). The empty key (the whole value) is one.
bool IsPathKey(const char* key) noexcept {
    if (TextView(key).empty()) return true;
    if (!HasWholeCharacters(TextView(key))) return false;
    const UniqueBstr wide = UnitsOf(key);
    const std::u16string_view units = AsU16(wide.Get());
    if (units.empty()) return false;
    for (std::size_t at = 0; at < units.size();) {
        if (units[at] == u'[') {
            const std::size_t digits = ++at;
            while (at < units.size() && units[at] >= u'0' && units[at] <= u'9') ++at;
            if (at == digits || at == units.size() || units[at] != u']') return false;
            ++at;
            continue;
        }
        if (at > 0 && units[at++] != u'.') return false;
        const std::size_t name = at;
        while (at < units.size() && IsNameUnit(units[at])) ++at;
        if (at == name) return false;
    }
    return true;
}

// Whether a JSON text may stand in a statement as a value: exactly one JSON value, checked on
// the UTF-16 text that the engine receives. Where the statement evaluates it, a bare string is
// refused too, because eval runs a string's contents as script.
bool IsJsonValue(const char* text, bool evaluated) noexcept {
    const UniqueBstr wide = UnitsOf(text);
    const std::optional<JsonValueKind> kind = CheckJsonText(AsU16(wide.Get()));
    return kind && !(evaluated && *kind == JsonValueKind::String);
}

// The text as a single-quoted script string written in ASCII: other characters and the quotes
// as \uXXXX escapes, each backslash as U+2400 (str_Code), as the object stores it. Null when
// the text cannot be converted or the block cannot be had.
OwnedText ScriptString(const char* value) noexcept {
    const UniqueBstr wide = UnitsOf(value);
    if (!TextView(value).empty() && !wide) return {};
    const std::u16string_view units = AsU16(wide.Get());
    const auto plain = [](char16_t unit) {
        return unit >= 0x20 && unit < 0x7F && unit != u'\'' && unit != u'"' && unit != u'\\';
    };
    std::size_t size = 2;
    for (char16_t unit : units) size += plain(unit) ? 1 : 6;
    auto* block = static_cast<char*>(platform::HeapAllocate(size + 1, false));
    if (!block) return {};
    OwnedText literal = OwnedText::Adopt(block);
    static const char digits[] = "0123456789abcdef";
    char* out = block;
    *out++ = '\'';
    for (char16_t unit : units) {
        if (plain(unit)) {
            *out++ = static_cast<char>(unit);
            continue;
        }
        const unsigned code = unit == u'\\' ? 0x2400u : unit;
        *out++ = '\\';
        *out++ = 'u';
        for (int shift = 12; shift >= 0; shift -= 4) *out++ = digits[(code >> shift) & 15];
    }
    *out++ = '\'';
    *out = '\0';
    return literal;
}

// An item as a statement writes it: JSON as it stands once checked, anything else as a string.
// Null when refused.
OwnedText ItemOf(const char* value, bool valueIsJson) noexcept {
    if (!valueIsJson) return ScriptString(value);
    if (!HasWholeCharacters(TextView(value)) || !IsJsonValue(value, false)) return {};
    return OwnedText::CopyOf(TextView(value));
}

bool IsJsonWhitespace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The statement that evaluates a JSON text: `prefix`, the text as the engine is given it, and
// ")". The text goes without the whitespace around the value, and with each line break within
// it (at a character start) written as the escape \r or \n, so that line breaks may stand inside
// strings only. One pass into a block sized once, which a heap that cannot serve it leaves null
// instead of ending the process; null for a text of whitespace only.
OwnedText EvalStatement(std::string_view prefix, const char* json) noexcept {
    std::string_view text = TextView(json);
    while (!text.empty() && IsJsonWhitespace(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsJsonWhitespace(text.back())) text.remove_suffix(1);
    std::size_t breaks = 0;
    for (std::size_t at = 0; at < text.size(); at += CharLengthAt(text, at)) {
        if (text[at] == '\r' || text[at] == '\n') ++breaks;
    }
    const std::size_t extra = prefix.size() + breaks + 2;  // and ")" and the NUL
    if (text.empty() || text.size() > SIZE_MAX - extra) return {};
    auto* block = static_cast<char*>(platform::HeapAllocate(text.size() + extra, false));
    if (!block) return {};
    OwnedText statement = OwnedText::Adopt(block);
    char* out = std::copy(prefix.begin(), prefix.end(), block);
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = CharLengthAt(text, at);
        if (text[at] == '\r' || text[at] == '\n') {
            *out++ = '\\';
            *out++ = text[at] == '\r' ? 'r' : 'n';
        } else {
            out = std::copy_n(text.data() + at, length, out);
        }
        at += length;
    }
    *out++ = ')';
    *out = '\0';
    return statement;
}

// Whether the statement's text between `prefix` and its closing ")" may be handed to the engine's
// eval: exactly one JSON value, checked on the UTF-16 units that the engine receives. A bare
// string is refused too, because eval runs a string's contents as script.
bool IsEvaluableJson(std::wstring_view statement, std::string_view prefix) noexcept {
    std::size_t prefixUnits = 0;
    if (MeasureToUtf16(kCodePage936, prefix, {}, prefixUnits) != ConversionResult::kOk) return false;
    if (statement.size() <= prefixUnits || statement.back() != L')') return false;
    const std::u16string_view json = Utf16Of(statement.substr(prefixUnits, statement.size() - prefixUnits - 1));
    const std::optional<JsonValueKind> kind = CheckJsonText(json);
    return kind && *kind != JsonValueKind::String;
}

}  // namespace

JsonObject::JsonObject() noexcept : variableName_(OwnedText::CopyOf(kVariableName)) { InitEngine(); }

JsonObject::JsonObject(Shared, const JsonObject& source) noexcept
    : variableName_(OwnedText::CopyOf(source.variableName_.view())), hasJsonScript_(source.hasJsonScript_) {
    // The copy holds the engine of this thread's apartment as well, so it keeps COM
    // initialised for as long as it lives, whichever instance ends first.
    com_.Enter();
    AssignObject(*engine_, *source.engine_);
}

JsonObject JsonObject::Copy() const noexcept {
    fresh_ = false;  // the copy can change the engine behind this instance's back
    return JsonObject(Shared{}, *this);
}

void JsonObject::InitEngine() noexcept {
    fresh_ = false;
    hasJsonScript_ = false;
    com_.Enter();
    // The system control, else the in-library one.
    if (!CreateScriptControl(*engine_, kEngineProgId, "JavaScript")) return;
    (void)CallMethod<bool>(*engine_, "AddCode", {TypedArg::TextArg(kHelperScript)});
    const OwnedText setup = ConcatTexts(
        {"var ", VariableName(), " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')"});
    CallMethod(*engine_, "Eval", {TypedArg::TextArg(setup.Get())});
    fresh_ = true;
}

bool JsonObject::Parse(const char* json) noexcept {
    if (IsObjectEmpty(*engine_)) return false;
    if (!fresh_) {
        ClearObject(*engine_);
        InitEngine();  // every parse starts in a fresh engine
        if (IsObjectEmpty(*engine_)) return false;
    }
    fresh_ = false;
    const OwnedText reset = ConcatTexts({"var ", VariableName(), " = null"});
    CallMethod(*engine_, "Eval", {TypedArg::TextArg(reset.Get())});
    // Line breaks inside strings become escapes; between tokens they make the text no JSON. The
    // statement is converted once: the check reads the very units that the engine evaluates.
    const OwnedText prefix = ConcatTexts({"var ", VariableName(), " = eval("});
    const OwnedText statement = EvalStatement(prefix.view(), json);
    const UniqueBstr code = Cp936ToBstr(statement.Get());
    if (!code || !IsEvaluableJson(BstrView(code.Get()), prefix.view())) return false;
    VARIANT codeArg{};
    codeArg.vt = VT_BSTR;
    codeArg.bstrVal = code.Get();  // lent: the call copies it
    (void)CallMethod<bool>(*engine_, "AddCode", {TypedArg{TC_VARIANT, 0, &codeArg}});
    const OwnedText check = ConcatTexts({VariableName(), " != null"});
    return EvalBool(check.Get());
}

bool JsonObject::Clear() noexcept {
    const OwnedText statement = ConcatTexts({VariableName(), " = {}"});
    return EvalBool(statement.Get());
}

OwnedText JsonObject::Serialize() noexcept {
    AddJsonScript();
    const OwnedText statement = ReadStatement(VariableName(), true);
    return EvalText(statement.Get());
}

bool JsonObject::SetMember(const char* key, const char* value, bool valueIsJson) noexcept {
    OwnedText path = OwnedText::CopyOf(key ? key : "");
    const bool exists = ResolvePath(path);
    if (path.empty()) return false;
    if (valueIsJson) {
        const char* json = (value && *value) ? value : "{}";
        if (!HasWholeCharacters(json) || !IsJsonValue(json, true)) return false;
        const OwnedText statement = exists ? ConcatTexts({path.Get(), " = get__extend(", path.Get(), ", ", json, ")"})
                                           : ConcatTexts({path.Get(), " = eval(", json, ")"});
        return EvalBool(statement.Get());
    }
    const OwnedText literal = ScriptString(value);
    if (literal.empty()) return false;
    const OwnedText statement = ConcatTexts({path.Get(), " = ", literal.Get()});
    return EvalBool(statement.Get());
}

bool JsonObject::SetMemberJson(const char* key, const char* json) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty() || !HasWholeCharacters(TextView(json)) || !IsJsonValue(json, true)) return false;
    const OwnedText statement = ConcatTexts({path.Get(), " = eval(", json, ")"});
    return EvalBool(statement.Get());
}

bool JsonObject::ResolvePath(OwnedText& key) noexcept {
    if (!IsPathKey(key.Get())) {
        key = OwnedText();  // refused: nothing of it is run
        return false;
    }
    const char* name = VariableName();
    if (TextStartsWith(key.Get(), name)) {
        const OwnedText check = ConcatTexts({key.Get(), " != null"});
        if (EvalBool(check.Get())) return true;
    }
    if (key.empty()) {
        key = OwnedText::CopyOf(name);
    } else if (key.c_str()[0] == '[') {
        key = ConcatTexts({name, key.Get()});
    } else {
        key = ConcatTexts({name, ".", key.Get()});
    }
    const OwnedText check = ConcatTexts({key.Get(), " != null"});
    return EvalBool(check.Get());
}

std::int32_t JsonObject::MemberType(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return kJsonOther;
    const OwnedText missing = ConcatTexts({path.Get(), " == null"});
    if (EvalBool(missing.Get())) return kJsonMissing;
    const OwnedText statement = ConcatTexts({"Object.prototype.toString.call(", path.Get(), ")"});
    const OwnedText kind = EvalText(statement.Get());
    const std::string_view name = kind.view();
    if (name == "[object String]") return kJsonString;
    if (name == "[object Array]") return kJsonArray;
    if (name == "[object Object]") return kJsonObject;
    if (name == "[object Number]") return kJsonNumber;
    if (name == "[object Boolean]") return kJsonBoolean;
    return kJsonOther;
}

OwnedText JsonObject::GetText(const char* key, bool asJson) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return {};
    if (asJson) AddJsonScript();
    const OwnedText statement = ReadStatement(path.Get(), asJson);
    return EvalText(statement.Get());
}

std::int32_t JsonObject::MemberNames(OwnedTextArray& names, const char* key) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) {
        names = OwnedTextArray::NewEmpty();
        return 0;
    }
    const OwnedText statement = ConcatTexts({"get__name_All(", path.Get(), ")"});
    const OwnedText joined = EvalText(statement.Get());
    names = SplitText(joined.Get(), "\r\n");
    return static_cast<std::int32_t>(names.size());
}

std::int32_t JsonObject::ArrayLength(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return 0;
    const OwnedText statement = ConcatTexts({"get__count(", path.Get(), ")"});
    return ToInt(EvalNumber(statement.Get()));
}

JsonObject JsonObject::GetObject(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    return ObjectOf(path);
}

bool JsonObject::AppendToArray(const char* value, const char* key, bool valueIsJson) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText item = ItemOf(value, valueIsJson);
    if (path.empty() || item.empty()) return false;
    const OwnedText statement =
        ConcatTexts({"if (Object.prototype.toString.call(", path.Get(), ") != '[object Array]') { ", path.Get(),
                     " = new Array() } ", path.Get(), ".push(", item.Get(), ")"});
    return EvalBool(statement.Get());
}

JsonObject JsonObject::GetElementObject(std::int32_t index, const char* key) noexcept {
    const OwnedText path = PathOf(key);
    return ObjectOf(path.empty() ? OwnedText() : ElementPath(path.Get(), index));
}

OwnedText JsonObject::GetElementText(std::int32_t index, const char* key, bool asJson) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return {};
    if (asJson) AddJsonScript();
    const OwnedText element = ElementPath(path.Get(), index);
    const OwnedText statement = ReadStatement(element.Get(), asJson);
    return EvalText(statement.Get());
}

bool JsonObject::SetElement(std::int32_t index, const char* key, const char* value, bool valueIsJson) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText item = ItemOf(value, valueIsJson);
    if (path.empty() || item.empty()) return false;
    const OwnedText element = ElementPath(path.Get(), index);
    const OwnedText statement = ConcatTexts({element.Get(), " = ", item.Get()});
    return EvalBool(statement.Get());
}

bool JsonObject::RemoveElement(std::int32_t index, const char* key) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return false;
    const OwnedText indexText = ToText(TypedArg::Int(index));
    const OwnedText statement = ConcatTexts({path.Get(), ".splice(", indexText.Get(), ", 1)"});
    return EvalBool(statement.Get());
}

bool JsonObject::DeleteMember(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return false;
    const OwnedText statement = ConcatTexts({"delete ", path.Get()});
    return EvalBool(statement.Get());
}

bool JsonObject::SetNumber(const char* key, double number) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return false;
    const OwnedText numberText = ToText(TypedArg::DoubleValue(number));
    const OwnedText statement = ConcatTexts({path.Get(), " = ", numberText.Get()});
    return EvalBool(statement.Get());
}

double JsonObject::GetNumber(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    if (path.empty()) return 0.0;
    return EvalNumber(path.Get());
}

OwnedText JsonObject::GetJsonText(const char* key) noexcept { return GetText(key, true); }

OwnedAutomationObject JsonObject::Engine() const noexcept {
    fresh_ = false;  // the caller can run anything in it
    AddJsonScript();
    OwnedAutomationObject shared = OwnedAutomationObject::New();
    AssignObject(*shared, *engine_);
    return shared;
}

// ---- Helpers ---------------------------------------------------------------------------------

OwnedText JsonObject::PathOf(const char* key) noexcept {
    OwnedText path = OwnedText::CopyOf(key ? key : "");
    ResolvePath(path);
    return path;
}

bool JsonObject::EvalBool(const char* statement) noexcept {
    fresh_ = false;
    return CallMethod<bool>(*engine_, "Eval", {TypedArg::TextArg(statement)});
}

OwnedText JsonObject::EvalText(const char* statement) noexcept {
    fresh_ = false;
    return CallMethod<OwnedText>(*engine_, "Eval", {TypedArg::TextArg(statement)});
}

double JsonObject::EvalNumber(const char* statement) noexcept {
    fresh_ = false;
    return CallMethod<double>(*engine_, "Eval", {TypedArg::TextArg(statement)});
}

void JsonObject::AddJsonScript() const noexcept {
    if (hasJsonScript_ || IsObjectEmpty(*engine_)) return;
    (void)CallMethod<bool>(*engine_, "AddCode", {TypedArg::TextArg(kJsonScript)});
    hasJsonScript_ = true;
}

JsonObject JsonObject::ObjectOf(const OwnedText& expression) noexcept {
    // A parse of the member's JSON in an engine of its own: the new instance shares nothing.
    JsonObject parsed;
    if (expression.empty()) {
        parsed.Parse(nullptr);  // a refused key: the value null, as after a failed parse
        return parsed;
    }
    AddJsonScript();
    const OwnedText statement = ReadStatement(expression.Get(), true);
    const OwnedText json = EvalText(statement.Get());
    parsed.Parse(json.Get());
    return parsed;
}

}  // namespace quenlark
