// The two exports of the built Quenlark.dll, loaded and called by name as a host does:
//   location-large   Quenlark_Location against a 200 answer with a 1 GiB body (the scripted
//                    server): time, private bytes and the bytes the server got out.
//   resolve          HttpGetUrl against the stand-in service, and the same three exchanges by a
//                    bare WinHTTP client in the same process; then each step on its own.
//   soak             alternating calls of both exports against the stand-in, with private
//                    bytes and open handles along the way, and a control run of the platform's
//                    part of as many resolutions in a fresh process (soak-control).
//
//   build/windows-WIDTH/wine-run.sh --start          (WIDTH: x64, or x86 where 32-bit programs run)
//   tools/standin/standin.py start --port P --lifetime 7200   (resolve, soak; P: the port of
//                                                              QUENLARK_SERVICE_ORIGIN)
//   build/windows-WIDTH/wine-run.sh build/windows-WIDTH/bin/export_bench.exe SECTION... [options]
//   tools/standin/standin.py stop --port P
//   build/windows-WIDTH/wine-run.sh --stop
//
// Options: --rounds N (resolve: timed rounds per client and step, default 30), --batch N
// (resolve: calls per client in each paired round, default 10), --in-blocks (resolve: each
// round's calls of one client in a block, then the other's, instead of taking turns), --calls N
// (soak: calls in all, default 10000), --share URL (a share link of the stand-in whose frame
// carries "var pdownload"; default its /s/pdownload).
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "http/RequestHeaders.h"
#include "http/WebRequest.h"
#include "http/support/ScriptedServer.h"
#include "resolve/FrameSearch.h"
#include "resolve/ServiceConstants.h"
#include "resolve/ShareAnswers.h"
#include "resolve/ShareLinkResolver.h"
#include "runtime/Events.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "support/BareWinHttp.h"
#include "support/Measure.h"
#include "support/ProcessUsage.h"
#include "text/NameValueList.h"

namespace {

using quenlark::bench::BareFetch;
using quenlark::bench::kMiB;
using quenlark::bench::NowMicros;
using quenlark::testing_support::PeakPrivateBytes;
using quenlark::testing_support::ReadProcessUsage;
using quenlark::testing_support::ScriptedServer;

using ExportFn = char*(__stdcall*)(const char*);

struct Library {
    HMODULE module = nullptr;
    ExportFn location = nullptr;
    ExportFn resolve = nullptr;

    bool Load() {
        module = ::LoadLibraryA("Quenlark.dll");  // beside this program
        if (!module) return false;
        location = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module, "Quenlark_Location")));
        resolve = reinterpret_cast<ExportFn>(reinterpret_cast<void*>(::GetProcAddress(module, "HttpGetUrl")));
        return location && resolve;
    }
};

std::string Text(const char* result) { return result ? result : ""; }

// ---- Quenlark_Location against a large file ---------------------------------------------

int LocationLarge(Library& library) {
    constexpr std::uint64_t kBody = std::uint64_t{1} << 30;
    ScriptedServer server;
    if (!server.Ready()) {
        std::fprintf(stderr, "scripted server: %s\n", server.StartError().c_str());
        return 1;
    }
    // A first probe of a redirect, so that what a call loads is in place before measuring.
    server.Script("HTTP/1.1 302 Found\r\nLocation: /warm\r\nContent-Length: 0\r\n\r\n");
    if (Text(library.location(server.HttpUrl("/warm-up").c_str())) != "/warm") {
        std::fprintf(stderr, "warm-up probe failed\n");
        return 1;
    }
    server.Reset();
    { PeakPrivateBytes sampler; }  // the first sampling thread leaves memory behind; not the call's

    std::printf("Quenlark_Location against a 200 answer with a %.0f MiB body (http, loopback)\n", kBody / kMiB);
    std::printf("Private bytes before and after the call; growth: the peak during it over the value at its start\n");
    std::printf("%-8s %10s %12s %12s %12s %14s %10s\n", "round", "ms", "before MiB", "growth MiB", "after MiB",
                "server sent", "result");
    for (int round = 1; round <= 3; ++round) {
        server.Reset();
        if (!server.Generate(200, kBody)) return 1;
        const std::string url = server.HttpUrl("/big/file.bin");
        const std::size_t before = ReadProcessUsage().privateBytes;
        PeakPrivateBytes sampler;
        const double start = NowMicros();
        const std::string result = Text(library.location(url.c_str()));
        const double ms = (NowMicros() - start) / 1e3;
        const std::size_t peak = sampler.Stop();
        const std::size_t after = ReadProcessUsage().privateBytes;
        // The server counts what it got out once the client has gone away.
        std::vector<std::uint64_t> sent;
        for (int i = 0; i < 400 && sent.empty(); ++i) {
            ::Sleep(25);
            sent = server.SentBytes();
        }
        const double sentMiB = sent.empty() ? -1 : static_cast<double>(sent[0]) / kMiB;
        std::printf("%-8d %10.1f %12.1f %12.1f %12.1f %10.1f MiB %10s\n", round, ms, before / kMiB,
                    (static_cast<double>(peak) - static_cast<double>(sampler.Baseline())) / kMiB, after / kMiB, sentMiB,
                    result.empty() ? "(empty)" : result.c_str());
        std::fflush(stdout);
    }
    return 0;
}

