// Collecting and merging cookies: no name is doubled by the merge, no deleted cookie survives;
// and header visiting, merging and duplicate removal give the bytes that their first,
// quadratic versions (kept below as the reference) gave, on any bytes.
#include <map>

#include "FuzzSupport.h"
#include "http/Cookies.h"
#include "http/HeaderLines.h"
#include "runtime/TextCommands.h"
#include "runtime/Texts.h"
#include "runtime/commands/TextCommands.h"
#include "text/Markers.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

// Entries as the cookie code sees them: split at "; " where it starts a character.
std::vector<std::string> Entries(const std::string& text) {
    std::vector<std::string> entries;
    const OwnedTextArray pieces = SplitText(text.c_str(), "; ");
    for (std::size_t i = 1; i <= pieces.size(); ++i) entries.push_back(pieces.At(i) ? pieces.At(i) : "");
    return entries;
}

std::string NameOf(const std::string& entry) { return Str(CookieName(entry.c_str())); }

// ---- The reference: every line and entry appended to a copy of all before it ----------

namespace reference {

bool EndsWith(const char* text, const char* piece) {
    return CompareText(TextRight(text, TextLength32(piece)).Get(), piece, true) == 0;
}

void CollectSetCookies(const char* line, OwnedText& returnCookies) {
    OwnedText entry;
    if (FindText(line, ";") != -1) {
        entry = TrimSpaces(first_version::TextBetween(line, "Set-Cookie:", ";").Get());
    } else {
        entry = TrimSpaces(ReplaceSubText(line, "Set-Cookie:", {.replacement = ""}).Get());
    }
    returnCookies = ConcatTexts({returnCookies.Get(), entry.Get(), "; "});
}

void VisitHeaderLines(const char* headers, OwnedText& returnCookies, OwnedText& location) {
    const OwnedTextArray lines = SplitText(headers, "\r\n");
    for (std::size_t i = 1; i <= lines.size(); ++i) {
        const char* line = lines.At(i);
        const std::int32_t colon = FindText(line, ": ");
        if (colon > 0 && CompareText(TextLeft(line, colon - 1).Get(), "Set-Cookie", true) == 0) {
            reference::CollectSetCookies(line, returnCookies);
        }
        if (CompareText(TextLeft(line, 10).Get(), "Location: ", false) == 0) {
            location = TextRight(line, static_cast<std::int32_t>(TextLength(line)) - 10);
        }
    }
}

OwnedText RemoveDuplicateEntries(const char* text, const char* separator) {
    const OwnedTextArray pieces = SplitText(text, separator);
    OwnedText output;
    for (std::size_t i = 1; i <= pieces.size(); ++i) {
        bool seen = false;
        for (std::size_t j = 1; j < i && !seen; ++j) seen = CompareText(pieces.At(j), pieces.At(i), true) == 0;
        if (!seen) output = ConcatTexts({output.Get(), pieces.At(i), separator});
    }
    return TextLeft(output.Get(), TextLength32(output.Get()) - TextLength32(separator));
}

OwnedText PrepareCookieText(const char* text) {
    OwnedText trimmed = TrimSpaces(text);
    if (EndsWith(trimmed.Get(), ";")) trimmed = ConcatTexts({trimmed.Get(), " "});
    return trimmed;
}

OwnedText MergeCookies(const char* oldSet, const char* newSet) {
    const OwnedTextArray olds = SplitText(PrepareCookieText(oldSet).Get(), "; ");
    OwnedTextArray merged = SplitText(PrepareCookieText(newSet).Get(), "; ");
    for (std::size_t o = 1; o <= olds.size(); ++o) {
        const OwnedText name = CookieName(olds.At(o));
        bool known = false;
        for (std::size_t n = 1; n <= merged.size() && !known; ++n) {
            known = CompareText(CookieName(merged.At(n)).Get(), name.Get(), true) == 0;
        }
        if (!known) merged.Append(olds.At(o) ? OwnedText::CopyOf(olds.At(o)) : OwnedText());
    }
    OwnedText output;
    for (std::size_t n = 1; n <= merged.size(); ++n) {
        if (!EndsWith(merged.At(n), "=deleted")) output = ConcatTexts({output.Get(), merged.At(n), "; "});
    }
    output = TextLeft(output.Get(), TextLength32(output.Get()) - 2);
    return RemoveDuplicateEntries(output.Get(), "; ");
}

}  // namespace reference

