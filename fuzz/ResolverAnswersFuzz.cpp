// The resolver's reading of answers, fed with pages made of the words that matter and any
// bytes: the frame search agrees with the pattern's backtracking order (tried by brute force
// on short lines) and stays linear, and a source it may follow keeps the frame's address on
// the origin and free of line ends; the form body holds only values that stood between their
// markers, and is the one that the first version, over the text commands, made; the link is
// empty, or dom + "/file/" + url when there is a dom.
#include <algorithm>
#include <vector>

#include "FuzzSupport.h"
#include "resolve/FrameSearch.h"
#include "resolve/ShareAnswers.h"
#include "runtime/Texts.h"
#include "runtime/commands/TextCommands.h"
#include "text/TextConversions.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

const char* const kPieces[] = {
    "name=\"",
    "NAME=\"",
    "\" src=\"",
    "\" Src=\"",
    "\" frameborder=",
    "\" FRAMEBORDER=",
    "\n",
    "\r",
    "\r\n",
    "\x81n",
    "\xD6\xD0",
    "var pdownload = '",
    "var ajaxdata = '",
    "';",
    "ajaxdata,'sign':'",
    "','ves'",
    "','ves':1,'websign':'",
    "' },",
    "0123456789",
    " ",
    "\xA1\xA1",
};
constexpr std::size_t kPieceCount = std::size(kPieces);

// Each input byte below the piece count stands for a piece, any other for itself.
std::string TakePage(FuzzedDataProvider& input, std::size_t maxBytes) {
    std::string page;
    const std::string raw = input.ConsumeRandomLengthString(maxBytes);
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        if (b < kPieceCount) {
            page += kPieces[b];
        } else {
            page += c;
        }
    }
    return page;
}

std::size_t CharLength(const std::string& text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    return c >= 0x81 && c <= 0xFE && at + 1 < text.size() ? 2 : 1;
}

// The pattern's own order: leftmost start, then the longest first `.*`, then the longest group.
std::optional<FrameMatch> BruteForce(const std::string& line) {
    std::vector<std::size_t> names, sources, borders;
    for (std::size_t at = 0; at < line.size(); at += CharLength(line, at)) {
        if (MatchesAt(line, at, "name=\"", true)) names.push_back(at);
        if (MatchesAt(line, at, "\" src=\"", true)) sources.push_back(at);
        if (MatchesAt(line, at, "\" frameborder=", true)) borders.push_back(at);
    }
    for (const std::size_t s : names) {
        for (auto b = sources.rbegin(); b != sources.rend(); ++b) {
            if (*b < s + 6) continue;
            for (auto c = borders.rbegin(); c != borders.rend(); ++c) {
                if (*c >= *b + 7) return FrameMatch{s, *c + 14, *b + 7, *c};
            }
        }
    }
    return std::nullopt;
}

// Where each line with a match begins, walking the page character by character to each line end.
std::vector<std::size_t> LinesWithAMatch(const std::string& page, LineEnds ends) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < page.size();) {
        std::size_t end = at;
        while (end < page.size() && page[end] != '\n' && !(ends.carriageReturn && page[end] == '\r')) {
            end += CharLength(page, end);
        }
        if (MatchFrameLine(std::string_view(page).substr(at, end - at))) starts.push_back(at);
        at = end + 1;
    }
    return starts;
}

void CheckFrameSearch(const std::string& page, LineEnds ends) {
    FrameLines lines(page, ends);
    std::size_t lineStart = 0;
    std::vector<std::size_t> found;
    while (const auto hit = lines.Next()) {
        found.push_back(static_cast<std::size_t>(hit->line.data() - page.data()));
        FUZZ_CHECK(hit->line.data() >= page.data() + lineStart);
        lineStart = static_cast<std::size_t>(hit->line.data() - page.data()) + hit->line.size();
        const FrameMatch& m = hit->match;
        FUZZ_CHECK(m.begin < m.sourceBegin && m.sourceBegin <= m.sourceEnd && m.sourceEnd < m.end &&
                   m.end <= hit->line.size());
        // No line end at a character start (a lead byte takes whatever byte follows it).
        const std::string line(hit->line);
        for (std::size_t at = 0; at < line.size(); at += CharLength(line, at)) {
            FUZZ_CHECK(line[at] != '\n' && !(ends.carriageReturn && line[at] == '\r'));
        }
        // Followed, the source goes after the origin into the request line and the Referer.
        const std::string source = line.substr(m.sourceBegin, m.sourceEnd - m.sourceBegin);
        if (IsServicePath(source)) {
            const std::string address = "https://a.test" + source;
            FUZZ_CHECK(address.find_first_of("\r\n") == std::string::npos);
            FUZZ_CHECK(address.compare(0, 15, "https://a.test/") == 0 && address.find_first_of("/\\", 15) != 15);
        }
        if (hit->line.size() <= 160) {
            const std::optional<FrameMatch> expected = BruteForce(std::string(hit->line));
            FUZZ_CHECK(expected && expected->begin == m.begin && expected->end == m.end &&
                       expected->sourceBegin == m.sourceBegin && expected->sourceEnd == m.sourceEnd);
        }
    }
    FUZZ_CHECK(lines.Work() <= 32 * (page.size() + 1));
    FUZZ_CHECK(found == LinesWithAMatch(page, ends));
}

