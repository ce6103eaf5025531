// Large downloads from the loopback scripted server, through WebRequest and through a bare
// WinHTTP read loop with the same options (no proxy, the certificate flags, no cookies, one
// session per download) in the same process. Prints the throughputs and their ratio, a line
// fitted to time over size, and the peak private bytes of one download of each size, each
// measured in a fresh process of its own so that memory left in the heap by an earlier
// download cannot hide the next one's. Two labelled cases follow: a body in chunked transfer
// encoding with tiny chunks (time and peak private bytes of one download, in a fresh process:
// what collecting a body costs when every read brings a byte or two), and a response with
// very many Set-Cookie lines (time of one exchange that collects them, and of one that also
// merges them with cookies sent).
//
//   build/windows-WIDTH/wine-run.sh --start          (WIDTH: x64, or x86 where 32-bit programs run)
//   build/windows-WIDTH/wine-run.sh build/windows-WIDTH/bin/download_bench.exe [options]
//   build/windows-WIDTH/wine-run.sh --stop
//
// Options: --rounds N (timed downloads per client and size, default 5), --sizes 1,64,256
// (MiB), --https, --text (printable body, which WebRequest also returns as text), --no-com
// (no apartment on the thread beforehand), --no-memory, --chunked N (chunk bytes of the chunked
// case, default 1; 0 leaves the case out), --chunked-size MiB (its body, default 16),
// --cookies N (Set-Cookie lines of the cookie case, default 100000; 0 leaves it out),
// --sent-cookies N (cookies sent in its merging exchange, default 1000; 0 leaves that one
// out), --only throughput|memory|chunked|cookies (that part alone). The memory runs start this
// program again with --peak BYTES (and --chunk N).
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

#include "http/Cookies.h"
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
    bool throughput = true;
    std::uint32_t chunkBytes = 1;
    std::uint64_t chunkedSize = 16u << 20;
    std::uint32_t cookieLines = 100000;
    std::uint32_t sentCookies = 1000;
    std::uint64_t peakSize = 0;   // non-zero: the child run that measures one download's memory
    std::uint32_t peakChunk = 0;  // in that run: the body comes in chunks of this many bytes
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
    HINTERNET request = exchange.request.Get();
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

bool Queue(ScriptedServer& server, std::uint64_t size, const Options& options, std::uint32_t chunk = 0) {
    std::string generateOptions = options.text ? "text" : "";
    if (chunk) generateOptions += " chunked=" + std::to_string(chunk);
    return server.Generate(200, size, generateOptions);
}

// ---- Memory: one download in a process of its own --------------------------------------

// Prints "PEAK <baseline> <peak> <held> <microseconds>" for one WebRequest download of `size`
// bytes: the private bytes before, the highest value during, and the value after the call
// while the caller still holds its results; then how long the call took.
int PeakChild(const Options& options) {
    ScriptedServer server;
    if (!StartServer(server)) return 2;
    const std::string url = UrlOf(server, options);
    // A small download first, so that the libraries and objects a call loads are in place.
    if (!Queue(server, 4096, options, options.peakChunk) || !LibraryDownload(url, options.text).ok) return 3;
    if (!Queue(server, options.peakSize, options, options.peakChunk)) return 3;

    quenlark::testing_support::PeakPrivateBytes sampler;
    const std::size_t baseline = sampler.Baseline();
    std::size_t held = 0;
    bool ok = false;
    const double start = NowMicros();
    {
        OwnedText status;
        OwnedByteSet bytes;
        const OwnedText result = quenlark::WebRequest({.url = url.c_str(), .status = &status, .responseBytes = &bytes});
        held = quenlark::testing_support::ReadPrivateBytes();
        ok = bytes.size() == options.peakSize;
    }
    const double micros = NowMicros() - start;
    const std::size_t peak = sampler.Stop();
    if (!ok) return 4;
    std::printf("PEAK %zu %zu %zu %.0f\n", baseline, peak, held, micros);
    return 0;
}

struct PeakRun {
    double baseline = 0;  // bytes
    double peak = 0;
    double held = 0;
    double seconds = 0;
};

