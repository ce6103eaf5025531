// RegexObject: one regular expression run over one subject text by the system's
// "VBScript.RegExp" object, or where that cannot be created by the library's stand-in over
// JScript's RegExp (script/RegexStandIn.h, which lists how the two dialects are made to
// agree), and questions about the matches of that run. The dialect, matching and replacement
// syntax are the engine's. Matches and sub-matches are numbered from 1;
// positions are 0-based byte offsets in the code page 936 subject.
//
// The class's operations are its member functions, in the order of its slot table:
//   0 destructor (Destroy)  1 Copy  2 Create  3 Reserved  4 GetPattern  5 ReplaceMatches
//   6 MatchCount  7 MatchText  8 SubMatchText  9 SubMatchCount
// An instance belongs to the thread that made it: construction initialises COM there, and the
// destructor releases the engine and then uninitialises it.
#pragma once

#include <cstdint>

#include "runtime/Owned.h"
#include "script/AutomationObject.h"
#include "script/ComOwners.h"
#include "script/VariantValue.h"

namespace quenlark {

struct RegexOptions {
    bool caseSensitive = false;
    bool multiline = true;
    bool global = true;
    // Each "#引号" in the pattern stands for a double quote.
    bool quotePlaceholder = false;
};

class RegexObject {
public:
    // Moves, never copies: its members are owners.
    RegexObject() noexcept;

    // A second instance on the same engine and match collection, with a copy of the subject.
    [[nodiscard]] RegexObject Copy() const noexcept;
    // Compiles `pattern` in a new engine and runs it over `subject`. True when the run gave a
    // match collection (also an empty one); false when the engine cannot be made or rejects
    // the pattern, and every query then answers empty or 0.
    bool Create(const char* pattern, const char* subject, const RegexOptions& options = {}) noexcept;
    // Runs the engine that Create made (its pattern and options) over another subject, as
    // Create would with the same pattern; false without an engine or a match collection.
    bool Execute(const char* subject) noexcept;
    // Does nothing; its slot is kept.
    void Reserved() noexcept {}
    // The engine's pattern (after the placeholder step); empty without an engine.
    [[nodiscard]] OwnedText GetPattern() noexcept;
    // The subject with its matches (every one when global) replaced by `replacement`, in the
    // engine's replacement syntax ($1 ...).
    [[nodiscard]] OwnedText ReplaceMatches(const char* replacement) noexcept;
    [[nodiscard]] std::int32_t MatchCount() noexcept;
    // Text of match `index`; empty outside the collection. `position` (when given) receives the
    // match's byte offset in the subject, -2 when there is no such match.
    [[nodiscard]] OwnedText MatchText(std::int32_t index, std::int32_t* position = nullptr) noexcept;
    // Text of group `subIndex` of match `matchIndex` (empty for a group that took no part).
    // `position` receives the byte offset of the first occurrence of that text at or after the
    // match's start, -2 when it does not occur.
    [[nodiscard]] OwnedText SubMatchText(std::int32_t matchIndex, std::int32_t subIndex,
                                         std::int32_t* position = nullptr) noexcept;
    // Groups of the first match.
    [[nodiscard]] std::int32_t SubMatchCount() noexcept;

private:
    struct Shared {};
    RegexObject(Shared, const RegexObject& source) noexcept;

    // Byte offset in the subject of the match's start; nullopt without such a match.
    std::optional<std::int32_t> MatchOffset(AutomationObject& match) noexcept;

    ComApartmentUse com_;  // first member: released last, after the engine
    OwnedAutomationObject engine_ = OwnedAutomationObject::New();
    OwnedAutomationObject matches_ = OwnedAutomationObject::New();
    OwnedVariantValue subject_ = OwnedVariantValue::New();
};

}  // namespace quenlark
