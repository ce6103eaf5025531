// Throughput of FindText in the Windows builds, next to a plain byte loop and to the C++
// library's string_view::find on the same 16 MiB texts: the measure behind the choice of
// instruction set for the 32-bit build (whose compiler assumes no SSE2 unless told).
//
//   build/windows-WIDTH/wine-run.sh --start
//   build/windows-WIDTH/wine-run.sh build/windows-WIDTH/bin/search_bench.exe [--rounds N]
// (other options are ignored: scripts/bench hands every benchmark the same ones)
//   build/windows-WIDTH/wine-run.sh --stop
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/BenchTexts.h"
#include "runtime/TextCommands.h"
#include "support/Measure.h"

namespace {

using quenlark::bench::kNeedle;
using quenlark::bench::kNeedleLower;

constexpr std::int64_t kSize = 16 << 20;

// The simplest search: compare at every position.
std::size_t PlainLoop(const std::string& text, const char* needle) {
    const std::size_t length = std::strlen(needle);
    for (std::size_t at = 0; at + length <= text.size(); ++at) {
        if (text[at] == needle[0] && std::memcmp(text.data() + at, needle, length) == 0) return at;
    }
    return std::string::npos;
}

// Median MiB/s of `rounds` runs; exits when a run finds the needle anywhere but at the end.
template <typename Search>
double Throughput(const std::string& text, int rounds, Search search) {
    std::vector<double> rates;
    for (int i = 0; i < rounds; ++i) {
        const double start = quenlark::bench::NowMicros();
        const std::size_t found = search();
        const double seconds = (quenlark::bench::NowMicros() - start) / 1e6;
        if (found != text.size() - std::strlen(kNeedle)) {
            std::fprintf(stderr, "a search found %zu\n", found);
            std::exit(1);
        }
        rates.push_back(static_cast<double>(text.size()) / quenlark::bench::kMiB / seconds);
    }
    return quenlark::bench::Median(rates);
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = 15;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::max(1, std::atoi(argv[i + 1]));
    }
#if defined(__SSE2__)
    const char* instructions = "SSE2";
#else
    const char* instructions = "no SSE2";
#endif
    std::printf("FindText over 16 MiB, %d-bit build, %s; median MiB/s of %d runs\n",
                static_cast<int>(sizeof(void*) * 8), instructions, rounds);
    std::printf("%-8s %12s %14s %12s %18s\n", "text", "FindText", "ignoring case", "plain loop", "string_view::find");
    for (const bool mixed : {false, true}) {
        const std::string& text = quenlark::bench::Text(kSize, mixed);
        const auto position = [&](std::int32_t found) { return static_cast<std::size_t>(found - 1); };
        const double exact =
            Throughput(text, rounds, [&] { return position(quenlark::FindText(text.c_str(), kNeedle)); });
        const double folded = Throughput(
            text, rounds, [&] { return position(quenlark::FindText(text.c_str(), kNeedleLower, std::nullopt, true)); });
        const double plain = Throughput(text, rounds, [&] { return PlainLoop(text, kNeedle); });
        const double library = Throughput(text, rounds, [&] { return std::string_view(text).find(kNeedle); });
        std::printf("%-8s %12.0f %14.0f %12.0f %18.0f\n", mixed ? "mixed" : "ascii", exact, folded, plain, library);
    }
    return 0;
}
