// What the resolver reads from the service's answers, apart from the exchanges and the script
// objects: the page text of a body, whether a frame source may be followed, the signing values
// of the frame page, the form body posted with them, the text of the JSON answer and the link
// made from it. Portable, so that every step can be tested and fuzzed natively; each runs in
// time linear in its input.
#pragma once

#include <string_view>

#include "runtime/Owned.h"

namespace quenlark {

// A body taken as text (to its first NUL) and read as UTF-8, in code page 936 (Cp936TextOfUtf8).
// A page of B bytes holds about 2B while it is read when it is mostly ASCII, as markup is, and
// at most about 4B (B bytes that are no UTF-8 at all); a conversion the heap cannot serve gives
// the empty text, as a failed exchange does.
[[nodiscard]] OwnedText PageTextOfBody(OwnedByteSet body) noexcept;

// Whether a frame source is a path on the service's origin, the only kind the resolver appends
// to the origin: its first byte is "/" and its second neither "/" nor a backslash (else the
// page could name another host, as it could with anything before a first "/"), and every byte
// is printable ASCII. A CR or LF would end the request line, or the Referer header, that the
// frame's address goes into; a character beyond ASCII might turn into one there (the system's
// HTTP stack may send each UTF-16 unit of a header as one byte), and a browser would have sent
// it percent-encoded anyway.
[[nodiscard]] bool IsServicePath(std::string_view source) noexcept;

// The signing values of the frame page, by the first marker pair that gives a long enough one:
// views of the page, which must outlive them.
struct SignValues {
    bool found = false;  // false: no sign of 10 bytes or more
    std::string_view sign;
    std::string_view signs;  // the short ajaxdata value, when it holds more than spaces
    std::string_view websign;
};
[[nodiscard]] SignValues ReadSignValues(const char* framePage) noexcept;

// The download-process form: with signs, websign as well; the values as they were scraped.
[[nodiscard]] OwnedText FormBody(const SignValues& values) noexcept;

// The download answer's body taken as text (to its first NUL), without the UTF-8 byte-order
// mark that may open it (the JSON check knows no such character).
[[nodiscard]] OwnedText AnswerTextOfBody(const OwnedByteSet& body) noexcept;

// dom + "/file/" + url once the answer has parsed and names a download host; the empty text
// otherwise ("/file/..." alone would pass for a result).
[[nodiscard]] OwnedText LinkOfAnswer(bool parsed, const char* dom, const char* url) noexcept;

}  // namespace quenlark
