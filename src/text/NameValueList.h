// An ordered list of name/value text pairs, rendered as request header lines, form text or a
// flat JSON object. Names may repeat; comparisons are exact; the first match wins.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

class NameValueList {
public:
    NameValueList() noexcept;
    NameValueList(NameValueList&&) noexcept = default;
    NameValueList& operator=(NameValueList&&) noexcept = default;

    [[nodiscard]] NameValueList Copy() const noexcept;
    void Add(const char* name, const char* value, bool toUtf8 = false) noexcept;
    void AddFormText(const char* text, bool toUtf8 = false) noexcept;
    [[nodiscard]] OwnedText GetValue(const char* name) const noexcept;
    void SetValue(const char* name, const char* value) noexcept;
    [[nodiscard]] OwnedText ToFormText(bool escape = false) const noexcept;
    // "name: value" lines joined by CR LF, no line end after the last.
    [[nodiscard]] OwnedText ToHeaderText(bool escape = false) const noexcept;
    void GetNames(OwnedTextArray& names) const noexcept;
    void GetValues(OwnedTextArray& values) const noexcept;
    void Clear() noexcept;
    void Remove(const char* name) noexcept;
    [[nodiscard]] OwnedText ToJsonText() const noexcept;
    [[nodiscard]] static OwnedText EscapeQuotes(const char* text) noexcept;
    // Cuts `piece` from the end, then from the start of `text` (in place); returns a copy.
    [[nodiscard]] static OwnedText TrimEnds(OwnedText& text, const char* piece) noexcept;

private:
    OwnedTextArray names_;
    OwnedTextArray values_;
};

}  // namespace quenlark
