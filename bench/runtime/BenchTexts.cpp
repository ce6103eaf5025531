#include "runtime/BenchTexts.h"

#include <cstring>
#include <map>
#include <random>
#include <utility>

namespace quenlark::bench {

const std::string& Text(std::int64_t size, bool mixed) {
    static std::map<std::pair<std::int64_t, bool>, std::string> cache;
    std::string& text = cache[{size, mixed}];
    if (!text.empty()) return text;
    static const char* const ascii[] = {"alpha", "page", "Share", "share", "frame", "sign",
                                        "token", "href", "https", "value", "index", "body"};
    // Six two-character words of code page 936.
    static const char* const gbk[] = {"\xD6\xD0\xCE\xC4", "\xCF\xC2\xD4\xD8", "\xC1\xB4\xBD\xD3",
                                      "\xCE\xC4\xBC\xFE", "\xD2\xB3\xC3\xE6", "\xB5\xD8\xD6\xB7"};
    std::mt19937 random(7);
    const std::size_t body = static_cast<std::size_t>(size) - std::strlen(kNeedle);
    std::size_t lineStart = 0;
    while (text.size() < body) {
        if (mixed && random() % 2) {
            for (int i = 0; i < 3; ++i) text += gbk[random() % 6];
        } else {
            text += ascii[random() % 12];
        }
        text += text.size() - lineStart > 70 ? "\n" : " ";
        if (text.back() == '\n') lineStart = text.size();
    }
    text.resize(body);
    // Whole characters only, then the needle.
    while (!text.empty() && static_cast<unsigned char>(text.back()) >= 0x80) text.pop_back();
    text.append(static_cast<std::size_t>(size) - text.size() - std::strlen(kNeedle), '.');
    text += kNeedle;
    return text;
}

}  // namespace quenlark::bench
