// The resolver against share pages made to hurt it:
//   frame    the frame pattern run by the system's engine over a whole page of frame openings
//            without a border (as the resolver once did), at small sizes with the cubic fit
//            extrapolated; then the resolver's frame search on pages of 1 MiB and 16 MiB of
//            several hostile shapes.
//   memory   private bytes at the peak of the share-page step (exchange, page text, frame)
//            for a 16 MiB share page, done the old way and the resolver's way, and of a whole
//            resolution of that page (scripted server).
//   allocations  heap allocations and bytes asked for per resolution (the library's own: the
//            program's imports of the heap, the C runtime's allocator and BSTRs are counted),
//            with pages of realistic size (a 50 KB share page, a 40 KB frame page).
//
//   build/windows-x64/wine-run.sh --start
//   build/windows-x64/wine-run.sh build/windows-x64/bin/resolver_bench.exe frame|memory...
//   build/windows-x64/wine-run.sh --stop
#include <windows.h>

#include <oleauto.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "http/WebRequest.h"
#include "http/support/ScriptedServer.h"
#include "resolve/ShareAnswers.h"
#include "resolve/ShareLinkResolver.h"
#include "runtime/Formatting.h"
#include "script/RegexObject.h"
#include "support/ImportPatch.h"
#include "support/Measure.h"
#include "support/ProcessUsage.h"
#include "text/TextConversions.h"

