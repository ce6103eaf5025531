// JsonObject: one JSON value held in a JScript engine (the system's script control, or where
// that cannot be created the library's own host of the same engine), read and
// changed by short script statements built from member keys. The value lives in the script
// variable VariableName ("da"); a key such as dom, [0] or a.b[2] is resolved to the path
// da.dom, da[0], da.a.b[2]. An empty or omitted key means the whole value. A key must be such a
// path, names joined by dots and decimal indexes in brackets: any other key is refused and the
// call fails without running anything.
//
// Strings stored through the object keep each backslash as U+2400 inside the engine, and every
// read turns it back, so a text set here comes back unchanged and serialised JSON shows it with
// its backslashes as written. A value given as JSON must be exactly one JSON value, and where
// the statement evaluates it (SetMember, SetMemberJson) not a bare string: anything else is
// refused without being evaluated.
//
// The class's operations are its member functions, in the order of its slot table:
//   0 destructor (Destroy)  1 Copy  2 InitEngine  3 Parse  4 Clear  5 Serialize  6 SetMember
//   7 SetMemberJson  8 ResolvePath  9 MemberType  10 GetText  11 MemberNames  12 ArrayLength
//   13 GetObject  14 AppendToArray  15 GetElementObject  16 GetElementText  17 SetElement
//   18 RemoveElement  19 DeleteMember  20 SetNumber  21 GetNumber  22 GetJsonText  23 Engine
// Bool results are true only when the statement's value is the script's true: assignments and
// pushes give false even when they worked. A failing statement gives "", 0 or false.
// An instance belongs to the thread that made it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "runtime/Owned.h"
#include "script/AutomationObject.h"
#include "script/ComOwners.h"

// <windows.h> maps GetObject to GetObjectA; the member below is this class's own.
#undef GetObject

namespace quenlark {

// MemberType results.
enum JsonMemberType : std::int32_t {
    kJsonMissing = 0,  // null or undefined
    kJsonBoolean = 1,
    kJsonNumber = 2,
    kJsonObject = 4,
    kJsonArray = 5,
    kJsonString = 6,
    kJsonOther = -1,  // anything else, or the statement failed
};

class JsonObject {
public:
    // A fresh engine holding {} (OnCreate).
    JsonObject() noexcept;
    JsonObject(JsonObject&&) noexcept = default;
    JsonObject& operator=(JsonObject&&) noexcept = default;
    JsonObject(const JsonObject&) = delete;
    JsonObject& operator=(const JsonObject&) = delete;
    ~JsonObject() = default;

    // A second instance on the same engine (both then see the same value).
    [[nodiscard]] JsonObject Copy() const noexcept;
    // Makes the engine: the script control in its safe subset (else the in-library stand-in)
    // with JavaScript, the helper script, the variable {}.
    // Without it every later call fails.
    void InitEngine() noexcept;
    // Replaces the engine by a fresh one and stores the JSON text in it. Whitespace around the
    // value (space, tab, CR, LF) is dropped and raw line breaks within it are turned into \r
    // and \n first (so they may stand inside strings only). The text must then be one JSON
    // value that is not a bare string; anything else, script above all, is refused without
    // being evaluated. False, with the value null, when refused or unparseable.
    bool Parse(const char* json) noexcept;
    bool Clear() noexcept;
    // The whole value as JSON.
    [[nodiscard]] OwnedText Serialize() noexcept;
    // Sets a string member, or with valueIsJson a value given as JSON (merged into an existing
    // member: strings, booleans and missing members replaced, objects merged, arrays appended).
    bool SetMember(const char* key, const char* value, bool valueIsJson = false) noexcept;
    bool SetMemberJson(const char* key, const char* json) noexcept;
    // Rewrites `key` into its path and tells whether the path holds a value. A key already
    // written as a path from the variable is kept when it holds a value. A refused key becomes
    // null (false).
    bool ResolvePath(OwnedText& key) noexcept;
    [[nodiscard]] std::int32_t MemberType(const char* key = nullptr) noexcept;
    // A string member's text, or with asJson any member's JSON.
    [[nodiscard]] OwnedText GetText(const char* key = nullptr, bool asJson = false) noexcept;
    // The member names of a plain object into `names` (replacing what it held); their count.
    std::int32_t MemberNames(OwnedTextArray& names, const char* key = nullptr) noexcept;
    [[nodiscard]] std::int32_t ArrayLength(const char* key = nullptr) noexcept;
    // A new instance, with its own engine, holding a copy of the member.
    [[nodiscard]] JsonObject GetObject(const char* key = nullptr) noexcept;
    // Appends to the array at the key (made an array first when it is none). A value that is
    // not JSON is stored as a string, as SetMember stores it.
    bool AppendToArray(const char* value, const char* key = nullptr, bool valueIsJson = false) noexcept;
    [[nodiscard]] JsonObject GetElementObject(std::int32_t index, const char* key = nullptr) noexcept;
    [[nodiscard]] OwnedText GetElementText(std::int32_t index, const char* key = nullptr, bool asJson = false) noexcept;
    bool SetElement(std::int32_t index, const char* key, const char* value, bool valueIsJson = false) noexcept;
    bool RemoveElement(std::int32_t index, const char* key = nullptr) noexcept;
    // True when the script reports the deletion.
    bool DeleteMember(const char* key = nullptr) noexcept;
    bool SetNumber(const char* key, double number) noexcept;
    // A number member's value; 0.0 for anything else (texts are not parsed).
    [[nodiscard]] double GetNumber(const char* key = nullptr) noexcept;
    [[nodiscard]] OwnedText GetJsonText(const char* key = nullptr) noexcept;
    // A new record on the engine.
    [[nodiscard]] OwnedAutomationObject Engine() const noexcept;

    [[nodiscard]] const char* VariableName() const noexcept { return variableName_.c_str(); }

private:
    struct Shared {};
    JsonObject(Shared, const JsonObject& source) noexcept;

    // The resolved path of a key (ResolvePath on a copy).
    OwnedText PathOf(const char* key) noexcept;
    // Eval of one statement, by the bridge's result rule of each kind.
    bool EvalBool(const char* statement) noexcept;
    OwnedText EvalText(const char* statement) noexcept;
    double EvalNumber(const char* statement) noexcept;
    // Adds kJsonScript to the engine unless it is there.
    void AddJsonScript() const noexcept;
    // A new instance parsed from the JSON of `expression` in this engine; with no expression
    // one whose value is null.
    JsonObject ObjectOf(const OwnedText& expression) noexcept;

    ComApartmentUse com_;  // first member: released last, after the engine
    OwnedText variableName_;
    OwnedAutomationObject engine_ = OwnedAutomationObject::New();
    // True from InitEngine until the engine runs anything else or is shared: a parse then
    // needs no new engine, since the one it would make is the same.
    mutable bool fresh_ = false;
    // Whether kJsonScript is in the engine.
    mutable bool hasJsonScript_ = false;
};

}  // namespace quenlark
