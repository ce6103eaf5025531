// Collecting and merging cookies: no name is doubled by the merge, no deleted cookie survives.
#include <map>

#include "FuzzSupport.h"
#include "http/Cookies.h"
#include "runtime/TextCommands.h"

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
    return 0;
}
