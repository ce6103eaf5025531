#include "script/JsonObject.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/CodePages.h"
#include "platform/Platform.h"
#include "runtime/Formatting.h"
#include "runtime/TextCommands.h"
#include "runtime/TextSearch.h"
#include "runtime/Values.h"
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
    return ConcatTexts({path, "[", indexText.get(), "]"});
}

// An array item as a statement writes it: JSON as it stands, anything else in single quotes
// as it stands (not escaped).
OwnedText ArrayItem(const char* value, bool valueIsJson) noexcept {
    return valueIsJson ? OwnedText::CopyOf(value ? value : "") : ConcatTexts({"'", value, "'"});
}

// The statement that reads an expression as text: its JSON, or a string's own text.
OwnedText ReadStatement(const char* expression, bool asJson) noexcept {
    return asJson ? ConcatTexts({"JSON.stringify(", expression, ")", kRestoreBackslashes})
                  : ConcatTexts({expression, kRestoreBackslashes});
}

// Every occurrence, case-sensitive.
OwnedText ReplaceAll(const char* text, const char* find, const char* replacement) noexcept {
    ReplaceOptions options;
    options.replacement = replacement;
    options.caseSensitive = true;
    return ReplaceSubText(text, find, options);
}

// The text as the inside of a single-quoted script string.
OwnedText EscapeForScriptString(const char* value) noexcept {
    OwnedText escaped = ReplaceAll(value, "\\", "\\\\");
    escaped = ReplaceAll(escaped.get(), "'", "\\'");
    escaped = ReplaceAll(escaped.get(), "\"", "\\\"");
    escaped = ReplaceAll(escaped.get(), "\r", "\\r");
    return ReplaceAll(escaped.get(), "\n", "\\n");
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
    (void)CallBoolMethod(*engine_, "AddCode", {TypedArg::TextArg(HelperScript)});
    const OwnedText setup = ConcatTexts(
        {"var ", VariableName(), " = {}, str_Code = String.fromCharCode(9216), str_reg = new RegExp(str_Code, 'g')"});
    CallMethod(*engine_, "Eval", {TypedArg::TextArg(setup.get())});
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
    CallMethod(*engine_, "Eval", {TypedArg::TextArg(reset.get())});
    // Line breaks inside strings become escapes; between tokens they make the text no JSON. The
    // statement is converted once: the check reads the very units that the engine evaluates.
    const OwnedText prefix = ConcatTexts({"var ", VariableName(), " = eval("});
    const OwnedText statement = EvalStatement(prefix.view(), json);
    const UniqueBstr code = Cp936ToBstr(statement.get());
    if (!code || !IsEvaluableJson(BstrView(code.get()), prefix.view())) return false;
    VARIANT codeArg{};
    codeArg.vt = VT_BSTR;
    codeArg.bstrVal = code.get();  // lent: the call copies it
    (void)CallBoolMethod(*engine_, "AddCode", {TypedArg{TC_VARIANT, 0, &codeArg}});
    const OwnedText check = ConcatTexts({VariableName(), " != null"});
    return EvalBool(check.get());
}

bool JsonObject::Clear() noexcept {
    const OwnedText statement = ConcatTexts({VariableName(), " = {}"});
    return EvalBool(statement.get());
}

OwnedText JsonObject::Serialize() noexcept {
    AddJsonScript();
    const OwnedText statement = ReadStatement(VariableName(), true);
    return EvalText(statement.get());
}

bool JsonObject::SetMember(const char* key, const char* value, bool valueIsJson) noexcept {
    OwnedText path = OwnedText::CopyOf(key ? key : "");
    const bool exists = ResolvePath(path);
    if (valueIsJson) {
        const char* json = (value && *value) ? value : "{}";
        const OwnedText statement = exists ? ConcatTexts({path.get(), " = get__extend(", path.get(), ", ", json, ")"})
                                           : ConcatTexts({path.get(), " = eval(", json, ")"});
        return EvalBool(statement.get());
    }
    const OwnedText escaped = EscapeForScriptString(value);
    const OwnedText statement = ConcatTexts({path.get(), " = '", escaped.get(), "'.replace(/\\\\/g, str_Code)"});
    return EvalBool(statement.get());
}

bool JsonObject::SetMemberJson(const char* key, const char* json) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText statement = ConcatTexts({path.get(), " = eval(", json, ")"});
    return EvalBool(statement.get());
}

bool JsonObject::ResolvePath(OwnedText& key) noexcept {
    const char* name = VariableName();
    if (TextStartsWith(key.get(), name)) {
        const OwnedText check = ConcatTexts({key.get(), " != null"});
        if (EvalBool(check.get())) return true;
    }
    if (key.empty()) {
        key = OwnedText::CopyOf(name);
    } else if (key.c_str()[0] == '[') {
        key = ConcatTexts({name, key.get()});
    } else {
        key = ConcatTexts({name, ".", key.get()});
    }
    const OwnedText check = ConcatTexts({key.get(), " != null"});
    return EvalBool(check.get());
}

