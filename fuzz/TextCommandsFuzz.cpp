// The runtime's text commands against simple reference rules, on arbitrary bytes.
#include "FuzzSupport.h"
#include "runtime/TextCommands.h"
#include "runtime/commands/TextCommands.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

// The first character start at or after `from` where `sub` matches.
int ReferenceFind(const std::string& text, const std::string& sub, std::size_t from, bool ignoreCase) {
    const std::vector<bool> starts = CharacterStarts(text);
    for (std::size_t at = from; at < text.size(); ++at) {
        if (starts[at] && MatchesAt(text, at, sub, ignoreCase)) return static_cast<int>(at) + 1;
    }
    return -1;
}

void CheckFind(const std::string& text, const std::string& sub, std::optional<std::int32_t> start, bool ignoreCase) {
    const std::int32_t found = FindText(text.c_str(), sub.c_str(), start, ignoreCase);
    if (text.empty()) FUZZ_CHECK_RETURN(found == -1);
    if (sub.empty()) FUZZ_CHECK_RETURN(found == 1);
    const std::size_t from = start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
    FUZZ_CHECK(found == ReferenceFind(text, sub, from, ignoreCase));
}

void CheckFindReverse(const std::string& text, const std::string& sub, std::optional<std::int32_t> start,
                      bool ignoreCase) {
    const std::int32_t found = FindTextReverse(text.c_str(), sub.c_str(), start, ignoreCase);
    if (text.empty() || (start && *start <= 0))
        FUZZ_CHECK_RETURN(found == -1 || (sub.empty() && !text.empty() && found == 1));
    if (sub.empty()) FUZZ_CHECK_RETURN(found == 1);
    if (found == -1) return;
    // A real match that lies inside the text.
    FUZZ_CHECK(found >= 1 && static_cast<std::size_t>(found) <= text.size());
    FUZZ_CHECK(MatchesAt(text, static_cast<std::size_t>(found - 1), sub, ignoreCase));
    if (!start) {
        // Without a start it is the last match anywhere.
        for (std::size_t at = static_cast<std::size_t>(found); at < text.size(); ++at)
            FUZZ_CHECK(!MatchesAt(text, at, sub, ignoreCase));
    }
}

void CheckReplace(const std::string& text, const std::string& find, const std::string& with,
                  std::optional<std::int32_t> start, std::optional<std::int32_t> count, bool caseSensitive) {
    const OwnedText result =
        ReplaceSubText(text.c_str(), find.c_str(),
                       {.replacement = with.c_str(), .start = start, .count = count, .caseSensitive = caseSensitive});
    CheckTextBlock(result);
    if (text.empty()) FUZZ_CHECK_RETURN(result.Get() == nullptr);
    FUZZ_CHECK(result.Get() != nullptr);
    if (find.empty() || (count && *count <= 0)) FUZZ_CHECK_RETURN(Str(result) == text);
    // Every replacement changes the length by the same amount.
    const long delta = static_cast<long>(with.size()) - static_cast<long>(find.size());
    const long change = static_cast<long>(result.length()) - static_cast<long>(text.size());
    if (delta == 0) {
        FUZZ_CHECK(change == 0);
    } else {
        FUZZ_CHECK(change % delta == 0);
        const long replaced = change / delta;
        FUZZ_CHECK(replaced >= 0 && static_cast<std::size_t>(replaced) * find.size() <= text.size());
        if (count) FUZZ_CHECK(replaced <= *count);
    }
    // Text before the start is never touched.
    const std::size_t from = start && *start > 1 ? static_cast<std::size_t>(*start - 1) : 0;
    if (from < text.size()) FUZZ_CHECK(Str(result).compare(0, from, text, 0, from) == 0);
    // Putting each match back as it was, exactly, changes nothing.
    if (caseSensitive) {
        const OwnedText same =
            ReplaceSubText(text.c_str(), find.c_str(),
                           {.replacement = find.c_str(), .start = start, .count = count, .caseSensitive = true});
        FUZZ_CHECK(Str(same) == text);
    }
}

