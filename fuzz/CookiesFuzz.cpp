// Collecting and merging cookies: no name is doubled by the merge, no deleted cookie survives.
#include <map>

#include "FuzzSupport.h"
#include "http/Cookies.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

std::vector<std::string> Entries(const std::string& text) {
    std::vector<std::string> entries;
    std::size_t from = 0;
    while (from < text.size()) {
        const std::size_t end = text.find("; ", from);
        entries.push_back(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
        if (end == std::string::npos) break;
        from = end + 2;
    }
    return entries;
}

std::string NameOf(const std::string& entry) { return Str(CookieName(entry.c_str())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string sent = TakeText(input, 64);
    OwnedText received;
    const int lines = input.ConsumeIntegralInRange(0, 6);
    for (int i = 0; i < lines; ++i) {
        const std::string line = "Set-Cookie: " + TakeText(input, 32);
        CollectSetCookies(line.c_str(), received);
        CheckTextBlock(received);
    }
    FinishCookies(received, nullptr, true);  // no merge without cookies sent
    const std::string newSet = Str(received);
    FUZZ_CHECK(newSet.size() < 2 || newSet.compare(newSet.size() - 2, 2, "; ") != 0);

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