// ---- HttpGetUrl against a bare client ----------------------------------------------------

std::string Between(const std::string& text, const std::string& left, const std::string& right) {
    const auto start = text.find(left);
    if (start == std::string::npos) return {};
    const auto end = text.find(right, start + left.size());
    return end == std::string::npos ? std::string() : text.substr(start + left.size(), end - start - left.size());
}

std::string Unslash(std::string text) {
    for (std::size_t at; (at = text.find("\\/")) != std::string::npos;) text.erase(at, 1);
    return text;
}

// The resolver's two pauses around the frame page (5 ms each), slept the plain way.
constexpr DWORD kPauseMs = 5;

// The request headers of the library's exchanges, sent by the bare client too: both clients
// make the same exchanges, and only how they make them differs. The library adds these lines to
// the User-Agent (and Referer) line it is given, in this order; Matches checks it.
const std::string kAgentLine = std::string("User-Agent: ") + quenlark::kDefaultUserAgent + "\r\n";
const std::string kAcceptLines =
    "Accept: text/html, application/xhtml+xml, */*\r\nAccept-Encoding: gbk, GB2312\r\nAccept-Language: zh-cn\r\n";
const std::string kFormTypeLine = "Content-Type: application/x-www-form-urlencoded\r\n";
const std::string kCacheLine = "Cache-Control: no-cache\r\n";

std::string GetHeaders(const std::string& lines) { return lines + kAcceptLines + kCacheLine; }
std::string PostHeaders(const std::string& lines) { return lines + kAcceptLines + kFormTypeLine + kCacheLine; }

// Whether `bare` is the header block that the library makes of `lines` for `method`.
bool Matches(const std::string& bare, const std::string& lines, std::int32_t method) {
    const quenlark::OwnedText block = quenlark::BuildRequestHeaders(lines.c_str(), method, nullptr, true, true);
    return bare == std::string(block.c_str()) + "\r\n";
}

// The three exchanges of a share link whose frame carries "var pdownload", with the same two
// pauses, by the plainest means: string search instead of the regex and script objects.
std::string BareResolve(const std::string& shareUrl, std::string* answerOut = nullptr) {
    const std::string page = BareFetch(shareUrl, "GET", GetHeaders(kAgentLine), {}, true);
    const std::string frameUrl =
        std::string(quenlark::kServiceOrigin) + Between(page, " src=\"/fn?", "\"").insert(0, "/fn?");
    ::Sleep(kPauseMs);
    const std::string refererLines = kAgentLine + "Referer: " + frameUrl + "\r\n";
    const std::string frame = BareFetch(frameUrl, "GET", GetHeaders(refererLines));
    ::Sleep(kPauseMs);
    const std::string sign = Between(frame, "var pdownload = '", "';");
    if (sign.empty()) return {};
    const std::string answer = BareFetch(std::string(quenlark::kServiceOrigin) + "/ajaxm.php", "POST",
                                         PostHeaders(refererLines), "action=downprocess&sign=" + sign + "&ves=1");
    if (answerOut) *answerOut = answer;
    const std::string dom = Unslash(Between(answer, "\"dom\":\"", "\""));
    const std::string url = Unslash(Between(answer, "\"url\":\"", "\""));
    return dom.empty() || url.empty() ? std::string() : dom + "/file/" + url;
}