namespace {

using namespace quenlark;
using quenlark::bench::kMiB;
using quenlark::bench::NowMicros;
using quenlark::testing_support::PeakPrivateBytes;
using quenlark::testing_support::ScriptedServer;

const char kPattern[] = "name=\".*\" src=\"(.*)\" frameborder=";
constexpr RegexOptions kOptions{.caseSensitive = false, .multiline = false, .global = true};
const std::string kOpening = "<iframe name=\"a\" src=\"b\" ";  // no border: the engine backtracks
const std::string kFrame = "<iframe name=\"dl\" src=\"/fn?QuenlarkBench0123456789\" frameborder=\"0\"></iframe>";

std::string Repeat(const std::string& unit, std::size_t size) {
    std::string out;
    out.reserve(size + unit.size());
    while (out.size() < size) out += unit;
    return out;
}

int Frame() {
    // The engine over the whole page, as before.
    std::vector<double> sizes, seconds;
    for (const std::size_t size : {512u, 1024u, 2048u, 4096u}) {
        const std::string page = Repeat(kOpening, size);
        RegexObject regex;
        const double start = NowMicros();
        (void)regex.Create(kPattern, page.c_str(), kOptions);
        const double s = (NowMicros() - start) / 1e6;
        std::printf("engine over the whole page  %8zu bytes  %10.3f s\n", page.size(), s);
        sizes.push_back(static_cast<double>(page.size()));
        seconds.push_back(s);
    }
    // t = c * n^3 through the largest point; the exponent of the last doubling for comparison.
    const double exponent = std::log(seconds[3] / seconds[2]) / std::log(sizes[3] / sizes[2]);
    const double c = seconds[3] / std::pow(sizes[3], 3);
    std::printf(
        "last doubling exponent %.2f; cubic extrapolation: 1 MiB %.3g s (%.1f days), 16 MiB %.3g s (%.0f years)\n",
        exponent, c * std::pow(kMiB, 3), c * std::pow(kMiB, 3) / 86400, c * std::pow(16 * kMiB, 3),
        c * std::pow(16 * kMiB, 3) / 86400 / 365);

    // The resolver's search.
    struct Shape {
        const char* name;
        std::string (*make)(std::size_t);
    };
    const Shape shapes[] = {
        {"openings on one line, no border", [](std::size_t n) { return Repeat(kOpening, n); }},
        {"openings, a line each", [](std::size_t n) { return Repeat(kOpening + "\n", n); }},
        {"a frame, then openings", [](std::size_t n) { return kFrame + Repeat(kOpening, n); }},
        {"one match the whole line long", [](std::size_t n) { return Repeat(kOpening, n) + "\" frameborder=\"0\">"; }},
        {"quotes and words without blanks", [](std::size_t n) { return Repeat("name=\"\"src=\"\"frameborder=", n); }},
        {"openings, the frame at the end", [](std::size_t n) { return Repeat(kOpening, n) + "\n" + kFrame; }},
    };
    for (const Shape& shape : shapes) {
        for (const std::size_t size : {std::size_t{1} << 20, std::size_t{16} << 20}) {
            const std::string page = shape.make(size);
            RegexObject regex;
            const double start = NowMicros();
            const OwnedText source = MakeFrameEngine(regex) ? FrameSourceOfPage(regex, page.c_str()) : OwnedText();
            const double s = (NowMicros() - start) / 1e6;
            std::printf("frame search  %-34s %9zu bytes  %8.3f s  source %zu bytes\n", shape.name, page.size(), s,
                        source.length());
        }
    }
    return 0;
}

std::string Response(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

// About `size` bytes of Chinese and ASCII rows with the frame near the end.
std::string LargeSharePage(std::size_t size) {
    // 中文 in UTF-8: E4 B8 AD E6 96 87.
    std::string page = Repeat("<div class=\"row\"><span>\xE4\xB8\xAD\xE6\x96\x87 0123456789</span></div>\n", size);
    return page + kFrame + "\n</body></html>\n";
}

int Memory() {
    ScriptedServer server;
    if (!server.Ready()) {
        std::fprintf(stderr, "scripted server: %s\n", server.StartError().c_str());
        return 1;
    }
    const std::string page = LargeSharePage(std::size_t{16} << 20);
    const std::string share = Response(page);
    const std::string url = server.HttpsUrl("/i/large");
    { PeakPrivateBytes warm; }
    auto report = [&](const char* what, auto step) {
        server.Reset();
        server.Script(share);
        PeakPrivateBytes sampler;
        const std::string source = step();
        const std::size_t peak = sampler.Stop();
        const double extra = (static_cast<double>(peak) - static_cast<double>(sampler.Baseline())) / kMiB;
        std::printf("%-44s page %.1f MiB  peak +%.1f MiB (%.1f pages)  source %s\n", what, page.size() / kMiB, extra,
                    extra * kMiB / static_cast<double>(page.size()), source.c_str());
    };
    report("share-page step, the old way", [&] {
        RegexObject regex;
        OwnedByteSet body;
        (void)WebRequest(
            {.url = url.c_str(), .method = quenlark::kMethodGet, .noRedirect = true, .responseBytes = &body});
        const OwnedText raw = ToText(TypedArg::ByteSetArg(body.Get()));
        const OwnedText text = Utf8ToCp936(raw.Get());
        (void)regex.Create(kPattern, text.Get(), kOptions);
        return std::string(regex.SubMatchText(1, 1).c_str());
    });
    report("share-page step, the resolver's way", [&] {
        RegexObject regex;
        OwnedByteSet body;
        (void)WebRequest({.url = url.c_str(),
                          .method = quenlark::kMethodGet,
                          .noRedirect = true,
                          .responseBytes = &body,
                          .limits = {.maxBodyBytes = std::uint64_t{32} << 20}});
        const OwnedText text = PageTextOfBody(std::move(body));
        if (!MakeFrameEngine(regex)) return std::string();
        return std::string(FrameSourceOfPage(regex, text.Get()).c_str());
    });
    // A whole resolution: the page at the size limit's doubled value so that it is read; the
    // frame page and the answer come from the same server.
    server.Reset();
    server.Script(share);
    server.Script(Response("<script>var pdownload = 'UDAHaVg2AjsBNwUzAT';</script>"));
    server.Script("HTTP/1.1 200 OK\r\nContent-Length: 36\r\n\r\n{\"dom\":\"https://dl.test\",\"url\":\"?a\"}");
    const std::string origin = server.HttpsUrl("");
    PeakPrivateBytes sampler;
    const OwnedText link =
        ResolveShareLink(url.c_str(), {.serviceOrigin = origin.c_str(), .maxBodyBytes = std::uint64_t{32} << 20});
    const std::size_t peak = sampler.Stop();
    const double extra = (static_cast<double>(peak) - static_cast<double>(sampler.Baseline())) / kMiB;
    std::printf("%-44s page %.1f MiB  peak +%.1f MiB (%.1f pages)  link %s\n", "a whole resolution", page.size() / kMiB,
                extra, extra * kMiB / static_cast<double>(page.size()), link.c_str());
    return 0;
}

// ---- Allocations ---------------------------------------------------------------------------

std::atomic<std::uint64_t> g_allocations{0};
std::atomic<std::uint64_t> g_allocatedBytes{0};
bool g_counting = false;

void Count(std::size_t bytes) {
    if (!g_counting) return;
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    g_allocatedBytes.fetch_add(bytes, std::memory_order_relaxed);
}

using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
using HeapReAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, LPVOID, SIZE_T);
using MallocFn = void* (*)(size_t);
using CallocFn = void* (*)(size_t, size_t);
using ReallocFn = void* (*)(void*, size_t);
using SysAllocStringLenFn = BSTR(WINAPI*)(const OLECHAR*, UINT);
using SysAllocStringFn = BSTR(WINAPI*)(const OLECHAR*);
HeapAllocFn g_heapAlloc;
HeapReAllocFn g_heapReAlloc;
MallocFn g_malloc;
CallocFn g_calloc;
ReallocFn g_realloc;
SysAllocStringLenFn g_sysAllocStringLen;
SysAllocStringFn g_sysAllocString;

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    Count(bytes);
    return g_heapAlloc(heap, flags, bytes);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
    Count(bytes);
    return g_heapReAlloc(heap, flags, block, bytes);
}
void* CountedMalloc(size_t bytes) {
    Count(bytes);
    return g_malloc(bytes);
}
void* CountedCalloc(size_t count, size_t size) {
    Count(count * size);
    return g_calloc(count, size);
}
void* CountedRealloc(void* block, size_t bytes) {
    Count(bytes);
    return g_realloc(block, bytes);
}
BSTR WINAPI CountedSysAllocStringLen(const OLECHAR* text, UINT length) {
    Count(length * sizeof(OLECHAR));
    return g_sysAllocStringLen(text, length);
}
BSTR WINAPI CountedSysAllocString(const OLECHAR* text) {
    Count(text ? std::wcslen(text) * sizeof(OLECHAR) : 0);
    return g_sysAllocString(text);
}