// A header block of fuzzed lines, most of them starting like the lines that are read, joined
// by CR LF (after a lead byte now and then, where the CR is that character's second byte).
std::string TakeHeaderBlock(FuzzedDataProvider& input) {
    static const char* const kStarts[] = {
        "Set-Cookie: ", "set-cookie: ", "Set-Cookie:", "Location: ", "LOCATION: ", "Location:", "X: ", ""};
    std::string block;
    const int lines = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < lines; ++i) {
        block += kStarts[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kStarts) - 1)];
        block += TakeText(input, 40);
        if (input.ConsumeBool()) block += "\r\n";
    }
    return block;
}

void CheckAgainstReference(FuzzedDataProvider& input) {
    const std::string block = TakeHeaderBlock(input);
    const std::string held = TakeText(input, 16);
    OwnedText cookies = OwnedText::CopyOrNull(held), location = OwnedText::CopyOf("as passed");
    OwnedText expectedCookies = OwnedText::CopyOrNull(held), expectedLocation = OwnedText::CopyOf("as passed");
    VisitHeaderLines(block.c_str(), cookies, location);
    reference::VisitHeaderLines(block.c_str(), expectedCookies, expectedLocation);
    FUZZ_CHECK(Same(cookies, expectedCookies));
    FUZZ_CHECK(Same(location, expectedLocation));
    CheckTextBlock(cookies);

    const std::string sent = TakeText(input, 64);
    FUZZ_CHECK(Same(MergeCookies(sent.c_str(), cookies.Get()), reference::MergeCookies(sent.c_str(), cookies.Get())));
    const std::string separator = TakeText(input, 3);
    FUZZ_CHECK(Same(RemoveDuplicateEntries(sent.c_str(), separator.c_str()),
                    reference::RemoveDuplicateEntries(sent.c_str(), separator.c_str())));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Cookie texts come from converted header blocks (and from hosts that send what they got),
    // so they are well-formed code page 936; a stray lead byte would join the separator after
    // it into one character.
    std::string sent = TakeText(input, 64);
    MakeWellFormed936(sent);
    OwnedText received;
    const int lines = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < lines; ++i) {
        std::string line = "Set-Cookie: " + TakeText(input, 32);
        MakeWellFormed936(line);
        CollectSetCookies(line.c_str(), received);
        CheckTextBlock(received);
    }
    const std::string collected = Str(received);
    FinishCookies(received, nullptr, true);  // no merge without cookies sent
    const std::string newSet = Str(received);
    // Finishing cuts exactly the one separator that the last line left.
    if (lines > 0) FUZZ_CHECK(collected.size() >= 2 && newSet == collected.substr(0, collected.size() - 2));

    const OwnedText merged = MergeCookies(sent.c_str(), newSet.c_str());
    CheckTextBlock(merged);
    std::map<std::string, int> inNew;
    for (const std::string& entry : Entries(newSet)) ++inNew[NameOf(entry)];
    std::map<std::string, int> inMerged;
    for (const std::string& entry : Entries(Str(merged))) {
        FUZZ_CHECK(entry.size() < 8 || entry.compare(entry.size() - 8, 8, "=deleted") != 0);
        ++inMerged[NameOf(entry)];
    }
    for (const auto& [name, times] : inMerged) {
        if (times > 1) FUZZ_CHECK(inNew[name] >= times);  // only the new set may hold a name twice
    }

    CheckAgainstReference(input);
    return 0;
}
