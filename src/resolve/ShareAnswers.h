// What the resolver reads from the service's answers, apart from the exchanges and the script
// objects: the page text of a body, the signing values of the frame page, the form body
// posted with them and the link made from the parsed answer. Portable, so that every step can
// be tested and fuzzed natively; each runs in time linear in its input.
#pragma once

#include "runtime/Owned.h"

namespace quenlark {

// A body taken as text (to its first NUL) and read as UTF-8, in code page 936. The body is
// freed as soon as it has been read, so a page of B bytes never holds more than about 3B; a
// conversion the heap cannot serve gives the empty text, as a failed exchange does.
[[nodiscard]] OwnedText PageTextOfBody(OwnedByteSet body) noexcept;

// The signing values of the frame page, by the first marker pair that gives a long enough one.
struct SignValues {
    bool found = false;  // false: no sign of 10 bytes or more
    OwnedText sign;
    OwnedText signs;  // the short ajaxdata value, when it holds more than spaces
    OwnedText websign;
};
[[nodiscard]] SignValues ReadSignValues(const char* framePage) noexcept;

// The download-process form: with signs, websign as well; the values as they were scraped.
[[nodiscard]] OwnedText FormBody(const SignValues& values) noexcept;

// dom + "/file/" + url once the answer has parsed; the empty text when it has not ("/file/"
// alone would pass for a result).
[[nodiscard]] OwnedText LinkOfAnswer(bool parsed, const char* dom, const char* url) noexcept;

}  // namespace quenlark
