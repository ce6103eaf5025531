#include "text/UrlEncoding.h"

#include <cstddef>

#include "runtime/Memory.h"
#include "text/TextConversions.h"

namespace quenlark {

OwnedText UrlEncode(const char* text, bool keepUnreserved, bool toUtf8) noexcept {
    if (!text || !*text) return {};
    const OwnedText converted = toUtf8 ? Cp936ToUtf8(text) : OwnedText();
    const char* bytes = toUtf8 ? converted.c_str() : text;
    auto keep = [keepUnreserved](unsigned char c) {
        return keepUnreserved &&
               (c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'));
    };
    std::size_t size = 0;
    for (const char* at = bytes; *at; ++at) size += keep(static_cast<unsigned char>(*at)) ? 1 : 3;
    auto* block = static_cast<char*>(RtAllocRaw(size + 1));
    char* out = block;
    static const char kHexDigits[] = "0123456789ABCDEF";
    for (const char* at = bytes; *at; ++at) {
        const auto c = static_cast<unsigned char>(*at);
        if (keep(c)) {
            *out++ = static_cast<char>(c);
        } else {
            *out++ = '%';
            *out++ = kHexDigits[c >> 4];
            *out++ = kHexDigits[c & 15];
        }
    }
    *out = '\0';
    return OwnedText::Adopt(block);
}

}  // namespace quenlark
