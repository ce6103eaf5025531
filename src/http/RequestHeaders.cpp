#include "http/RequestHeaders.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "runtime/TextSearch.h"
#include "runtime/Texts.h"
#include "text/TextBuilder.h"

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

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kCookieName = "Cookie:";
constexpr std::string_view kCookieLineStart = "\r\nCookie: ";
constexpr std::string_view kKeepAliveLine = "Connection: keep-alive\r\n";

// The most the block can come to: the caller's lines, every default line and the Cookie line.
std::size_t MostBytes(std::string_view requestHeaders, std::string_view sendCookies) {
    std::size_t total = requestHeaders.size() + sendCookies.size() + 2 * kLineEnd.size() + kCookieLineStart.size();
    for (const DefaultHeader& header : kDefaultHeaders) total += std::string_view(header.line).size();
    return total;
}

void Capitalize(char& c) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}

// The first letter of each hyphen-separated word of a name upper-cased (ASCII letters only).
void CapitalizeWords(char* name, std::size_t length) {
    const std::string_view words(name, length);
    for (std::size_t start = 0; start < length;) {
        Capitalize(name[start]);
        const std::size_t hyphen = FindInText(words, "-", start);
        if (hyphen == kNoMatch) break;
        start = hyphen + 1;
    }
}

// Each default line whose probe the block does not hold yet (a probe sees the lines added before
// it).
void AddDefaults(TextBuilder& block, std::int32_t method) {
    for (const DefaultHeader& header : kDefaultHeaders) {
        if (header.postOnly && method != kMethodPost) continue;
        if (FindInText(block.view(), header.probe, 0, true) == kNoMatch) block.Append(header.line);
    }
}

// NormalizeHeaderNames in place: a line only moves towards the start of the block, and lines
// are read ahead of where the kept ones are written (a kept line is followed by CR LF in the
// block, so the CR LF written before the next one never reaches that line).
void NormalizeNames(TextBuilder& block) {
    char* out = block.data();
    std::size_t written = 0;
    std::string_view line;
    for (TextPieces lines(block.view(), kLineEnd); lines.Next(line);) {
        const std::size_t colon = FindInText(line, ":");
        if (colon == kNoMatch) continue;  // no colon (the empty line included): dropped
        if (written > 0) {
            std::memcpy(out + written, kLineEnd.data(), kLineEnd.size());
            written += kLineEnd.size();
        }
        std::memmove(out + written, line.data(), line.size());
        CapitalizeWords(out + written, colon);
        written += line.size();
    }
    block.Truncate(written);
}

// The value after `marker` (the name and ": ") in the first line that begins with `name`
// (exact case); nothing when there is no such line or it has no marker.
std::optional<std::string_view> FirstHeaderValue(std::string_view block, std::string_view name,
                                                 std::string_view marker) {
    std::string_view line;
    for (TextPieces lines(block, kLineEnd); lines.Next(line);) {
        if (!line.starts_with(name)) continue;
        const std::size_t at = FindInText(line, marker);
        if (at == kNoMatch) return std::nullopt;
        return line.substr(at + marker.size());
    }
    return std::nullopt;
}

// A keep-alive line is what the stack sends anyway; only the exact form is dropped, wherever it
// stands, once the first line named Connection says keep-alive. In place: each search reads only
// from the end of the last match on, where nothing has been written.
void DropKeepAlive(TextBuilder& block) {
    const std::string_view text = block.view();
    if (FirstHeaderValue(text, "Connection", "Connection: ") != "keep-alive") return;
    char* out = block.data();
    std::size_t written = 0;
    std::size_t mark = 0;
    for (std::size_t at = FindInText(text, kKeepAliveLine); at != kNoMatch;
         at = FindInText(text, kKeepAliveLine, mark)) {
        std::memmove(out + written, text.data() + mark, at - mark);
        written += at - mark;
        mark = at + kKeepAliveLine.size();
    }
    std::memmove(out + written, text.data() + mark, text.size() - mark);
    block.Truncate(written + text.size() - mark);
}

// The cookies to send as a Cookie line, unless the block has one (or a name that ends so).
void AddCookieLine(TextBuilder& block, std::string_view sendCookies) {
    if (sendCookies.empty() || FindInText(block.view(), kCookieName, 0, true) != kNoMatch) return;
    const bool wholeLine = FindInText(sendCookies, kCookieName, 0, true) != kNoMatch;
    block.Append(wholeLine ? kLineEnd : kCookieLineStart);
    block.Append(sendCookies);
    block.Append(kLineEnd);
}

OwnedText TakeOrNull(TextBuilder& block) { return block.size() ? block.Take() : OwnedText(); }

}  // namespace

OwnedText BuildRequestHeaders(const char* requestHeaders, std::int32_t method, const char* sendCookies,
                              bool addDefaultHeaders, bool normalizeHeaders) noexcept {
    const std::string_view caller = TextView(requestHeaders);
    const std::string_view cookies = TextView(sendCookies);
    TextBuilder block;
    block.Reserve(MostBytes(caller, cookies));
    if (!caller.empty()) {
        block.Append(caller);
        block.Append(kLineEnd);
    }
    if (addDefaultHeaders) AddDefaults(block, method);
    if (normalizeHeaders) NormalizeNames(block);
    DropKeepAlive(block);
    AddCookieLine(block, cookies);
    return TakeOrNull(block);
}

OwnedText NormalizeHeaderNames(const char* block) noexcept {
    const std::string_view text = TextView(block);
    TextBuilder normalized;
    normalized.Reserve(text.size());
    normalized.Append(text);
    NormalizeNames(normalized);
    return TakeOrNull(normalized);
}

OwnedText CapitalizeFirst(const char* word) noexcept {
    if (!HasBytes(word)) return {};
    OwnedText copy = OwnedText::CopyOf(word);
    Capitalize(copy.Get()[0]);
    return copy;
}

OwnedText HeaderValue(const char* block, const char* name) noexcept {
    const OwnedText marker = JoinedText({TextView(name), ": "});
    return OwnedText::CopyOrNull(FirstHeaderValue(TextView(block), TextView(name), marker.view()).value_or(""));
}

}  // namespace quenlark
