// The last step of a request: the response body as a code page 936 text. A page whose meta
// tag (within its first 1024 bytes) declares a character set other than "gbk" or "gb2312" is
// decoded from that character set; every other body is taken as it is. Only the meta tag
// decides: the Content-Type header is not consulted.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/CodePages.h"
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

// How decoded UTF-16 (up to its first NUL) becomes code page 936 text, by the code page module's
// contract (platform/CodePages.h).
using WideTextConverter = ConversionResult (*)(std::u16string_view wide, OwnedText& text) noexcept;

// The body's bytes, decoded from `codePage`, as code page 936 text (up to the first NUL);
// nothing when the system cannot decode that code page or the text cannot be converted back,
// for whatever reason, a heap that cannot serve it included.
[[nodiscard]] std::optional<OwnedText> ConvertToCp936(std::string_view bytes, std::uint32_t codePage,
                                                      WideTextConverter toText = nullptr) noexcept;

}  // namespace quenlark