template <typename Fn>
bool Patch(const char* dll, const char* function, Fn replacement, Fn& original) {
    original = reinterpret_cast<Fn>(
        testing_support::PatchImport(::GetModuleHandleW(nullptr), dll, function, reinterpret_cast<void*>(replacement)));
    if (!original) std::printf("(this program does not import %s!%s: not counted)\n", dll, function);
    return original != nullptr;
}

// A share page of about 50 KB as the service sends one: a head with styles and scripts, the
// file's box with the download frame, about a hundred related files, a footer.
std::string RealisticSharePage() {
    std::string page =
        "<!DOCTYPE html>\n<html><head><meta "
        "charset=\"utf-8\"><title>\xE5\xB9\xB4\xE5\xBA\xA6report.pdf</title>\n<style>\n";
    page += Repeat(".row{margin:0 4px;padding:2px 6px;border-bottom:1px solid #eee;font:13px/1.6 sans-serif}\n", 10000);
    page +=
        "</style>\n<script>\n" + Repeat("function track(e){var t=new Date().getTime();return t-e.ts>500;}\n", 10000);
    page += "</script></head>\n<body>\n<div class=\"file\">report.pdf <span>2.1 M</span></div>\n";
    page +=
        "<iframe class=\"ifr2\" name=\"1620372\" src=\"/fn?AjQBbVQ4ADYFMA\" frameborder=\"0\" "
        "scrolling=\"no\"></iframe>\n";
    for (int i = 0; i < 100; ++i) {
        page += "<div class=\"row\"><a href=\"/i" + std::to_string(100000 + i) + "\">\xE5\xAD\xA3\xE5\xBA\xA6 data-" +
                std::to_string(i) + ".xlsx</a><span>1" + std::to_string(i % 10) + "0 K</span><span>2026-11-0" +
                std::to_string(i % 9 + 1) + "</span></div>\n";
    }
    page += Repeat("<p class=\"footer\">\xE7\x89\x88\xE6\x9D\x83 links help terms privacy</p>\n", 10000);
    return page + "</body></html>\n";
}

