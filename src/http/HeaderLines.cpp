#include "http/HeaderLines.h"

#include <string_view>

#include "http/Cookies.h"
#include "runtime/Events.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"

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
}

}  // namespace

void VisitHeaderLines(const char* headers, OwnedText& returnCookies, OwnedText& location) noexcept {
    SetCookieCollector cookies(returnCookies.Get());
    // Messages are dispatched between lines once a walk takes long; a short one leaves them to
    // the dispatch at the end of the exchange.
    PacedDispatch events = PacedEvents();
    // As the text commands split a text: a CR LF whose CR is the second byte of a double-byte
    // character does not end a line, and a CR LF at the very end adds no empty line.
    std::string_view line;
    for (TextPieces lines(TextView(headers), "\r\n"); lines.Next(line);) {
        VisitLine(line, cookies, location);
        events.Step();
    }
    if (cookies.Collected()) returnCookies = cookies.Take();
}

}  // namespace quenlark
