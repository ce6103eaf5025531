// The last step of a request: the response body as a code page 936 text. A page whose meta
// tag (within its first 1024 bytes) declares a character set other than "gbk" or "gb2312" is
// decoded from that character set; every other body is taken as it is. Only the meta tag
// decides: the Content-Type header is not consulted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/Owned.h"
#include "script/RegexObject.h"

namespace quenlark {

// Made when a request starts: its regex object initialises COM on the calling thread, which
// the request keeps for its whole length.
class ResponseDecoder {
public:
    ResponseDecoder() noexcept = default;
    // The body as text: up to its first NUL when taken as it is; decoded and converted to code
    // page 936 (up to the first NUL of the result) when the page declares another character
    // set that the system can decode. An unknown name, or a failed conversion, keeps the raw text.
    [[nodiscard]] OwnedText Decode(const OwnedByteSet& body) noexcept;

private:
    RegexObject regex_;
};

// The body's bytes, decoded from `codePage`, as code page 936 text; nothing when the system
// cannot decode that code page.
[[nodiscard]] std::optional<OwnedText> ConvertToCp936(std::string_view bytes, std::uint32_t codePage) noexcept;

}  // namespace quenlark
