#include "http/Cookies.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>

#include "runtime/PieceList.h"
#include "runtime/TextCommands.h"
#include "runtime/Values.h"
#include "text/ByteLength.h"
#include "text/Markers.h"

namespace quenlark {

namespace {

constexpr const char* kSeparator = "; ";

bool EndsWith(const char* text, const char* piece) {
    return CompareTexts(TextRight(text, TextByteLength(piece)).get(), piece) == 0;
}

// Blanks trimmed at both ends; a text that then ends with ";" gets its blank back.
OwnedText PrepareCookieText(const char* text) {
    OwnedText trimmed = TrimSpaces(text);
    if (EndsWith(trimmed.get(), ";")) trimmed = ConcatTexts({trimmed.get(), " "});
    return trimmed;
}

OwnedText SetCookieEntry(const char* line) {
    // Attributes (path, expiry, ...) after the first ";" are not kept.
    if (FindText(line, ";") != -1) return TrimSpaces(TextBetween(line, "Set-Cookie:", ";").get());
    return TrimSpaces(ReplaceSubText(line, "Set-Cookie:", {.replacement = ""}).get());
}

// Adds `piece` to pieces that are joined by `separator`.
void AddJoined(PieceList& pieces, std::string_view piece, std::string_view separator) {
    if (pieces.count()) pieces.Add(separator.data(), separator.size());
    pieces.Add(piece.data(), piece.size());
}

}  // namespace

void SetCookieCollector::Add(std::string_view line) noexcept {
    if (!text_) Append(TextView(held_));
    const OwnedText terminated = OwnedText::CopyOf(line);
    Append(SetCookieEntry(terminated.get()).view());
    Append(kSeparator);
}

void SetCookieCollector::Append(std::string_view bytes) noexcept {
    if (!text_ || bytes.size() > capacity_ - length_) {
        capacity_ = std::max({length_ + bytes.size() + 1, 2 * capacity_, std::size_t{64}});
        text_.Reset(static_cast<char*>(RtRealloc(text_.Release(), capacity_)));
    }
    if (!bytes.empty()) std::memcpy(text_.get() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
}

OwnedText SetCookieCollector::Take() noexcept {
    if (!text_) return {};
    char* text = static_cast<char*>(RtRealloc(text_.Release(), length_ + 1));
    text[length_] = '\0';
    length_ = capacity_ = 0;
    return OwnedText::Adopt(text);
}

void CollectSetCookies(const char* line, OwnedText& returnCookies) noexcept {
    SetCookieCollector collector(returnCookies.get());
    collector.Add(TextView(line));
    returnCookies = collector.Take();
}

void FinishCookies(OwnedText& returnCookies, const char* sendCookies, bool mergeCookies) noexcept {
    if (EndsWith(returnCookies.get(), kSeparator)) {
        returnCookies = TextLeft(returnCookies.get(), TextByteLength(returnCookies.get()) - 2);
    }
    if (mergeCookies && sendCookies && *sendCookies) returnCookies = MergeCookies(sendCookies, returnCookies.get());
}

OwnedText MergeCookies(const char* oldSet, const char* newSet) noexcept {
    const OwnedTextArray olds = SplitText(PrepareCookieText(oldSet).get(), kSeparator);
    const OwnedTextArray news = SplitText(PrepareCookieText(newSet).get(), kSeparator);

    // Names are looked up in an ordered set rather than a hashed one: a server cannot choose
    // names that make every lookup slow.
    std::set<std::string> names;
    PieceList kept;  // the entries of the result
    const auto keep = [&kept](const char* entry) {
        if (!TextView(entry).ends_with("=deleted")) AddJoined(kept, TextView(entry), kSeparator);
    };
    for (std::size_t n = 1; n <= news.size(); ++n) {
        names.emplace(CookieName(news.At(n)).view());
        keep(news.At(n));
    }
    // The new set wins; of several old entries with one name only the first is taken.
    for (std::size_t o = 1; o <= olds.size(); ++o) {
        if (names.emplace(CookieName(olds.At(o)).view()).second) keep(olds.At(o));
    }
    const OwnedText output = kept.total() ? kept.Join() : OwnedText();
    return RemoveDuplicateEntries(output.get(), kSeparator);
}

OwnedText CookieName(const char* entry) noexcept {
    const std::int32_t equals = FindText(entry, "=");
    if (equals == -1) return TrimSpaces(entry);
    return TrimSpaces(TextLeft(entry, equals - 1).get());
}

OwnedText RemoveDuplicateEntries(const char* text, const char* separator) noexcept {
    const OwnedTextArray pieces = SplitText(text, separator);
    const std::string_view cut = TextView(separator);
    std::set<std::string_view> seen;  // ordered for the reason MergeCookies gives
    PieceList output;
    for (std::size_t i = 1; i <= pieces.size(); ++i) {
        const std::string_view piece = TextView(pieces.At(i));
        if (seen.insert(piece).second) AddJoined(output, piece, cut);
    }
    return output.total() ? output.Join() : OwnedText();
}

}  // namespace quenlark
