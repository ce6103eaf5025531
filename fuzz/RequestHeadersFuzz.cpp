// Header assembly on arbitrary caller headers and cookies.
#include "FuzzSupport.h"
#include "http/RequestHeaders.h"
#include "runtime/TextCommands.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

// Lines as the header code sees them: split at CR LF pairs that stand at character starts.
std::vector<std::string> Lines(const char* block) {
    std::vector<std::string> lines;
    const OwnedTextArray pieces = SplitText(block, "\r\n");
    for (std::size_t i = 1; i <= pieces.size(); ++i) lines.push_back(pieces.At(i) ? pieces.At(i) : "");
    return lines;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(a[i]) != Fold(b[i])) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    std::string headers = TakeText(input);
    // Make line breaks likely.
    for (char& c : headers) {
        if (c == '\x01') c = '\r';
        if (c == '\x02') c = '\n';
    }
    const std::string cookies = TakeText(input, 32);
    const int method = input.ConsumeIntegralInRange(-1, 8);
    const bool defaults = input.ConsumeBool();
    const bool normalize = input.ConsumeBool();

    // Normalising keeps every line that has a colon, with its length, changing only the case
    // of letters, and drops the others.
    const OwnedText normalized = NormalizeHeaderNames(headers.c_str());
    CheckTextBlock(normalized);
    std::vector<std::string> kept;
    for (const std::string& line : Lines(headers.c_str())) {
        if (FindText(line.c_str(), ":") != -1) kept.push_back(line);  // a colon that starts a character
    }
    const std::vector<std::string> out = Lines(normalized.get());
    FUZZ_CHECK(out.size() == kept.size());
    for (std::size_t i = 0; i < out.size() && i < kept.size(); ++i) FUZZ_CHECK(EqualIgnoringAsciiCase(out[i], kept[i]));

    const OwnedText block = BuildRequestHeaders(headers.c_str(), method, cookies.c_str(), defaults, normalize);
    CheckTextBlock(block);
    std::string lower = Str(block);
    for (char& c : lower) c = Fold(c);
    if (defaults) {
        for (const char* probe :
             {"user-agent: ", "accept: ", "accept-encoding: ", "accept-language: ", "cache-control: "}) {
            FUZZ_CHECK(lower.find(probe) != std::string::npos);
        }
        if (method == 1) FUZZ_CHECK(lower.find("content-type:") != std::string::npos);
    }
    if (!cookies.empty()) FUZZ_CHECK(lower.find("cookie:") != std::string::npos);
    return 0;
}