// Runs this program with --peak and reads its answer line.
bool MeasurePeak(const Options& options, std::uint64_t size, std::uint32_t chunk, PeakRun& run) {
    std::string arguments = "--peak " + std::to_string(size);
    if (chunk) arguments += " --chunk " + std::to_string(chunk);
    if (options.https) arguments += " --https";
    if (options.text) arguments += " --text";
    if (!options.com) arguments += " --no-com";
    const std::string output = quenlark::bench::RunThisProgram(arguments);
    const auto at = output.find("PEAK ");
    if (at == std::string::npos || std::sscanf(output.c_str() + at, "PEAK %lf %lf %lf %lf", &run.baseline, &run.peak,
                                               &run.held, &run.seconds) != 4) {
        std::fprintf(stderr, "memory run for %s failed: %s\n", SizeName(size).c_str(), output.c_str());
        return false;
    }
    run.seconds /= 1e6;
    return true;
}

// ---- Set-Cookie lines -------------------------------------------------------------------

// A response with `lines` Set-Cookie lines of distinct names ("c<n>=v<n>; path=/").
std::string ManyCookiesResponse(std::uint32_t lines) {
    std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n";
    for (std::uint32_t n = 0; n < lines; ++n) {
        response += "Set-Cookie: c" + std::to_string(n) + "=v" + std::to_string(n) + "; path=/\r\n";
    }
    return response + "\r\nok";
}

// `count` cookies as sent: "s<n>=1" and "c<n>=1" by turns, so every other one has a name that
// the response above sets again.
std::string SentCookies(std::uint32_t count) {
    std::string sendCookies;
    for (std::uint32_t n = 0; n < count; ++n) {
        if (n) sendCookies += "; ";
        sendCookies += n % 2 ? 'c' : 's';
        sendCookies += std::to_string(n) + "=1";
    }
    return sendCookies;
}