void CheckSplit(const std::string& text, const std::string& separator, std::optional<std::int32_t> count) {
    const OwnedTextArray pieces = SplitText(text.c_str(), separator.c_str(), count);
    if (text.empty() || (count && *count <= 0)) FUZZ_CHECK_RETURN(pieces.size() == 0);
    if (separator.empty()) FUZZ_CHECK_RETURN(pieces.size() == 1 && std::string(pieces.At(1)) == text);
    if (count) FUZZ_CHECK(pieces.size() <= static_cast<std::size_t>(*count));
    std::string joined;
    for (std::size_t i = 1; i <= pieces.size(); ++i) {
        const char* piece = pieces.At(i);
        FUZZ_CHECK(piece == nullptr || *piece != '\0');  // empty pieces are null
        if (i > 1) joined += separator;
        joined += piece ? piece : "";
    }
    // The pieces and separators rebuild the text (a trailing separator adds no piece; with a
    // count the remainder is dropped).
    if (!count) FUZZ_CHECK(joined == text || joined + separator == text);
    FUZZ_CHECK(text.compare(0, joined.size(), joined) == 0);
}

bool IsSpaceAt(const std::string& text, std::size_t at) {
    return text[at] == ' ' || (at + 1 < text.size() && static_cast<unsigned char>(text[at]) == 0xA1 &&
                               static_cast<unsigned char>(text[at + 1]) == 0xA1);
}

void CheckSpaces(const std::string& text) {
    // Reference: drop every space character met when stepping whole characters.
    std::string kept;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t width = IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        if (!IsSpaceAt(text, i)) kept.append(text, i, width);
        i += width;
    }
    const OwnedText removed = RemoveAllSpaces(text.c_str());
    CheckTextBlock(removed);
    FUZZ_CHECK(Str(removed) == kept);
    if (text.empty()) FUZZ_CHECK(removed.Get() == nullptr);

    const OwnedText trimmed = TrimSpaces(text.c_str());
    CheckTextBlock(trimmed);
    const std::string t = Str(trimmed);
    FUZZ_CHECK(text.find(t) != std::string::npos);
    if (!t.empty()) {
        FUZZ_CHECK(!IsSpaceAt(t, 0));
        FUZZ_CHECK(t.back() != ' ' || (t.size() >= 2 && IsLeadByte(static_cast<unsigned char>(t[t.size() - 2]))));
    }
}

void CheckPieces(const std::string& text, std::int32_t start, std::int32_t n) {
    const auto length = static_cast<std::int32_t>(text.size());
    const OwnedText left = TextLeft(text.c_str(), n);
    const OwnedText right = TextRight(text.c_str(), n);
    const OwnedText middle = TextMiddle(text.c_str(), start, n);
    for (const OwnedText* t : {&left, &right, &middle}) CheckTextBlock(*t);
    if (text.empty() || n <= 0) {
        FUZZ_CHECK(!left && !right);
    } else {
        const std::int32_t take = n < length ? n : length;
        FUZZ_CHECK(Str(left) == text.substr(0, static_cast<std::size_t>(take)));
        FUZZ_CHECK(Str(right) == text.substr(static_cast<std::size_t>(length - take)));
    }
    if (text.empty() || n <= 0 || start <= 0 || start > length) {
        FUZZ_CHECK(!middle);
    } else {
        FUZZ_CHECK(Str(middle) == text.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(n)));
    }
}

std::optional<std::int32_t> MaybePosition(FuzzedDataProvider& input) {
    if (!input.ConsumeBool()) return std::nullopt;
    return input.ConsumeIntegralInRange<std::int32_t>(-4, 300);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string text = TakeText(input);
    const std::string sub = TakeText(input, 8);
    const std::string with = TakeText(input, 8);
    const bool flag = input.ConsumeBool();
    const auto start = MaybePosition(input);
    const auto count = MaybePosition(input);

    CheckFind(text, sub, start, flag);
    CheckFindReverse(text, sub, start, flag);
    CheckReplace(text, sub, with, start, count, flag);
    CheckSplit(text, sub, count);
    CheckSpaces(text);
    CheckPieces(text, start.value_or(1), count.value_or(3));
    return 0;
}
