#include "http/Cookies.h"

#include <cstring>
#include <set>

#include "runtime/PieceList.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"
#include "text/Markers.h"

namespace quenlark {

namespace {

constexpr std::string_view kSeparator = "; ";
constexpr std::string_view kSetCookieName = "Set-Cookie:";

// The cookie text as it is split: blanks trimmed at both ends; a text that then ends with ";"
// gets its blank back, in a copy that `storage` holds.
std::string_view PreparedCookieText(const char* text, OwnedText& storage) {
    const std::string_view trimmed = TrimSpacesView(TextView(text));
    if (!trimmed.ends_with(';')) return trimmed;
    storage = JoinedText({trimmed, " "});
    return storage.view();
}

// The text before the first "=" (the whole entry without one), blanks trimmed.
std::string_view NameOf(std::string_view entry) { return TrimSpacesView(entry.substr(0, FindInText(entry, "="))); }

// Adds `piece` to pieces that are joined by `separator`.
void AddJoined(PieceList& pieces, std::string_view piece, std::string_view separator) {
    if (pieces.count()) pieces.Add(separator.data(), separator.size());
    pieces.Add(piece.data(), piece.size());
}

// `text` split at `separator` with every piece that equals an earlier one removed.
OwnedText WithoutDuplicates(std::string_view text, std::string_view separator) {
    std::set<std::string_view> seen;  // ordered for the reason MergeCookies gives
    PieceList output;
    std::string_view piece;
    for (TextPieces pieces(text, separator); pieces.Next(piece);) {
        if (seen.insert(piece).second) AddJoined(output, piece, separator);
    }
    return output.total() ? output.Join() : OwnedText();
}

}  // namespace

void SetCookieCollector::Add(std::string_view line) noexcept {
    if (!text_.Started()) text_.Append(TextView(held_));
    // Attributes (path, expiry, ...) after the first ";" are not kept.
    if (FindInText(line, ";") != kNoMatch) {
        text_.Append(TrimSpacesView(FindBetween(line, kSetCookieName, ";").value_or(std::string_view())));
    } else {
        AppendWithoutName(line);
    }
    text_.Append(kSeparator);
}

void SetCookieCollector::AppendWithoutName(std::string_view line) noexcept {
    const std::size_t entryStart = text_.size();
    std::size_t mark = 0;
    for (std::size_t at = FindInText(line, kSetCookieName, 0, true); at != kNoMatch;
         at = FindInText(line, kSetCookieName, mark, true)) {
        text_.Append(line.substr(mark, at - mark));
        mark = at + kSetCookieName.size();
    }
    text_.Append(line.substr(mark));
    const std::string_view entry = TrimSpacesView(text_.view().substr(entryStart));
    std::memmove(text_.data() + entryStart, entry.data(), entry.size());
    text_.Truncate(entryStart + entry.size());
}

void CollectSetCookies(const char* line, OwnedText& returnCookies) noexcept {
    SetCookieCollector collector(returnCookies.Get());
    collector.Add(TextView(line));
    returnCookies = collector.Take();
}

void FinishCookies(OwnedText& returnCookies, const char* sendCookies, bool mergeCookies) noexcept {
    const std::string_view collected = returnCookies.view();
    if (collected.ends_with(kSeparator)) {
        returnCookies = OwnedText::CopyOrNull(collected.substr(0, collected.size() - kSeparator.size()));
    }
    if (mergeCookies && sendCookies && *sendCookies) returnCookies = MergeCookies(sendCookies, returnCookies.Get());
}

OwnedText MergeCookies(const char* oldSet, const char* newSet) noexcept {
    OwnedText oldStorage, newStorage;
    const std::string_view olds = PreparedCookieText(oldSet, oldStorage);
    const std::string_view news = PreparedCookieText(newSet, newStorage);

    // Names are looked up in an ordered set rather than a hashed one: a server cannot choose
    // names that make every lookup slow.
    std::set<std::string_view> names;
    PieceList kept;  // the entries of the result
    const auto keep = [&kept](std::string_view entry) {
        if (!entry.ends_with("=deleted")) AddJoined(kept, entry, kSeparator);
    };
    std::string_view entry;
    for (TextPieces pieces(news, kSeparator); pieces.Next(entry);) {
        names.emplace(NameOf(entry));
        keep(entry);
    }
    // The new set wins; of several old entries with one name only the first is taken.
    for (TextPieces pieces(olds, kSeparator); pieces.Next(entry);) {
        if (names.emplace(NameOf(entry)).second) keep(entry);
    }
    const OwnedText output = kept.total() ? kept.Join() : OwnedText();
    return WithoutDuplicates(output.view(), kSeparator);
}

OwnedText CookieName(const char* entry) noexcept { return OwnedText::CopyOrNull(NameOf(TextView(entry))); }

OwnedText RemoveDuplicateEntries(const char* text, const char* separator) noexcept {
    return WithoutDuplicates(TextView(text), TextView(separator));
}

}  // namespace quenlark