bool IsDirectLink(const std::string& link) {
    return link.rfind(std::string(quenlark::kServiceOrigin) + "/file/", 0) == 0 && link.size() > 40;
}

// Median milliseconds of `rounds` runs of `step`, after one untimed run.
template <typename Step>
double TimeStep(int rounds, Step step) {
    step();
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMicros();
        step();
        ms.push_back((NowMicros() - start) / 1e3);
    }
    return quenlark::bench::Median(ms);
}

// The library's own work on the pages, step by step, each as the resolver does it, with its rate
// beside a plain search (std::string_view::find, the C library's memchr and memcmp) through the
// same bytes for a needle that is not there: what reading the bytes once costs.
void TextSteps(const std::string& page, const std::string& frame, const std::string& answer, int rounds) {
    using quenlark::OwnedByteSet;
    using quenlark::OwnedText;
    quenlark::RegexObject regex;
    quenlark::RegexObject probe;
    const OwnedText page1 = quenlark::PageTextOfBody(OwnedByteSet::CopyOf(page.data(), page.size()));
    if (!quenlark::MakeFrameEngine(regex)) std::fprintf(stderr, "the frame pattern's engine cannot be made\n");
    const OwnedText page2 = quenlark::PageTextOfBody(OwnedByteSet::CopyOf(frame.data(), frame.size()));
    struct Row {
        const char* step;
        std::size_t bytes;
        double ms;
        double plainMs;
    };
    const auto plain = [&](const std::string_view bytes) {
        return TimeStep(rounds * 10, [&] {
            volatile std::size_t at = bytes.find("frameborder=\"9\" data-none");
            (void)at;
        });
    };
    const Row rows[] = {
        {"share page: text (UTF-8 to 936)", page.size(),
         TimeStep(rounds * 10, [&] { (void)quenlark::PageTextOfBody(OwnedByteSet::CopyOf(page.data(), page.size())); }),
         plain(page)},
        // The frame pattern's engine: a cost of the call, the same for any page.
        {"frame pattern's engine made", page1.length(),
         TimeStep(rounds * 10, [&] { (void)quenlark::MakeFrameEngine(probe); }), plain(page1.view())},
        {"share page: frame search", page1.length(),
         TimeStep(rounds * 10, [&] { (void)quenlark::FrameSourceOfPage(regex, page1.Get()); }), plain(page1.view())},
        {"  (its line scan to the page's end)", page1.length(),
         TimeStep(rounds * 10,
                  [&] {
                      quenlark::FrameLines lines(page1.view(), {});
                      while (lines.Next()) {
                      }
                  }),
         plain(page1.view())},
        {"frame page: text (UTF-8 to 936)", frame.size(),
         TimeStep(rounds * 10,
                  [&] { (void)quenlark::PageTextOfBody(OwnedByteSet::CopyOf(frame.data(), frame.size())); }),
         plain(frame)},
        {"frame page: marker search", page2.length(),
         TimeStep(rounds * 10, [&] { (void)quenlark::ReadSignValues(page2.Get()); }), plain(page2.view())},
        {"answer: JSON (a new object)", answer.size(),
         TimeStep(rounds,
                  [&] {
                      quenlark::JsonObject json;
                      json.Parse(answer.c_str());
                      (void)json.GetText("dom");
                      (void)json.GetText("url");
                  }),
         plain(answer)},
        {"  of which the JSON engine made", answer.size(), TimeStep(rounds, [&] { quenlark::JsonObject json; }),
         plain(answer)},
    };
    std::printf("\nThe library's page work (median ms; MB/s of the page's bytes; the plain search through them)\n");
    std::printf("%-34s %9s %9s %10s %12s %7s\n", "step", "bytes", "ms", "MB/s", "plain MB/s", "share");
    double total = 0;
    for (const Row& row : rows) {
        const double rate = static_cast<double>(row.bytes) / 1e3 / row.ms;
        const double plainRate = static_cast<double>(row.bytes) / 1e3 / row.plainMs;
        std::printf("%-34s %9zu %9.3f %10.1f %12.1f %7.2f\n", row.step, row.bytes, row.ms, rate, plainRate,
                    rate / plainRate);
        if (row.step[0] != ' ') total += row.ms;  // an indented row is a part of the one above
    }
    std::printf("%-34s %9s %9.3f\n", "sum", "", total);
}

