#include "http/RequestHeaders.h"

#include "runtime/TextCommands.h"
#include "runtime/Values.h"
#include "text/ByteLength.h"

namespace quenlark {

namespace {

struct DefaultHeader {
    const char* probe;  // searched without regard to case, anywhere in the block
    const char* line;
    bool postOnly;
};

// In the order in which they are considered; each probe sees the lines added before it.
const DefaultHeader kDefaultHeaders[] = {
    {"User-Agent: ", "User-Agent: Mozilla/5.0 (compatible; MSIE 9.0; Windows NT 6.1; WOW64; Trident/5.0)\r\n", false},
    {"Accept: ", "Accept: text/html, application/xhtml+xml, */*\r\n", false},
    {"Accept-Encoding: ", "Accept-Encoding: gbk, GB2312\r\n", false},
    {"Accept-Language: ", "Accept-Language: zh-cn\r\n", false},
    {"Content-Type:", "Content-Type: application/x-www-form-urlencoded\r\n", true},
    {"Cache-Control: ", "Cache-Control: no-cache\r\n", false},
};

bool HasBytes(const char* text) { return text && *text; }

}  // namespace

OwnedText BuildRequestHeaders(const char* requestHeaders, std::int32_t method, const char* sendCookies,
                              bool addDefaultHeaders, bool normalizeHeaders) noexcept {
    OwnedText block = HasBytes(requestHeaders) ? ConcatTexts({requestHeaders, "\r\n"}) : OwnedText();
    if (addDefaultHeaders) {
        for (const DefaultHeader& header : kDefaultHeaders) {
            if (header.postOnly && method != kMethodPost) continue;
            if (FindText(block.get(), header.probe, std::nullopt, true) == -1)
                block = ConcatTexts({block.get(), header.line});
        }
    }
    if (normalizeHeaders) block = NormalizeHeaderNames(block.get());

    // A keep-alive line is what the stack sends anyway; only the exact form is dropped.
    if (FindText(block.get(), "Connection") != -1 &&
        CompareTexts(HeaderValue(block.get(), "Connection").get(), "keep-alive") == 0) {
        block = ReplaceSubText(block.get(), "Connection: keep-alive\r\n", {.replacement = "", .caseSensitive = true});
    }

    if (FindText(block.get(), "Cookie:", std::nullopt, true) == -1 && HasBytes(sendCookies)) {
        const bool wholeLine = FindText(sendCookies, "Cookie:", std::nullopt, true) != -1;
        block = ConcatTexts({block.get(), wholeLine ? "\r\n" : "\r\nCookie: ", sendCookies, "\r\n"});
    }
    return block;
}

OwnedText NormalizeHeaderNames(const char* block) noexcept {
    const OwnedTextArray lines = SplitText(block, "\r\n");
    OwnedText output;
    for (std::size_t i = 1; i <= lines.size(); ++i) {
        const char* line = lines.At(i);
        const std::int32_t colon = FindText(line, ":", std::nullopt, false);
        if (colon == -1) continue;  // no colon (the empty line included): dropped
        const OwnedText name = TextLeft(line, colon - 1);
        OwnedText newName;
        if (FindText(name.get(), "-") != -1) {
            const OwnedTextArray words = SplitText(name.get(), "-");
            for (std::size_t w = 1; w <= words.size(); ++w) {
                newName = ConcatTexts({newName.get(), w > 1 ? "-" : "", CapitalizeFirst(words.At(w)).get()});
            }
        } else {
            newName = CapitalizeFirst(name.get());
        }
        // The rest is measured from the end with the new name's length.
        const OwnedText rest = TextRight(line, TextByteLength(line) - TextByteLength(newName.get()));
        output = ConcatTexts({output.get(), newName.get(), rest.get(), "\r\n"});
    }
    return TextLeft(output.get(), TextByteLength(output.get()) - 2);
}

OwnedText CapitalizeFirst(const char* word) noexcept {
    if (!HasBytes(word)) return {};
    OwnedText copy = OwnedText::CopyOf(word);
    char& first = copy.get()[0];
    if (first >= 'a' && first <= 'z') first = static_cast<char>(first - 'a' + 'A');
    return copy;
}

OwnedText HeaderValue(const char* block, const char* name) noexcept {
    const OwnedTextArray lines = SplitText(block, "\r\n");
    const std::int32_t nameLength = TextByteLength(name);
    const OwnedText marker = ConcatTexts({name, ": "});
    for (std::size_t i = 1; i <= lines.size(); ++i) {
        const char* line = lines.At(i);
        if (CompareTexts(TextLeft(line, nameLength).get(), name) != 0) continue;
        const std::int32_t at = FindText(line, marker.get());
        if (at == -1) return {};
        const std::int32_t valueStart = at + TextByteLength(marker.get());
        return TextMiddle(line, valueStart, TextByteLength(line) - valueStart + 1);
    }
    return {};
}

}  // namespace quenlark
