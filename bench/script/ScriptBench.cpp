// Cost of the script objects as the exports use them on every call: a RegexObject that finds
// the download frame in a share page, and a JsonObject that reads the two fields of the
// service's answer. Each measurement follows a warm-up in the same process.
//
//   build/windows-WIDTH/wine-run.sh --start          (WIDTH: x64, or x86 where 32-bit programs run)
//   build/windows-WIDTH/wine-run.sh build/windows-WIDTH/bin/script_bench.exe [rounds]
//   build/windows-WIDTH/wine-run.sh --stop
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "script/AutomationObject.h"
#include "script/ComOwners.h"
#include "script/JsonHelperScript.h"
#include "script/JsonObject.h"
#include "script/RegexObject.h"
#include "support/Measure.h"

namespace {

using quenlark::JsonObject;
using quenlark::RegexObject;
using quenlark::RegexOptions;
using quenlark::bench::NowMicros;

// An invented share page of about 20 KB with Chinese text, one frame near the end.
std::string SharePage() {
    std::string page = "<html><head><meta charset=\"gbk\"><title>\xCE\xC4\xBC\xFE</title></head><body>\n";
    for (int i = 0; i < 200; ++i) {
        page += "<div class=\"row\"><span>\xD6\xD0\xCE\xC4\xCE\xC4\xB1\xBE " + std::to_string(i) +
                "</span><a href=\"/s/item" + std::to_string(i) + "\">link</a></div>\n";
    }
    page +=
        "<iframe class=\"ifr2\" name=\"1\" src=\"/fn?QuenlarkBenchSign0123456789\" frameborder=\"0\" "
        "scrolling=\"no\"></iframe>\n";
    return page + "</body></html>\n";
}

constexpr char kFramePattern[] = "<iframe.*?src=#引号(/fn\\?[^#引号]+)#引号";
constexpr char kAnswer[] =
    "{\"zt\":1,\"dom\":\"https:\\/\\/dl.quenlark-files.test\",\"url\":\"?QuenlarkBench0123456789abcdef\",\"inf\":0}";

template <typename Round>
void Report(const char* what, int rounds, Round round) {
    for (int i = 0; i < std::max(10, rounds / 10); ++i) round();  // warm-up
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(rounds));
    for (int i = 0; i < rounds; ++i) {
        const double start = NowMicros();
        round();
        micros.push_back(NowMicros() - start);
    }
    std::sort(micros.begin(), micros.end());
    double total = 0;
    for (double m : micros) total += m;
    std::printf("%-64s rounds %5d  mean %8.1f us  median %8.1f us  p90 %8.1f us\n", what, rounds, total / rounds,
                micros[micros.size() / 2], micros[micros.size() * 9 / 10]);
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const std::string page = SharePage();
    RegexOptions frame;
    frame.caseSensitive = false;
    frame.multiline = false;
    frame.quotePlaceholder = true;

    {
        RegexObject kept;
        Report("RegexObject::Create + SubMatchText (kept instance)", rounds, [&] {
            kept.Create(kFramePattern, page.c_str(), frame);
            if (kept.SubMatchText(1, 1).view() != "/fn?QuenlarkBenchSign0123456789") std::abort();
        });
    }
    const auto regexRound = [&] {
        RegexObject regex;
        regex.Create(kFramePattern, page.c_str(), frame);
        if (regex.SubMatchText(1, 1).view() != "/fn?QuenlarkBenchSign0123456789") std::abort();
    };
    const auto jsonRound = [] {
        JsonObject json;
        if (!json.Parse(kAnswer)) std::abort();
        if (json.GetText("dom").view() != "https://dl.quenlark-files.test") std::abort();
        if (json.GetText("url").empty()) std::abort();
    };
    // Without COM on the thread each object sets the apartment up and tears it down; the
    // library's loading thread has COM initialised from attach, as in the second pair.
    Report("RegexObject new + Create + SubMatchText (thread without COM)", rounds, regexRound);
    Report("JsonObject new + Parse + GetText x2 (thread without COM)", rounds, jsonRound);
    quenlark::ComApartmentUse com;
    com.Enter();
    Report("RegexObject new + Create + SubMatchText (COM initialised)", rounds, regexRound);
    Report("JsonObject new + Parse + GetText x2 (COM initialised)", rounds, jsonRound);
    // For comparison: one engine as the JSON object makes it, step by step, without any statement.
    Report("bare script control", rounds, [] {
        quenlark::OwnedAutomationObject control = quenlark::OwnedAutomationObject::New();
        quenlark::CreateObject(*control, "MSScriptControl.ScriptControl");
    });
    Report("bare script control + Language", rounds, [] {
        quenlark::OwnedAutomationObject control = quenlark::OwnedAutomationObject::New();
        quenlark::CreateObject(*control, "MSScriptControl.ScriptControl");
        quenlark::SetProperty(*control, "Language", {quenlark::TypedArg::TextArg("JavaScript")});
    });
    Report("bare script control + Language + AddCode(kHelperScript)", rounds, [] {
        quenlark::OwnedAutomationObject control = quenlark::OwnedAutomationObject::New();
        quenlark::CreateObject(*control, "MSScriptControl.ScriptControl");
        quenlark::SetProperty(*control, "Language", {quenlark::TypedArg::TextArg("JavaScript")});
        (void)quenlark::CallMethod<bool>(*control, "AddCode", {quenlark::TypedArg::TextArg(quenlark::kHelperScript)});
    });
    return 0;
}
