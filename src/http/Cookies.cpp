#include "http/Cookies.h"

#include "runtime/TextCommands.h"
#include "runtime/Values.h"
#include "text/TextHelpers.h"

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

}  // namespace

void CollectSetCookies(const char* line, OwnedText& returnCookies) noexcept {
    OwnedText entry;
    if (FindText(line, ";") != -1) {
        // Attributes (path, expiry, ...) after the first ";" are not kept.
        entry = TrimSpaces(TextBetween(line, "Set-Cookie:", ";").get());
    } else {
        entry = TrimSpaces(ReplaceSubText(line, "Set-Cookie:", {.replacement = ""}).get());
    }
    returnCookies = ConcatTexts({returnCookies.get(), entry.get(), kSeparator});
}

void FinishCookies(OwnedText& returnCookies, const char* sendCookies, bool mergeCookies) noexcept {
    if (EndsWith(returnCookies.get(), kSeparator)) {
        returnCookies = TextLeft(returnCookies.get(), TextByteLength(returnCookies.get()) - 2);
    }
    if (mergeCookies && sendCookies && *sendCookies) returnCookies = MergeCookies(sendCookies, returnCookies.get());
}

OwnedText MergeCookies(const char* oldSet, const char* newSet) noexcept {
    const OwnedTextArray olds = SplitText(PrepareCookieText(oldSet).get(), kSeparator);
    OwnedTextArray merged = SplitText(PrepareCookieText(newSet).get(), kSeparator);

    for (std::size_t o = 1; o <= olds.size(); ++o) {
        const OwnedText name = CookieName(olds.At(o));
        bool known = false;
        for (std::size_t n = 1; n <= merged.size() && !known; ++n) {
            known = CompareTexts(CookieName(merged.At(n)).get(), name.get()) == 0;
        }
        // The new set wins; of several old entries with one name only the first is taken.
        if (!known) merged.Append(olds.At(o) ? OwnedText::CopyOf(olds.At(o)) : OwnedText());
    }

    OwnedText output;
    for (std::size_t n = 1; n <= merged.size(); ++n) {
        const char* entry = merged.At(n);
        if (EndsWith(entry, "=deleted")) continue;
        output = ConcatTexts({output.get(), entry, kSeparator});
    }
    output = TextLeft(output.get(), TextByteLength(output.get()) - 2);
    return RemoveDuplicateEntries(output.get(), kSeparator);
}

OwnedText CookieName(const char* entry) noexcept {
    const std::int32_t equals = FindText(entry, "=");
    if (equals == -1) return TrimSpaces(entry);
    return TrimSpaces(TextLeft(entry, equals - 1).get());
}

OwnedText RemoveDuplicateEntries(const char* text, const char* separator) noexcept {
    const OwnedTextArray pieces = SplitText(text, separator);
    OwnedText output;
    for (std::size_t i = 1; i <= pieces.size(); ++i) {
        bool seen = false;
        for (std::size_t j = 1; j < i && !seen; ++j) seen = CompareTexts(pieces.At(j), pieces.At(i)) == 0;
        if (!seen) output = ConcatTexts({output.get(), pieces.At(i), separator});
    }
    return TextLeft(output.get(), TextByteLength(output.get()) - TextByteLength(separator));
}

}  // namespace quenlark