// Where the difference goes: each step of a resolution alone, made by the library's own parts
// as the resolver makes it, beside what the bare client does for it.
void Breakdown(const std::string& shareUrl, int rounds) {
    using quenlark::OwnedByteSet;
    using quenlark::OwnedText;
    const std::string shareHeaders = GetHeaders(kAgentLine);
    const std::string page = BareFetch(shareUrl, "GET", shareHeaders, {}, true);
    const std::string frameUrl = std::string(quenlark::kServiceOrigin) + "/fn?" + Between(page, " src=\"/fn?", "\"");
    const std::string refererLines = kAgentLine + "Referer: " + frameUrl + "\r\n";
    const std::string frameHeaders = GetHeaders(refererLines);
    const std::string frame = BareFetch(frameUrl, "GET", frameHeaders);
    const std::string form = "action=downprocess&sign=" + Between(frame, "var pdownload = '", "';") + "&ves=1";
    const std::string ajax = std::string(quenlark::kServiceOrigin) + "/ajaxm.php";
    const std::string answerHeaders = PostHeaders(refererLines);
    const std::string answer = BareFetch(ajax, "POST", answerHeaders, form);

    quenlark::NameValueList headers;
    headers.Add("User-Agent", quenlark::kDefaultUserAgent);
    const OwnedText agentBlock = headers.ToHeaderText();
    headers.Add("Referer", frameUrl.c_str());
    const OwnedText refererBlock = headers.ToHeaderText();
    const auto fetch = [](quenlark::WebRequestParams params) {
        OwnedByteSet body;
        params.responseBytes = &body;
        params.decodeText = false;  // as the resolver asks: it reads the bytes only
        // and with its limits, so on a pool thread under the exchange's deadline
        const quenlark::ResolverOptions resolver;
        params.limits = {.maxBodyBytes = resolver.maxBodyBytes, .maxTotalMs = resolver.maxExchangeMs};
        (void)quenlark::WebRequest(params);
    };

    struct Row {
        const char* step;
        double bare;
        double library;
    };
    const Row rows[] = {
        {"share page (GET)", TimeStep(rounds, [&] { BareFetch(shareUrl, "GET", shareHeaders, {}, true); }),
         TimeStep(rounds,
                  [&] { fetch({.url = shareUrl.c_str(), .requestHeaders = agentBlock.Get(), .noRedirect = true}); })},
        {"frame page (GET)", TimeStep(rounds, [&] { BareFetch(frameUrl, "GET", frameHeaders); }),
         TimeStep(rounds, [&] { fetch({.url = frameUrl.c_str(), .requestHeaders = refererBlock.Get()}); })},
        {"download process (POST)", TimeStep(rounds, [&] { BareFetch(ajax, "POST", answerHeaders, form); }),
         TimeStep(rounds,
                  [&] {
                      fetch({.url = ajax.c_str(),
                             .method = quenlark::kMethodPost,
                             .postText = form.c_str(),
                             .requestHeaders = refererBlock.Get()});
                  })},
        // With the work the resolver does in them (the answer's JSON object made, the frame page
        // read): a pause must still end 5 ms after it began.
        {"two pauses of 5 ms",
         TimeStep(rounds,
                  [] {
                      ::Sleep(kPauseMs);
                      ::Sleep(kPauseMs);
                  }),
         TimeStep(rounds,
                  [&] {
                      std::optional<quenlark::JsonObject> json;
                      quenlark::DelayWithEvents(kPauseMs, [&] { json.emplace(); });
                      quenlark::DelayWithEvents(kPauseMs, [&] {
                          const OwnedText text =
                              quenlark::PageTextOfBody(OwnedByteSet::CopyOf(frame.data(), frame.size()));
                          (void)quenlark::ReadSignValues(text.Get());
                      });
                  })},
    };
    std::printf("\nThe steps one by one (median ms of %d runs each; the library's steps made by its own parts)\n",
                rounds);
    std::printf("%-26s %10s %10s %10s\n", "step", "bare", "library", "extra");
    double bare = 0, library = 0;
    for (const Row& row : rows) {
        std::printf("%-26s %10.2f %10.2f %10.2f\n", row.step, row.bare, row.library, row.library - row.bare);
        bare += row.bare;
        library += row.library;
    }
    std::printf("%-26s %10.2f %10.2f %10.2f\n", "sum", bare, library, library - bare);
    TextSteps(page, frame, answer, rounds);
}