// The form body as the first version made it: a new text for every value and marker.
OwnedText FirstFormBody(const char* page) {
    const auto between = [page](const char* left, const char* right) {
        return first_version::TextBetween(page, left, right, std::nullopt, true);
    };
    const auto longEnough = [](const OwnedText& sign) { return sign.length() >= 10; };
    const auto blank = [](const OwnedText& text) { return RemoveAllSpaces(text.Get()).empty(); };
    OwnedText signs;
    OwnedText sign = between("var pdownload = '", "';");
    if (!longEnough(sign)) {
        sign = between("var ajaxdata = '", "';");
        if (!longEnough(sign)) {
            if (!blank(sign)) signs = OwnedText::CopyOf(sign.view());
            sign = between("ajaxdata,'sign':'", "','ves'");
            if (!longEnough(sign)) return {};
        }
    }
    const OwnedText websignLeft = ConcatTexts({sign.Get(), "','ves':1,'websign':'"});
    const OwnedText websign = between(websignLeft.Get(), "' },");
    if (blank(signs)) return ConcatTexts({"action=downprocess&sign=", sign.Get(), "&ves=1"});
    return ConcatTexts(
        {"action=downprocess&signs=", signs.Get(), "&&sign=", sign.Get(), "&ves=1&websign=", websign.Get()});
}

bool StandsBetween(const std::string& page, const std::string& left, const std::string& value,
                   const std::string& right) {
    for (std::size_t at = 0; at + left.size() + value.size() + right.size() <= page.size(); ++at) {
        if (MatchesAt(page, at, left, true) && page.compare(at + left.size(), value.size(), value) == 0 &&
            MatchesAt(page, at + left.size() + value.size(), right, true)) {
            return true;
        }
    }
    return false;
}

void CheckSigns(const std::string& page) {
    const SignValues v = ReadSignValues(page.c_str());
    const OwnedText body = FormBody(v);
    CheckTextBlock(body);
    const OwnedText first = FirstFormBody(page.c_str());
    FUZZ_CHECK(v.found ? Str(body) == Str(first) : first.Get() == nullptr);
    if (!v.found) return;
    const std::string sign(v.sign);
    FUZZ_CHECK(sign.size() >= 10);
    FUZZ_CHECK(StandsBetween(page, "var pdownload = '", sign, "';") ||
               StandsBetween(page, "var ajaxdata = '", sign, "';") ||
               StandsBetween(page, "ajaxdata,'sign':'", sign, "','ves'"));
    const std::string websign(v.websign);
    if (!websign.empty()) {
        // The websign's left marker is made from the sign, and a marker's "#引号" stands for a
        // double quote: a sign that holds one (starting at a character) is looked for with it.
        std::string marker = sign + "','ves':1,'websign':'";
        const std::string placeholder = "#引号";
        for (std::size_t at = 0; at < marker.size();) {
            if (marker.compare(at, placeholder.size(), placeholder) == 0) {
                marker.replace(at, placeholder.size(), "\"");
                at += 1;
            } else {
                const auto c = static_cast<unsigned char>(marker[at]);
                at += c >= 0x81 && c <= 0xFE && at + 1 < marker.size() ? 2 : 1;
            }
        }
        FUZZ_CHECK(StandsBetween(page, marker, websign, "' },"));
    }
    if (v.signs.empty()) {
        FUZZ_CHECK(Str(body) == "action=downprocess&sign=" + sign + "&ves=1");
    } else {
        const std::string signs(v.signs);
        FUZZ_CHECK(StandsBetween(page, "var ajaxdata = '", signs, "';"));
        const bool blank = std::all_of(signs.begin(), signs.end(), [](char c) { return c == ' '; });
        const std::string expected =
            blank ? "action=downprocess&sign=" + sign + "&ves=1"
                  : "action=downprocess&signs=" + signs + "&&sign=" + sign + "&ves=1&websign=" + websign;
        // Ideographic spaces (A1 A1) also count as blank: then either form may be right.
        FUZZ_CHECK(Str(body) == expected || signs.find("\xA1\xA1") != std::string::npos);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int step = input.ConsumeIntegralInRange(0, 3);
    std::string page = TakePage(input, 4096);
    if (step == 0) {
        CheckFrameSearch(page, {.carriageReturn = false});
        CheckFrameSearch(page, {.carriageReturn = true});
    } else if (step == 1) {
        for (char& c : page) {
            if (c == '\0') c = ' ';
        }
        CheckSigns(page);
    } else if (step == 2) {
        // A body read as UTF-8 into code page 936, then searched.
        const OwnedText text = PageTextOfBody(OwnedByteSet::CopyOf(page.data(), page.size()));
        CheckTextBlock(text);
        FUZZ_CHECK(text.length() <= 2 * page.size());
        // Read in one pass, as decoding the whole text to UTF-16 and encoding it reads it.
        FUZZ_CHECK(text.view() == Utf8ToCp936(page.c_str()).view());
        CheckFrameSearch(Str(text), {});
    } else {
        const bool parsed = input.ConsumeBool();
        const std::string dom = TakeText(input, 64);
        const std::string url = TakeText(input, 64);
        const OwnedText link = LinkOfAnswer(parsed, dom.c_str(), url.c_str());
        CheckTextBlock(link);
        FUZZ_CHECK(parsed && !dom.empty() ? Str(link) == dom + "/file/" + url : link.empty());
    }
    return 0;
}
