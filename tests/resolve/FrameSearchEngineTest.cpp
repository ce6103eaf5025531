// The frame search against the system's regex engine running the frame pattern over the whole
// page, as the resolver once did: the same first and second sources and the same number of
// matches, on every page of the stand-in service and on generated pages small enough for the
// engine's backtracking.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "resolve/FrameSearch.h"
#include "resolve/ShareAnswers.h"
#include "runtime/Texts.h"
#include "script/RegexObject.h"

namespace quenlark {
namespace {

const char kPattern[] = "name=\".*\" src=\"(.*)\" frameborder=";
constexpr RegexOptions kOptions{.caseSensitive = false, .multiline = false, .global = true};

struct Found {
    std::int32_t count = 0;
    std::string first, second;
    bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Found& f) {
    return out << f.count << " [" << f.first << "] [" << f.second << "]";
}

Found ByEngine(RegexObject& regex, const char* page) {
    EXPECT_TRUE(regex.Create(kPattern, page, kOptions));
    return {regex.MatchCount(), regex.SubMatchText(1, 1).c_str(), regex.SubMatchText(2, 1).c_str()};
}

Found ByLines(const char* page, LineEnds ends) {
    Found found;
    FrameLines lines(page, ends);
    while (const auto hit = lines.Next()) {
        const std::string source(
            hit->line.substr(hit->match.sourceBegin, hit->match.sourceEnd - hit->match.sourceBegin));
        if (++found.count == 1) found.first = source;
        if (found.count == 2) found.second = source;
    }
    return found;
}

class FrameSearchEngine : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(regex_.Create(kPattern, "name=\"\" src=\"\r\" frameborder=", kOptions));
        ends_.carriageReturn = regex_.MatchCount() == 0;
    }
    RegexObject regex_;
    LineEnds ends_;
};

TEST_F(FrameSearchEngine, AgreesOnEveryStandinPage) {
    std::FILE* file = std::fopen(QUENLARK_FRAME_CORPUS, "rb");
    ASSERT_NE(file, nullptr) << QUENLARK_FRAME_CORPUS;
    int pages = 0;
    int withFrames = 0;
    unsigned long size = 0;
    while (std::fscanf(file, "%lu\n", &size) == 1) {
        std::string body(size, '\0');
        ASSERT_EQ(std::fread(body.data(), 1, size, file), size);
        const OwnedText page = PageTextOfBody(OwnedByteSet::CopyOf(body.data(), body.size()));
        const Found engine = ByEngine(regex_, page.Get());
        EXPECT_EQ(ByLines(page.Get(), ends_), engine) << "page " << pages;
        ++pages;
        if (engine.count > 0) ++withFrames;
    }
    std::fclose(file);
    EXPECT_GT(pages, 40);
    EXPECT_GT(withFrames, 20);
}

// Pieces that matter to the pattern, in both letter cases, with line ends, characters whose
// trail byte is a letter (81 6E, B1 41, 81 61), the euro sign.
const std::vector<std::string> kPieces = {
    "name=\"",
    "NAME=\"",
    "nAmE=\"",
    "\" src=\"",
    "\" SRC=\"",
    "\" frameborder=",
    "\" FRAMEBORDER=",
    "\"",
    " ",
    "=",
    "a",
    "/fn?x",
    "\n",
    "\r",
    "\r\n",
    "\x80",
    "\xD6\xD0",
    "\x81n",
    "\xB1"
    "A",
    "\x81"
    "a",
    "src=\"",
    "frameborder=",
    "name=",
    "<iframe ",
    "></iframe>",
};

std::string RandomPage(std::mt19937& random, std::size_t pieces) {
    std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
    std::string page;
    for (std::size_t i = 0; i < pieces; ++i) page += kPieces[pick(random)];
    return page;
}

TEST_F(FrameSearchEngine, AgreesOnGeneratedPages) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<std::size_t> length(1, 40);
    int withFrames = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string page = RandomPage(random, length(random));
        const Found engine = ByEngine(regex_, page.c_str());
        ASSERT_EQ(ByLines(page.c_str(), ends_), engine) << testing::PrintToString(page);
        if (engine.count > 0) ++withFrames;
    }
    EXPECT_GT(withFrames, 300);  // the generator makes matches often enough to compare them
}

}  // namespace
}  // namespace quenlark