// The response headers of one GET without redirection, the body left unread; with the
// probe's request headers.
std::string BareHeaders(const std::string& url) {
    static const std::string headers = GetHeaders(kAgentLine);
    quenlark::bench::BareExchange exchange;
    if (!quenlark::bench::OpenBareExchange(url, "GET", headers, {}, true, exchange)) return {};
    DWORD size = 0;
    ::WinHttpQueryHeaders(exchange.request.Get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
    std::wstring wide(size / sizeof(wchar_t), L'\0');
    if (size == 0 ||
        !::WinHttpQueryHeaders(exchange.request.Get(), WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                               wide.data(), &size, WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    return std::string(wide.begin(), wide.begin() + size / sizeof(wchar_t));  // ASCII headers
}

// How a round's calls are ordered.
enum class Order {
    // Library and bare calls take turns, each pair in the order the other pair had: a slow spell
    // of the stand-in or the scheduler (they come and go over tens of milliseconds) then lands
    // on both clients alike.
    Interleaved,
    // All of a round's calls of one client, then all of the other's (which one first alternates
    // by round): a slow spell falls on one client's block and decides the round.
    InBlocks,
};

// Rounds of `batch` library calls and as many of the bare client's; prints the medians per call
// and the median of the rounds' ratios. False when either gives a result that `valid` refuses.
template <typename LibraryCall, typename BareCall, typename Valid>
bool PairedRounds(const char* name, int rounds, int batch, Order order, LibraryCall libraryCall, BareCall bareCall,
                  Valid valid) {
    std::vector<double> library_ms, bare_ms, ratios;
    for (int round = 0; round < rounds; ++round) {
        double micros[2] = {0, 0};  // [bare]
        for (int step = 0; step < 2 * batch; ++step) {
            // Interleaved: bare, library, library, bare, ... In blocks: the first half one client.
            const int unit = order == Order::Interleaved ? step : step / batch;
            const bool bare = (unit % 2 == 0) == ((order == Order::Interleaved ? step / 2 : round) % 2 == 0);
            const double start = NowMicros();
            const std::string result = bare ? bareCall() : libraryCall();
            micros[bare] += NowMicros() - start;
            if (!valid(result)) {
                std::fprintf(stderr, "round %d: %s gave \"%s\"\n", round, bare ? "bare" : name, result.c_str());
                return false;
            }
        }
        library_ms.push_back(micros[0] / 1e3 / batch);
        bare_ms.push_back(micros[1] / 1e3 / batch);
        ratios.push_back(micros[0] / micros[1]);
    }
    const auto spread = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return std::pair{v.front(), v[v.size() * 9 / 10]};
    };
    std::printf("%s against the bare client, %d paired rounds of %d calls each, %s\n", name, rounds, batch,
                order == Order::Interleaved ? "the clients' calls taking turns" : "each client's calls in a block");
    std::printf("%-22s %10s %10s %10s\n", "client", "median ms", "min ms", "p90 ms");
    for (const auto& [client, values] : {std::pair{name, &library_ms}, std::pair{"bare WinHTTP", &bare_ms}}) {
        const auto [low, p90] = spread(*values);
        std::printf("%-22s %10.1f %10.1f %10.1f\n", client, quenlark::bench::Median(*values), low, p90);
    }
    const auto [lowRatio, p90Ratio] = spread(ratios);
    std::printf("time ratio %s / bare: median %.3f (rounds %.3f to p90 %.3f)\n\n", name,
                quenlark::bench::Median(ratios), lowRatio, p90Ratio);
    return true;
}

int Resolve(Library& library, const std::string& shareUrl, int rounds, int batch, Order order) {
    const std::string someReferer = kAgentLine + "Referer: " + quenlark::kServiceOrigin + "/fn?x\r\n";
    if (!Matches(GetHeaders(kAgentLine), kAgentLine, quenlark::kMethodGet) ||
        !Matches(GetHeaders(someReferer), someReferer, quenlark::kMethodGet) ||
        !Matches(PostHeaders(someReferer), someReferer, quenlark::kMethodPost)) {
        std::fprintf(stderr, "the bare client's request headers are no longer the library's: see GetHeaders\n");
        return 1;
    }
    // Warm-up, and a check that both reach a link.
    for (int i = 0; i < 3; ++i) {
        const std::string link = Text(library.resolve(shareUrl.c_str()));
        const std::string bare = BareResolve(shareUrl);
        if (!IsDirectLink(link) || !IsDirectLink(bare)) {
            std::fprintf(stderr, "no direct link from %s: HttpGetUrl \"%s\", bare \"%s\" (is the stand-in up at %s?)\n",
                         shareUrl.c_str(), link.c_str(), bare.c_str(), quenlark::kServiceOrigin);
            return 1;
        }
    }
    if (!PairedRounds(
            "HttpGetUrl", rounds, batch, order, [&] { return Text(library.resolve(shareUrl.c_str())); },
            [&] { return BareResolve(shareUrl); }, IsDirectLink)) {
        return 1;
    }
    // The location probe of the direct link: one exchange without redirection, its Location line.
    const std::string link = BareResolve(shareUrl);
    const auto isFileAddress = [](const std::string& target) { return target.find("/dl/") != std::string::npos; };
    if (!PairedRounds(
            "Quenlark_Location", rounds, batch, order, [&] { return Text(library.location(link.c_str())); },
            [&] { return Between(BareHeaders(link), "\r\nLocation: ", "\r\n"); }, isFileAddress)) {
        return 1;
    }
    Breakdown(shareUrl, rounds);
    return 0;
}

// ---- Soak ----------------------------------------------------------------------------------

struct Usage {
    double privateMiB;
    long long handles;
};

Usage ReadUsage() {
    const auto usage = ReadProcessUsage();
    return {usage.privateBytes / kMiB, static_cast<long long>(usage.handles)};
}

int Soak(Library& library, const std::string& shareUrl, int calls) {
    std::string link = Text(library.resolve(shareUrl.c_str()));
    for (int i = 0; i < 20; ++i) {  // warm-up: what the first calls load stays, and is no leak
        link = Text(library.resolve(shareUrl.c_str()));
        (void)library.location(link.c_str());
    }
    if (!IsDirectLink(link)) {
        std::fprintf(stderr, "no direct link from %s (is the stand-in up at %s?)\n", shareUrl.c_str(),
                     quenlark::kServiceOrigin);
        return 1;
    }
    std::printf("%d calls, HttpGetUrl and Quenlark_Location taking turns (each probes the link just resolved)\n",
                calls);
    std::printf("%8s %12s %9s %10s %12s %8s\n", "calls", "private MiB", "handles", "seconds", "ms per call", "misses");
    const double start = NowMicros();
    const Usage first = ReadUsage();
    std::printf("%8d %12.2f %9lld %10.1f %12s %8d\n", 0, first.privateMiB, first.handles, 0.0, "", 0);
    const int every = std::max(1, calls / 10);
    int misses = 0;
    double lastReport = start;
    for (int call = 1; call <= calls; ++call) {
        if (call % 2) {
            link = Text(library.resolve(shareUrl.c_str()));
            misses += !IsDirectLink(link);
        } else {
            const std::string where = Text(library.location(link.c_str()));
            misses += where.find("/dl/") == std::string::npos;
        }
        if (call % every == 0 || call == calls) {
            const Usage usage = ReadUsage();
            const double now = NowMicros();
            std::printf("%8d %12.2f %9lld %10.1f %12.1f %8d\n", call, usage.privateMiB, usage.handles,
                        (now - start) / 1e6, (now - lastReport) / 1e3 / every, misses);
            std::fflush(stdout);
            lastReport = now;
        }
    }
    const Usage last = ReadUsage();
    const int resolutions = (calls + 1) / 2;
    std::printf("change over the run: private bytes %+.2f MiB (%.1f KiB per HttpGetUrl), handles %+lld\n",
                last.privateMiB - first.privateMiB, (last.privateMiB - first.privateMiB) * 1024 / resolutions,
                last.handles - first.handles);

    // The control, in a fresh process like this one was: the platform's part of as many
    // resolutions (see SoakControl).
    const std::string output = quenlark::bench::RunThisProgram("soak-control --calls " + std::to_string(resolutions) +
                                                               " --share \"" + shareUrl + "\"");
    double platform = 0;
    long long platformHandles = 0;
    const auto at = output.find("CONTROL ");
    if (at == std::string::npos ||
        std::sscanf(output.c_str() + at, "CONTROL %lf %lld", &platform, &platformHandles) != 2) {
        std::fprintf(stderr, "the control run failed: %s\n", output.c_str());
        return 1;
    }
    std::printf(
        "control in a fresh process, %d rounds of the bare client's three exchanges and a JSON object on\n"
        "the answer: private bytes %+.2f MiB (%.1f KiB per round), handles %+lld\n",
        resolutions, platform, platform * 1024 / resolutions, platformHandles);
    std::printf("growth of the exports' calls beyond the control's: %+.2f MiB\n",
                last.privateMiB - first.privateMiB - platform);
    return misses == 0 ? 0 : 1;
}

// What the platform alone does for `rounds` resolutions: each round makes the three exchanges
// with the bare client and parses the answer with a JSON object, whose growth is the script
// engine's own: wine's JScript keeps memory for every statement it has run, even after its
// engine is released (tests/script/ScriptLeakTest.cpp measures the object against bare
// script controls). Prints "CONTROL <private MiB> <handles>", the change over the rounds.
int SoakControl(const std::string& shareUrl, int rounds) {
    const std::string agent = std::string("User-Agent: ") + quenlark::kDefaultUserAgent + "\r\n";
    const auto round = [&] {
        std::string answer;
        const std::string link = BareResolve(shareUrl, &answer);
        quenlark::JsonObject json;
        json.Parse(answer.c_str());
        (void)json.GetText("dom");
        (void)json.GetText("url");
        (void)BareFetch(link, "GET", agent, {}, true);  // the probe's exchange
        return IsDirectLink(link);
    };
    for (int i = 0; i < 20; ++i) round();  // the same warm-up as the calls'
    const Usage before = ReadUsage();
    int misses = 0;
    for (int i = 0; i < rounds; ++i) misses += !round();
    const Usage after = ReadUsage();
    std::printf("CONTROL %.4f %lld\n", after.privateMiB - before.privateMiB, after.handles - before.handles);
    return misses == 0 ? 0 : 1;
}

struct Options {
    std::vector<std::string> sections;
    int rounds = 30;
    int batch = 10;
    int calls = 10000;
    Order order = Order::Interleaved;
    std::string share = std::string(quenlark::kServiceOrigin) + "/s/pdownload";
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "location-large" || arg == "resolve" || arg == "soak" || arg == "soak-control") {
            options.sections.push_back(arg);
        } else if (arg == "--rounds" && hasValue) {
            options.rounds = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--batch" && hasValue) {
            options.batch = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--in-blocks") {
            options.order = Order::InBlocks;
        } else if (arg == "--calls" && hasValue) {
            options.calls = std::max(1, std::atoi(argv[++i]));
        } else if (arg == "--share" && hasValue) {
            options.share = argv[++i];
        } else {
            return false;
        }
    }
    return !options.sections.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: export_bench location-large|resolve|soak... [options]\n");
        return 2;
    }
    Library library;
    if (!library.Load()) {
        std::fprintf(stderr, "cannot load Quenlark.dll or find its exports (%lu)\n", ::GetLastError());
        return 1;
    }
    for (const std::string& section : options.sections) {
        if (section == "location-large" && LocationLarge(library) != 0) return 1;
        if (section == "resolve" && Resolve(library, options.share, options.rounds, options.batch, options.order) != 0)
            return 1;
        if (section == "soak" && Soak(library, options.share, options.calls) != 0) return 1;
        if (section == "soak-control") return SoakControl(options.share, options.calls);
        std::printf("\n");
    }
    return 0;
}
