// Throughput of the text commands on large texts, next to the C library's memmem and
// std::string_view::find on the same bytes. Texts of 1 MiB and 16 MiB, plain ASCII or
// mixed with double-byte characters (about half of their bytes); the searched needle
// stands only at the very end, so every search reads the whole text.
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/BenchTexts.h"
#include "runtime/TextCommands.h"

namespace quenlark {
namespace {

using bench::kNeedle;
using bench::kNeedleLower;
using bench::Text;

constexpr std::int64_t kMiB = 1 << 20;
constexpr const char* kReplaced = "share";  // about one word in twelve

void Setup(benchmark::State& state, const std::string& text) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(text.size()));
    state.SetLabel(state.range(1) ? "mixed" : "ascii");
}

void FindTextExact(benchmark::State& state) {
    const std::string& text = Text(state.range(0), state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(FindText(text.c_str(), kNeedle));
    if (FindText(text.c_str(), kNeedle) != static_cast<std::int32_t>(text.size() - std::strlen(kNeedle) + 1))
        state.SkipWithError("wrong position");
    Setup(state, text);
}

void FindTextIgnoringCase(benchmark::State& state) {
    const std::string& text = Text(state.range(0), state.range(1));
    for (auto _ : state) benchmark::DoNotOptimize(FindText(text.c_str(), kNeedleLower, std::nullopt, true));
    if (FindText(text.c_str(), kNeedleLower, std::nullopt, true) < 0) state.SkipWithError("not found");
    Setup(state, text);
}

// The reference: the bytes are known, so neither pays for the length scan FindText makes.
void Memmem(benchmark::State& state) {
    const std::string& text = Text(state.range(0), state.range(1));
    for (auto _ : state) {
        const char* bytes = text.data();
        benchmark::DoNotOptimize(bytes);  // or the pure call leaves the loop
        benchmark::DoNotOptimize(memmem(bytes, text.size(), kNeedle, std::strlen(kNeedle)));
    }
    Setup(state, text);
}

void StringViewFind(benchmark::State& state) {
    const std::string& text = Text(state.range(0), state.range(1));
    for (auto _ : state) {
        std::string_view view(text);
        benchmark::DoNotOptimize(view);
        benchmark::DoNotOptimize(view.find(kNeedle));
    }
    Setup(state, text);
}

void ReplaceSubTextWord(benchmark::State& state) {
    const std::string& text = Text(state.range(0), state.range(1));
    for (auto _ : state) {
        OwnedText replaced = ReplaceSubText(text.c_str(), kReplaced, {.replacement = "SHARED", .caseSensitive = true});
        benchmark::DoNotOptimize(replaced.Get());
    }
    Setup(state, text);
}

void SplitTextLines(benchmark::State& state) {
    const std::string& text = Text(state.range(0), state.range(1));
    for (auto _ : state) {
        OwnedTextArray lines = SplitText(text.c_str(), "\n");
        benchmark::DoNotOptimize(lines.Get());
    }
    Setup(state, text);
}

void Inputs(benchmark::internal::Benchmark* b) {
    b->ArgNames({"bytes", "mixed"})->Unit(benchmark::kMillisecond);
    for (const std::int64_t size : {kMiB, 16 * kMiB}) {
        for (const int mixed : {0, 1}) b->Args({size, mixed});
    }
}

BENCHMARK(FindTextExact)->Apply(Inputs);
BENCHMARK(Memmem)->Apply(Inputs);
BENCHMARK(StringViewFind)->Apply(Inputs);
BENCHMARK(FindTextIgnoringCase)->Apply(Inputs);
BENCHMARK(ReplaceSubTextWord)->Apply(Inputs);
BENCHMARK(SplitTextLines)->Apply(Inputs);

}  // namespace
}  // namespace quenlark

BENCHMARK_MAIN();
