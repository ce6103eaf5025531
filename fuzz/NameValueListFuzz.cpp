// Form text into the list and out through the three renderers.
#include "FuzzSupport.h"
#include "runtime/TextCommands.h"
#include "text/NameValueList.h"
#include "text/UrlEncoding.h"

using namespace quenlark;
using namespace quenlark::fuzz;

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Undoes UrlEncode; false when the text is not a well-formed escape sequence.
bool Decode(const std::string& encoded, std::string& out) {
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            if (i + 2 >= encoded.size()) return false;
            const int hi = HexValue(encoded[i + 1]);
            const int lo = HexValue(encoded[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out.push_back(static_cast<char>(hi * 16 + lo));
            i += 2;
        } else if (c == '-' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            out.push_back(c);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::string form = TakeText(input);
    const std::string extra = TakeText(input, 16);

    NameValueList list;
    list.AddFormText(form.c_str());
    OwnedTextArray names;
    list.GetNames(names);
    FUZZ_CHECK(names.size() == SplitText(form.c_str(), "&").size());

    const OwnedText header = list.ToHeaderText();
    CheckTextBlock(header);
    const OwnedText json = list.ToJsonText();
    CheckTextBlock(json);
    FUZZ_CHECK(Str(json).front() == '{' && Str(json).back() == '}');
    const OwnedText formOut = list.ToFormText();
    CheckTextBlock(formOut);
    if (names.size() > 0) FUZZ_CHECK(formOut.length() >= names.size() * 2 - 1);  // "=" per entry, "&" between

    for (bool keep : {false, true}) {
        const OwnedText encoded = UrlEncode(extra.c_str(), keep);
        CheckTextBlock(encoded);
        std::string decoded;
        FUZZ_CHECK(Decode(Str(encoded), decoded));
        FUZZ_CHECK(decoded == extra);
    }
    return 0;
}
