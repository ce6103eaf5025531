// The two exports of the built Quenlark.dll, loaded and called by name as a host does:
//   location-large   Quenlark_Location against a 200 answer with a 1 GiB body (the scripted
//                    server): time, private bytes and the bytes the server got out.
//   resolve          HttpGetUrl against the stand-in service, and the same three exchanges by a
//                    bare WinHTTP client in the same process.
//   soak             alternating calls of both exports against the stand-in, with private
//                    bytes and open handles along the way.
//
//   build/windows-x64/wine-run.sh --start
//   tools/standin/... (the stand-in, on the port of QUENLARK_SERVICE_ORIGIN; for resolve, soak)
//   build/windows-x64/wine-run.sh build/windows-x64/bin/export_bench.exe SECTION... [options]
//   build/windows-x64/wine-run.sh --stop
//
// Options: --rounds N (resolve: timed rounds per client, default 30), --calls N (soak: calls in
// all, default 10000), --share URL (the share link the stand-in serves).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "http/support/ScriptedServer.h"
#include "support/Measure.h"
#include "support/ProcessUsage.h"

namespace {

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

struct Options {
    std::vector<std::string> sections;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "location-large") {
            options.sections.push_back(arg);
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
        std::printf("\n");
    }
    return 0;
}
