// Large downloads from the loopback scripted server, through WebRequest and through a bare
// WinHTTP read loop with the same options (no proxy, the certificate flags, no cookies, one
// session per download) in the same process. Prints the throughputs and their ratio, a line
// fitted to time over size, and the peak private bytes of one download of each size, each
// measured in a fresh process of its own so that memory left in the heap by an earlier
// download cannot hide the next one's.
//
//   build/windows-WIDTH/wine-run.sh --start          (WIDTH: x64, or x86 where 32-bit programs run)
//   build/windows-WIDTH/wine-run.sh build/windows-WIDTH/bin/download_bench.exe [options]
//   build/windows-WIDTH/wine-run.sh --stop
//
// Options: --rounds N (timed downloads per client and size, default 5), --sizes 1,64,256
// (MiB), --https, --text (printable body, which WebRequest also returns as text), --no-com
// (no apartment on the thread beforehand), --no-memory. The memory runs start this program
// again with --peak BYTES.
#include <objbase.h>
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http/WebRequest.h"
#include "http/support/ScriptedServer.h"
#include "support/BareWinHttp.h"
#include "support/Measure.h"
#include "support/ProcessUsage.h"

namespace {

using quenlark::OwnedByteSet;
using quenlark::OwnedText;
using quenlark::bench::kMiB;
using quenlark::bench::NowMicros;
using quenlark::testing_support::ScriptedServer;

struct Options {
    int rounds = 5;
    std::vector<std::uint64_t> sizes{1u << 20, 64u << 20, 256u << 20};
    bool https = false;
    bool text = false;
    bool memory = true;
    bool com = true;
    std::uint64_t peakSize = 0;  // non-zero: the child run that measures one download's memory
};

struct Download {
    bool ok = false;
    std::uint64_t bytes = 0;
};

// The announced length of the response, when it has a usable one.
std::optional<std::uint64_t> ContentLength(HINTERNET request) {
    wchar_t text[32] = {};
    DWORD size = sizeof text;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, text, &size,
                               WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    wchar_t* end = nullptr;
    const unsigned long long length = std::wcstoull(text, &end, 10);
    if (end == text || *end) return std::nullopt;
    return length;
}

// The bare client: reads what the server announces, each time, as WebRequest does. With
// `keep` it holds the body as a careful program would, in one block sized from the announced
// length (so no byte is touched twice); without, it reads into one small buffer again and again,
// which measures the transport alone.
Download BareDownload(const std::string& url, bool keep) {
    quenlark::bench::BareExchange exchange;
    if (!quenlark::bench::OpenBareExchange(url, "GET", {}, {}, false, exchange)) return {};
    HINTERNET request = exchange.request.get();
    std::uint64_t capacity = 0;
    if (keep) {
        const std::optional<std::uint64_t> announced = ContentLength(request);
        if (!announced) return {};  // the scripted server always announces it
        capacity = *announced;
    }
    std::unique_ptr<char[]> body(keep ? new char[capacity] : nullptr);
    static std::vector<char> scratch;  // touched once: fresh pages are costly
    std::uint64_t total = 0;
    for (;;) {
        DWORD available = 0;
        if (!::WinHttpQueryDataAvailable(request, &available) || available == 0) break;
        if (keep && total + available > capacity) return {};
        if (!keep && available > scratch.size()) scratch.resize(available);
        char* into = keep ? body.get() + total : scratch.data();
        DWORD read = 0;
        if (!::WinHttpReadData(request, into, available, &read)) return {};
        total += read;
    }
    return {true, total};
}

Download LibraryDownload(const std::string& url, bool text) {
    OwnedText status;
    OwnedByteSet bytes;
    const OwnedText result = quenlark::WebRequest({.url = url.c_str(), .status = &status, .responseBytes = &bytes});
    // A printable body must also come back whole as the result text.
    const bool ok =
        std::strcmp(status.c_str(), "200 Generated") == 0 && (!text || std::strlen(result.c_str()) == bytes.size());
    return {ok, bytes.size()};
}

std::string SizeName(std::uint64_t size) {
    char name[32];
    if (size >= (1u << 20))
        std::snprintf(name, sizeof name, "%g MiB", static_cast<double>(size) / kMiB);
    else
        std::snprintf(name, sizeof name, "%llu B", static_cast<unsigned long long>(size));
    return name;
}

bool StartServer(ScriptedServer& server) {
    if (server.Ready()) return true;
    std::fprintf(stderr, "scripted server: %s\n", server.StartError().c_str());
    return false;
}

std::string UrlOf(const ScriptedServer& server, const Options& options) {
    return options.https ? server.HttpsUrl("/download") : server.HttpUrl("/download");
}

bool Queue(ScriptedServer& server, std::uint64_t size, const Options& options) {
    return server.Generate(200, size, options.text ? "text" : "");
}

// ---- Memory: one download in a process of its own --------------------------------------

// Prints "PEAK <baseline> <peak> <held>" for one WebRequest download of `size` bytes: the
// private bytes before, the highest value during, and the value after the call while the
// caller still holds its results.
int PeakChild(const Options& options) {
    ScriptedServer server;
    if (!StartServer(server)) return 2;
    const std::string url = UrlOf(server, options);
    // A small download first, so that the libraries and objects a call loads are in place.
    if (!Queue(server, 4096, options) || !LibraryDownload(url, options.text).ok) return 3;
    if (!Queue(server, options.peakSize, options)) return 3;

    quenlark::testing_support::PeakPrivateBytes sampler;
    const std::size_t baseline = sampler.Baseline();
    std::size_t held = 0;
    bool ok = false;
    {
        OwnedText status;
        OwnedByteSet bytes;
        const OwnedText result = quenlark::WebRequest({.url = url.c_str(), .status = &status, .responseBytes = &bytes});
        held = quenlark::testing_support::ReadPrivateBytes();
        ok = bytes.size() == options.peakSize;
    }
    const std::size_t peak = sampler.Stop();
    if (!ok) return 4;
    std::printf("PEAK %zu %zu %zu\n", baseline, peak, held);
    return 0;
}

// Runs this program with --peak and reads its answer line.
bool MeasurePeak(const Options& options, std::uint64_t size, std::size_t& baseline, std::size_t& peak,
                 std::size_t& held) {
    std::string arguments = "--peak " + std::to_string(size);
    if (options.https) arguments += " --https";
    if (options.text) arguments += " --text";
    if (!options.com) arguments += " --no-com";
    const std::string output = quenlark::bench::RunThisProgram(arguments);
    unsigned long long values[3];
    const auto at = output.find("PEAK ");
    if (at == std::string::npos ||
        std::sscanf(output.c_str() + at, "PEAK %llu %llu %llu", &values[0], &values[1], &values[2]) != 3) {
        std::fprintf(stderr, "memory run for %s failed: %s\n", SizeName(size).c_str(), output.c_str());
        return false;
    }
    baseline = values[0];
    peak = values[1];
    held = values[2];
    return true;
}

// ---- Throughput -------------------------------------------------------------------------

enum Client { kBareKept, kBareDiscarded, kWebRequest, kClients };
const char* const kClientNames[kClients] = {"bare, kept", "bare, discarded", "WebRequest"};

// Seconds per download, per client; entry i of each is from the same round.
using Timings = std::vector<double>[kClients];

// Downloads of one size, the clients taking turns (and turns at going first) so that a drift of
// the machine's load touches them alike. One untimed round goes first.
bool TimeSize(ScriptedServer& server, const Options& options, std::uint64_t size, Timings& timings) {
    const std::string url = UrlOf(server, options);
    for (int round = -1; round < options.rounds; ++round) {
        for (int turn = 0; turn < kClients; ++turn) {
            const auto client = static_cast<Client>((turn + round + 1) % kClients);
            if (!Queue(server, size, options)) return false;
            const double start = NowMicros();
            const Download got =
                client == kWebRequest ? LibraryDownload(url, options.text) : BareDownload(url, client == kBareKept);
            const double seconds = (NowMicros() - start) / 1e6;
            if (!got.ok || got.bytes != size) {
                std::fprintf(stderr, "%s download of %s failed (%llu bytes)\n", kClientNames[client],
                             SizeName(size).c_str(), static_cast<unsigned long long>(got.bytes));
                return false;
            }
            if (round >= 0) timings[client].push_back(seconds);
        }
    }
    return true;
}

// The median over the rounds of WebRequest's throughput over a bare client's, each ratio
// taken within one round.
double RatioTo(const Timings& timings, Client bare) {
    std::vector<double> ratios;
    for (std::size_t i = 0; i < timings[bare].size(); ++i) ratios.push_back(timings[bare][i] / timings[kWebRequest][i]);
    return quenlark::bench::Median(ratios);
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--rounds" && hasValue) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--sizes" && hasValue) {
            options.sizes.clear();
            for (char* list = argv[++i]; *list;) {
                char* end = nullptr;
                const double mib = std::strtod(list, &end);
                if (end == list || mib <= 0) return false;
                options.sizes.push_back(static_cast<std::uint64_t>(mib * kMiB));
                list = *end == ',' ? end + 1 : end;
            }
        } else if (arg == "--peak" && hasValue) {
            options.peakSize = std::strtoull(argv[++i], nullptr, 10);
        } else if (arg == "--https") {
            options.https = true;
        } else if (arg == "--text") {
            options.text = true;
        } else if (arg == "--no-memory") {
            options.memory = false;
        } else if (arg == "--no-com") {
            options.com = false;
        } else {
            return false;
        }
    }
    return !options.sizes.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(
            stderr,
            "usage: download_bench [--rounds N] [--sizes MiB,MiB,...] [--https] [--text] [--no-com] [--no-memory]\n");
        return 2;
    }
    // The library initialises COM on the thread that loads it, so the exports usually run in
    // an apartment that is already there; --no-com shows a thread without one, where every
    // request sets one up and tears it down.
    if (options.com) ::CoInitialize(nullptr);
    if (options.peakSize) return PeakChild(options);

    std::printf(
        "Downloads from loopback %s, %s body, COM %s on the thread, %d timed rounds per client and size "
        "(medians)\n\n",
        options.https ? "https" : "http", options.text ? "printable" : "binary",
        options.com ? "initialised" : "not initialised", options.rounds);
    std::printf("%-9s %21s %21s %21s %9s %9s\n", "", "bare, kept", "bare, discarded", "WebRequest", "ratio to",
                "ratio to");
    std::printf("%-9s %10s %10s %10s %10s %10s %10s %9s %9s\n", "size", "ms", "MiB/s", "ms", "MiB/s", "ms", "MiB/s",
                "kept", "discarded");
    std::vector<double> mib, medianMs[kClients];  // per size
    for (std::uint64_t size : options.sizes) {
        // A server per size: its lifetime is bounded, and the largest sizes take a while.
        ScriptedServer server;
        if (!StartServer(server)) return 1;
        Timings timings;
        if (!TimeSize(server, options, size, timings)) return 1;
        const double megabytes = static_cast<double>(size) / kMiB;
        mib.push_back(megabytes);
        std::printf("%-9s", SizeName(size).c_str());
        for (int client = 0; client < kClients; ++client) {
            const double seconds = quenlark::bench::Median(timings[client]);
            std::printf(" %10.1f %10.1f", seconds * 1e3, megabytes / seconds);
            medianMs[client].push_back(seconds * 1e3);
        }
        std::printf(" %9.3f %9.3f\n", RatioTo(timings, kBareKept), RatioTo(timings, kBareDiscarded));
        std::fflush(stdout);
    }

    if (options.sizes.size() > 1) {
        // Over the medians: one download slowed by the machine's other work would skew a fit
        // over every download.
        std::printf("\nTime over size, least squares over the medians: t = fixed + per-MiB x size\n");
        std::printf("%-16s %10s %11s %9s   ms per MiB at each size\n", "client", "fixed ms", "ms per MiB", "R^2");
        for (int client = 0; client < kClients; ++client) {
            const auto fit = quenlark::bench::FitLine(mib, medianMs[client]);
            std::printf("%-16s %10.2f %11.3f %9.5f  ", kClientNames[client], fit.intercept, fit.slope, fit.r2);
            for (std::size_t i = 0; i < mib.size(); ++i) std::printf(" %8.2f", medianMs[client][i] / mib[i]);
            std::printf("\n");
        }
    }

    if (options.memory) {
        std::printf("\nPrivate bytes of one WebRequest download, each in a fresh process (MiB)\n");
        std::printf("%-10s %10s %10s %10s %12s %12s\n", "size", "before", "peak", "growth", "growth/body",
                    "held after");
        for (std::uint64_t size : options.sizes) {
            std::size_t baseline = 0, peak = 0, held = 0;
            if (!MeasurePeak(options, size, baseline, peak, held)) return 1;
            const double growth = static_cast<double>(peak) - static_cast<double>(baseline);
            std::printf("%-10s %10.1f %10.1f %10.1f %12.2f %12.1f\n", SizeName(size).c_str(), baseline / kMiB,
                        peak / kMiB, growth / kMiB, growth / static_cast<double>(size),
                        (static_cast<double>(held) - static_cast<double>(baseline)) / kMiB);
            std::fflush(stdout);
        }
    }
    return 0;
}