// A frame page of about 40 KB: the signing script among other scripts.
std::string RealisticFramePage() {
    std::string page = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><script>\n";
    page += Repeat("var cfg={a:1,b:'x',c:[1,2,3]};function ui(n){return document.getElementById(n);}\n", 20000);
    page +=
        "</script></head><body><script type=\"text/javascript\">\nvar ajaxdata = '?ctdf';\n"
        "$.ajax({ type : 'post', url : '/ajaxm.php', data : { 'action':'downprocess','signs':ajaxdata,"
        "'sign':'VjEFbgk_Bm9WZlc3AzQ','ves':1,'websign':'7' }, dataType : 'json' });\n</script>\n";
    page += Repeat("<script>window.ads=window.ads||[];ads.push({slot:'b',w:300,h:250});</script>\n", 18000);
    return page + "</body></html>\n";
}

int Allocations() {
    ScriptedServer server;
    if (!server.Ready()) {
        std::fprintf(stderr, "scripted server: %s\n", server.StartError().c_str());
        return 1;
    }
    Patch("kernel32.dll", "HeapAlloc", &CountedHeapAlloc, g_heapAlloc);
    Patch("kernel32.dll", "HeapReAlloc", &CountedHeapReAlloc, g_heapReAlloc);
    Patch("msvcrt.dll", "malloc", &CountedMalloc, g_malloc);
    Patch("msvcrt.dll", "calloc", &CountedCalloc, g_calloc);
    Patch("msvcrt.dll", "realloc", &CountedRealloc, g_realloc);
    Patch("oleaut32.dll", "SysAllocStringLen", &CountedSysAllocStringLen, g_sysAllocStringLen);
    Patch("oleaut32.dll", "SysAllocString", &CountedSysAllocString, g_sysAllocString);
    const std::string share = RealisticSharePage();
    const std::string frame = RealisticFramePage();
    const std::string answer =
        "{\"zt\":1,\"dom\":\"https:\\/\\/dl.tarnwell.test\",\"url\":\"?BmAHPw5rV2QIBVE\",\"inf\":0}";
    const std::string origin = server.HttpsUrl("");
    const std::string url = server.HttpsUrl("/i/abc123");
    constexpr int kCalls = 20;
    std::uint64_t calls = 0;
    for (int round = 0; round <= kCalls; ++round) {
        server.Reset();
        server.Script(Response(share));
        server.Script(Response(frame));
        server.Script("HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: " +
                      std::to_string(answer.size()) + "\r\n\r\n" + answer);
        g_counting = round > 0;  // the first call warms up what is made once
        const OwnedText link = ResolveShareLink(url.c_str(), {.serviceOrigin = origin.c_str()});
        g_counting = false;
        if (link.empty()) {
            std::fprintf(stderr, "no link\n");
            return 1;
        }
        if (round > 0) ++calls;
    }
    std::printf("pages: share %zu bytes, frame %zu bytes\n", share.size(), frame.size());
    std::printf("per resolution: %.1f allocations, %.1f KiB asked for (heap, C runtime and BSTRs; %llu calls)\n",
                static_cast<double>(g_allocations.load()) / static_cast<double>(calls),
                static_cast<double>(g_allocatedBytes.load()) / 1024.0 / static_cast<double>(calls),
                static_cast<unsigned long long>(calls));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "frame") == 0) failed |= Frame();
        if (std::strcmp(argv[i], "memory") == 0) failed |= Memory();
        if (std::strcmp(argv[i], "allocations") == 0) failed |= Allocations();
    }
    return failed;
}
