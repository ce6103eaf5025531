#include "http/HeaderLines.h"

#include <string_view>

#include "http/Cookies.h"
#include "runtime/Events.h"
#include "runtime/TextSearch.h"
#include "runtime/Values.h"

namespace quenlark {

namespace {

constexpr std::string_view kSetCookiePrefix = "Set-Cookie: ";
constexpr std::string_view kLocationPrefix = "Location: ";

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (kFoldTable[static_cast<unsigned char>(text[i])] != kFoldTable[static_cast<unsigned char>(prefix[i])])
            return false;
    }
    return true;
}

void VisitLine(std::string_view line, SetCookieCollector& cookies, OwnedText& location) {
    if (line.starts_with(kSetCookiePrefix)) cookies.Add(line);
    if (StartsWithIgnoringCase(line, kLocationPrefix))
        location = OwnedText::CopyOrNull(line.substr(kLocationPrefix.size()));
    ProcessEvents();
}

}  // namespace

void VisitHeaderLines(const char* headers, OwnedText& returnCookies, OwnedText& location) noexcept {
    const std::string_view block = TextView(headers);
    SetCookieCollector cookies(returnCookies.get());
    // As the text commands split a text: a CR LF whose CR is the second byte of a double-byte
    // character does not end a line, and a CR LF at the very end adds no empty line.
    constexpr std::string_view kLineEnd = "\r\n";
    ByteMatcher matcher(block, kLineEnd, false);
    std::size_t lineStart = 0;
    for (std::size_t end = matcher.NextAtBoundary(0); end != kNoMatch; end = matcher.NextAtBoundary(lineStart)) {
        VisitLine(block.substr(lineStart, end - lineStart), cookies, location);
        lineStart = end + kLineEnd.size();
        matcher.Seek(lineStart);
    }
    if (lineStart < block.size()) VisitLine(block.substr(lineStart), cookies, location);
    if (cookies.Collected()) returnCookies = cookies.Take();
}

}  // namespace quenlark