std::int32_t JsonObject::MemberType(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText missing = ConcatTexts({path.get(), " == null"});
    if (EvalBool(missing.get())) return kJsonMissing;
    const OwnedText statement = ConcatTexts({"Object.prototype.toString.call(", path.get(), ")"});
    const OwnedText kind = EvalText(statement.get());
    const std::string_view name = kind.view();
    if (name == "[object String]") return kJsonString;
    if (name == "[object Array]") return kJsonArray;
    if (name == "[object Object]") return kJsonObject;
    if (name == "[object Number]") return kJsonNumber;
    if (name == "[object Boolean]") return kJsonBoolean;
    return kJsonOther;
}

OwnedText JsonObject::GetText(const char* key, bool asJson) noexcept {
    if (asJson) AddJsonScript();
    const OwnedText path = PathOf(key);
    const OwnedText statement = ReadStatement(path.get(), asJson);
    return EvalText(statement.get());
}

std::int32_t JsonObject::MemberNames(OwnedTextArray& names, const char* key) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText statement = ConcatTexts({"get__name_All(", path.get(), ")"});
    const OwnedText joined = EvalText(statement.get());
    names = SplitText(joined.get(), "\r\n");
    return static_cast<std::int32_t>(names.size());
}

std::int32_t JsonObject::ArrayLength(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText statement = ConcatTexts({"get__count(", path.get(), ")"});
    return ToInt(EvalNumber(statement.get()));
}

JsonObject JsonObject::GetObject(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    return ObjectOf(path.get());
}

bool JsonObject::AppendToArray(const char* value, const char* key, bool valueIsJson) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText item = ArrayItem(value, valueIsJson);
    const OwnedText statement =
        ConcatTexts({"if (Object.prototype.toString.call(", path.get(), ") != '[object Array]') { ", path.get(),
                     " = new Array() } ", path.get(), ".push(", item.get(), ")"});
    return EvalBool(statement.get());
}

JsonObject JsonObject::GetElementObject(std::int32_t index, const char* key) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText element = ElementPath(path.get(), index);
    return ObjectOf(element.get());
}

OwnedText JsonObject::GetElementText(std::int32_t index, const char* key, bool asJson) noexcept {
    if (asJson) AddJsonScript();
    const OwnedText path = PathOf(key);
    const OwnedText element = ElementPath(path.get(), index);
    const OwnedText statement = ReadStatement(element.get(), asJson);
    return EvalText(statement.get());
}

bool JsonObject::SetElement(std::int32_t index, const char* key, const char* value, bool valueIsJson) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText element = ElementPath(path.get(), index);
    const OwnedText item = ArrayItem(value, valueIsJson);
    const OwnedText statement = ConcatTexts({element.get(), " = ", item.get()});
    return EvalBool(statement.get());
}

bool JsonObject::RemoveElement(std::int32_t index, const char* key) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText indexText = ToText(TypedArg::Int(index));
    const OwnedText statement = ConcatTexts({path.get(), ".splice(", indexText.get(), ", 1)"});
    return EvalBool(statement.get());
}

bool JsonObject::DeleteMember(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText statement = ConcatTexts({"delete ", path.get()});
    return EvalBool(statement.get());
}

bool JsonObject::SetNumber(const char* key, double number) noexcept {
    const OwnedText path = PathOf(key);
    const OwnedText numberText = ToText(TypedArg::DoubleValue(number));
    const OwnedText statement = ConcatTexts({path.get(), " = ", numberText.get()});
    return EvalBool(statement.get());
}

double JsonObject::GetNumber(const char* key) noexcept {
    const OwnedText path = PathOf(key);
    return EvalNumber(path.get());
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
    return CallBoolMethod(*engine_, "Eval", {TypedArg::TextArg(statement)});
}

OwnedText JsonObject::EvalText(const char* statement) noexcept {
    fresh_ = false;
    return CallTextMethod(*engine_, "Eval", {TypedArg::TextArg(statement)});
}

double JsonObject::EvalNumber(const char* statement) noexcept {
    fresh_ = false;
    return CallNumberMethod(*engine_, "Eval", {TypedArg::TextArg(statement)});
}

void JsonObject::AddJsonScript() const noexcept {
    if (hasJsonScript_ || IsObjectEmpty(*engine_)) return;
    (void)CallBoolMethod(*engine_, "AddCode", {TypedArg::TextArg(JsonScript)});
    hasJsonScript_ = true;
}

JsonObject JsonObject::ObjectOf(const char* expression) noexcept {
    AddJsonScript();
    // A parse of the member's JSON in an engine of its own: the new instance shares nothing.
    JsonObject parsed;
    const OwnedText statement = ReadStatement(expression, true);
    const OwnedText json = EvalText(statement.get());
    parsed.Parse(json.get());
    return parsed;
}

}  // namespace quenlark
