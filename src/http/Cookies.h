// Cookies kept as plain text ("a=1; b=2"), never in a jar: the Set-Cookie lines of a response
// reduced to name=value entries and merged with the cookies that were sent.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

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
