// Cookies kept as plain text ("a=1; b=2"), never in a jar: the Set-Cookie lines of a response
// reduced to name=value entries and merged with the cookies that were sent.
#pragma once

#include <string_view>

#include "platform/UniqueResource.h"
#include "runtime/Owned.h"
#include "text/TextBuilder.h"

namespace quenlark {

// The cookie text of one response, built line by line in time linear in what it collects: the
// entries are appended to one growing block rather than copied with everything before them.
class SetCookieCollector {
public:
    // `held` (the caller's cookie text on entry) comes first; it must stay unchanged until the
    // first Add.
    explicit SetCookieCollector(const char* held) noexcept : held_(held) {}

    // Appends the name=value entry of one Set-Cookie line and "; ".
    void Add(std::string_view line) noexcept;
    [[nodiscard]] bool Collected() const noexcept { return text_.Started(); }
    // The held text and every entry as one text of exact size (null before the first Add).
    [[nodiscard]] OwnedText Take() noexcept { return text_.Take(); }

private:
    // Appends `line` without the name (any "Set-Cookie:", letter case ignored) and trims it.
    void AppendWithoutName(std::string_view line) noexcept;

    const char* held_;
    TextBuilder text_;
};

// Appends the name=value entry of one Set-Cookie line and "; " to `returnCookies`.
void CollectSetCookies(const char* line, OwnedText& returnCookies) noexcept;

// After all header lines: drops a trailing "; ", then with `mergeCookies` and cookies sent,
// replaces `returnCookies` by MergeCookies(sendCookies, returnCookies).
void FinishCookies(OwnedText& returnCookies, const char* sendCookies, bool mergeCookies) noexcept;

// The new entries in their order, then the old ones whose names the new set lacks; entries
// whose value is "deleted" are dropped; whole duplicate entries removed.
[[nodiscard]] OwnedText MergeCookies(const char* oldSet, const char* newSet) noexcept;

// The text before the first "=" (the whole entry without one), blanks trimmed.
[[nodiscard]] OwnedText CookieName(const char* entry) noexcept;

// `text` split at `separator` with every piece that equals an earlier one removed.
[[nodiscard]] OwnedText RemoveDuplicateEntries(const char* text, const char* separator) noexcept;

}  // namespace quenlark
