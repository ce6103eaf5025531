#include "resolve/ShareAnswers.h"

#include <cstdint>
#include <string>

#include "platform/CodePages.h"
#include "runtime/TextCommands.h"
#include "runtime/Trace.h"
#include "runtime/Values.h"
#include "text/ByteLength.h"
#include "text/Markers.h"
#include "text/TextConversions.h"

namespace quenlark {

namespace {

// Shorter signatures are not real ones.
constexpr std::int32_t kMinimumSignLength = 10;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

OwnedText Between(const char* text, const char* left, const char* right) {
    return TextBetween(text, left, right, std::nullopt, true);
}

bool HoldsMoreThanSpaces(const char* text) { return !RemoveAllSpaces(text).empty(); }

}  // namespace

OwnedText PageTextOfBody(OwnedByteSet body) noexcept {
    std::string_view bytes = body.view();
    bytes = bytes.substr(0, bytes.find('\0'));
    std::u16string wide;
    if (ToUtf16(kCodePageUtf8, bytes, wide) != ConversionResult::kOk) return {};
    body.Reset();
    OwnedText page;
    (void)TextFromUtf16(kCodePage936, wide, page, WhenHeapFails::kReport);
    return page;
}

namespace {

// Whether a sign read between `left` and `right` is long enough; says why not in the trace.
bool LongEnough(const OwnedText& sign, const char* left, const char* right) {
    if (TextByteLength(sign.get()) >= kMinimumSignLength) {
        trace::Line("resolve", "sign between \"%s\" and \"%s\": \"%s\"", left, right, sign.c_str());
        return true;
    }
    if (trace::On()) {
        trace::Line("resolve", "nothing of %d bytes or more between \"%s\" and \"%s\" (found \"%s\")",
                    kMinimumSignLength, left, right, sign.c_str());
    }
    return false;
}

OwnedText SignBetween(const char* framePage, const char* left, const char* right, bool& longEnough) {
    OwnedText sign = Between(framePage, left, right);
    longEnough = LongEnough(sign, left, right);
    return sign;
}

}  // namespace

SignValues ReadSignValues(const char* framePage) noexcept {
    SignValues values;
    bool found = false;
    values.sign = SignBetween(framePage, "var pdownload = '", "';", found);
    if (!found) {
        values.sign = SignBetween(framePage, "var ajaxdata = '", "';", found);
        if (!found) {
            if (HoldsMoreThanSpaces(values.sign.get())) values.signs = OwnedText::CopyOf(values.sign.view());
            values.sign = SignBetween(framePage, "ajaxdata,'sign':'", "','ves'", found);
            if (!found) {
                trace::Line("failure", "no sign on the frame page (%d bytes)", TextByteLength(framePage));
                return values;
            }
        }
    }
    values.found = true;
    const OwnedText websignLeft = ConcatTexts({values.sign.get(), "','ves':1,'websign':'"});
    values.websign = Between(framePage, websignLeft.get(), "' },");
    return values;
}

OwnedText FormBody(const SignValues& v) noexcept {
    if (HoldsMoreThanSpaces(v.signs.get())) {
        return ConcatTexts(
            {"action=downprocess&signs=", v.signs.get(), "&&sign=", v.sign.get(), "&ves=1&websign=", v.websign.get()});
    }
    return ConcatTexts({"action=downprocess&sign=", v.sign.get(), "&ves=1"});
}

bool IsServicePath(std::string_view source) noexcept {
    if (source.size() < 2 || source[0] != '/' || source[1] == '/' || source[1] == '\\') return source == "/";
    for (const char c : source) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte > 0x7E) return false;
    }
    return true;
}

OwnedText AnswerTextOfBody(const OwnedByteSet& body) noexcept {
    std::string_view bytes = body.view();
    if (bytes.starts_with(kUtf8ByteOrderMark)) bytes.remove_prefix(kUtf8ByteOrderMark.size());
    return OwnedText::CopyOrNull(bytes.substr(0, bytes.find('\0')));
}

OwnedText LinkOfAnswer(bool parsed, const char* dom, const char* url) noexcept {
    if (!parsed || !dom || !*dom) return OwnedText::StaticEmpty();
    return ConcatTexts({dom, "/file/", url});
}

}  // namespace quenlark