// One exchange that receives the response above with `sent` cookies sent; its seconds, or a
// negative value when the cookies that came back are not all there. `collected` receives them.
double TimeCookieExchange(ScriptedServer& server, const Options& options, std::uint32_t sent, std::string& collected) {
    if (!server.Script(ManyCookiesResponse(options.cookieLines))) return -1;
    const std::string sendCookies = SentCookies(sent);
    const std::string url = UrlOf(server, options);
    OwnedText status, cookies;
    const double start = NowMicros();
    const OwnedText result = quenlark::WebRequest({.url = url.c_str(),
                                                   .sendCookies = sent ? sendCookies.c_str() : nullptr,
                                                   .returnCookies = &cookies,
                                                   .status = &status});
    const double seconds = (NowMicros() - start) / 1e6;
    // Every line's entry, then the sent ones whose names the response does not set (the "c"
    // names below the line count are replaced by the response's values).
    const std::string& text = collected = cookies.c_str();
    const auto entries = static_cast<std::size_t>(text.empty() ? 0 : std::count(text.begin(), text.end(), ';') + 1);
    std::size_t expected = options.cookieLines;
    for (std::uint32_t n = 0; n < sent; ++n) expected += n % 2 == 0 || n >= options.cookieLines;
    const auto endsWith = [&text](const std::string& tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    const std::string lastLine = std::to_string(options.cookieLines - 1);
    if (std::strcmp(status.c_str(), "200 OK") != 0 || entries != expected || text.rfind("c0=v0; ", 0) != 0 ||
        (!sent && !endsWith("; c" + lastLine + "=v" + lastLine))) {
        std::fprintf(stderr, "cookie exchange: status \"%s\", %zu entries (%zu expected)\n", status.c_str(), entries,
                     expected);
        return -1;
    }
    return seconds;
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

// "--only PART": that part alone.
bool KeepOnly(const std::string& part, Options& options) {
    options.throughput = part == "throughput";
    options.memory = part == "memory";
    if (part != "chunked") options.chunkBytes = 0;
    if (part != "cookies") options.cookieLines = 0;
    return options.throughput || options.memory || options.chunkBytes || options.cookieLines;
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
        } else if (arg == "--chunk" && hasValue) {
            options.peakChunk = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--chunked" && hasValue) {
            options.chunkBytes = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--chunked-size" && hasValue) {
            options.chunkedSize = static_cast<std::uint64_t>(std::strtod(argv[++i], nullptr) * kMiB);
        } else if (arg == "--cookies" && hasValue) {
            options.cookieLines = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--sent-cookies" && hasValue) {
            options.sentCookies = static_cast<std::uint32_t>(std::strtoul(argv[++i], nullptr, 10));
        } else if (arg == "--only" && hasValue) {
            if (!KeepOnly(argv[++i], options)) return false;
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
    return !options.sizes.empty() && options.chunkedSize > 0;
}

bool RunThroughput(const Options& options) {
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
        if (!StartServer(server)) return false;
        Timings timings;
        if (!TimeSize(server, options, size, timings)) return false;
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
    return true;
}

bool RunMemory(const Options& options) {
    std::printf("\nPrivate bytes of one WebRequest download, each in a fresh process (MiB)\n");
    std::printf("%-10s %10s %10s %10s %12s %12s\n", "size", "before", "peak", "growth", "growth/body", "held after");
    for (std::uint64_t size : options.sizes) {
        PeakRun run;
        if (!MeasurePeak(options, size, 0, run)) return false;
        std::printf("%-10s %10.1f %10.1f %10.1f %12.2f %12.1f\n", SizeName(size).c_str(), run.baseline / kMiB,
                    run.peak / kMiB, (run.peak - run.baseline) / kMiB,
                    (run.peak - run.baseline) / static_cast<double>(size), (run.held - run.baseline) / kMiB);
        std::fflush(stdout);
    }
    return true;
}

bool RunChunked(const Options& options) {
    std::printf("\nCase \"chunked\": %s in chunks of %u bytes, one WebRequest download in a fresh process\n",
                SizeName(options.chunkedSize).c_str(), options.chunkBytes);
    PeakRun run;
    if (!MeasurePeak(options, options.chunkedSize, options.chunkBytes, run)) return false;
    const double body = static_cast<double>(options.chunkedSize);
    std::printf("%10s %10s %10s %12s %12s %10s\n", "before MiB", "peak MiB", "growth MiB", "growth/body", "held/body",
                "seconds");
    std::printf("%10.1f %10.1f %10.1f %12.2f %12.2f %10.2f\n", run.baseline / kMiB, run.peak / kMiB,
                (run.peak - run.baseline) / kMiB, (run.peak - run.baseline) / body, (run.held - run.baseline) / body,
                run.seconds);
    std::fflush(stdout);
    return true;
}

bool RunCookies(const Options& options) {
    std::printf("\nCase \"cookies\": one WebRequest whose response has %u Set-Cookie lines\n", options.cookieLines);
    ScriptedServer server;
    if (!StartServer(server)) return false;
    // The same response through the bare client, which leaves the lines to WinHTTP.
    if (!server.Script(ManyCookiesResponse(options.cookieLines))) return false;
    const double bareStart = NowMicros();
    const bool bareOk = quenlark::bench::BareFetch(UrlOf(server, options)) == "ok";
    const double bare = (NowMicros() - bareStart) / 1e6;
    if (!bareOk) {
        std::fprintf(stderr, "bare cookie exchange failed\n");
        return false;
    }
    std::printf("%-48s %10.3f s\n", "bare WinHTTP exchange", bare);
    std::string collected;
    const double plain = TimeCookieExchange(server, options, 0, collected);
    if (plain < 0) return false;
    std::printf("%-48s %10.3f s\n", "collected (no cookies sent)", plain);
    std::fflush(stdout);
    if (options.sentCookies) {
        std::string merged;
        const double seconds = TimeCookieExchange(server, options, options.sentCookies, merged);
        if (seconds < 0) return false;
        // With cookies sent the library leaves WinHTTP's own cookie handling on, which then
        // stores every Set-Cookie line as well.
        const std::string label = "collected, merged with " + std::to_string(options.sentCookies) + " sent";
        std::printf("%-48s %10.3f s\n", label.c_str(), seconds);
    }
    // The merge alone, with as many cookies sent as the response sets.
    const std::string sent = SentCookies(options.cookieLines);
    const double start = NowMicros();
    const OwnedText merged = quenlark::MergeCookies(sent.c_str(), collected.c_str());
    const double seconds = (NowMicros() - start) / 1e6;
    const std::string label = "MergeCookies alone, " + std::to_string(options.cookieLines) + " sent";
    std::printf("%-48s %10.3f s (%zu bytes)\n", label.c_str(), seconds, merged.length());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: download_bench [--rounds N] [--sizes MiB,MiB,...] [--https] [--text] [--no-com] "
                     "[--no-memory] [--chunked N] [--chunked-size MiB] [--cookies N] [--sent-cookies N] "
                     "[--only throughput|memory|chunked|cookies]\n");
        return 2;
    }
    // The library initialises COM on the thread that loads it, so the exports usually run in
    // an apartment that is already there; --no-com shows a thread without one, where every
    // request sets one up and tears it down.
    if (options.com) ::CoInitialize(nullptr);
    if (options.peakSize) return PeakChild(options);

    if (options.throughput && !RunThroughput(options)) return 1;
    if (options.memory && !RunMemory(options)) return 1;
    if (options.chunkBytes && !RunChunked(options)) return 1;
    if (options.cookieLines && !RunCookies(options)) return 1;
    return 0;
}
