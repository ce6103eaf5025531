#include "resolve/ShareAnswers.h"

#include <cstdint>
#include <optional>
#include <string>

#include "platform/CodePages.h"
#include "runtime/TextSearch.h"
#include "runtime/Texts.h"
#include "runtime/Trace.h"
#include "text/Markers.h"
#include "text/TextBuilder.h"
#include "text/TextConversions.h"

namespace quenlark {

namespace {

// Shorter signatures are not real ones.
constexpr std::size_t kMinimumSignLength = 10;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
constexpr char kWebsignAfterSign[] = "','ves':1,'websign':'";

// The value between the markers (letter case ignored); empty when either is missing.
std::string_view Between(std::string_view page, std::string_view left, std::string_view right) {
    return FindBetween(page, left, right, true).value_or(std::string_view());
}

bool HoldsMoreThanSpaces(std::string_view text) { return !TrimSpacesView(text).empty(); }

int TraceLength(std::string_view text) { return static_cast<int>(text.size()); }

// Whether a sign read between `left` and `right` is long enough; says why not in the trace.
bool LongEnough(std::string_view sign, const char* left, const char* right) {
    if (sign.size() >= kMinimumSignLength) {
        trace::Line("resolve", "sign between \"%s\" and \"%s\": \"%.*s\"", left, right, TraceLength(sign), sign.data());
        return true;
    }
    if (trace::On()) {
        trace::Line("resolve", "nothing of %d bytes or more between \"%s\" and \"%s\" (found \"%.*s\")",
                    static_cast<int>(kMinimumSignLength), left, right, TraceLength(sign), sign.data());
    }
    return false;
}

std::string_view SignBetween(std::string_view page, const char* left, const char* right, bool& longEnough) {
    const std::string_view sign = Between(page, left, right);
    longEnough = LongEnough(sign, left, right);
    return sign;
}

// The websign follows the sign's own marker, written as a marker is ("#引号" standing for a
// double quote).
std::string_view WebsignOf(std::string_view page, std::string_view sign) {
    const OwnedText marker = JoinedText({sign, kWebsignAfterSign});
    OwnedText expanded;
    return Between(page, QuotesExpanded(marker.Get(), expanded), "' },");
}

}  // namespace

OwnedText PageTextOfBody(OwnedByteSet body) noexcept {
    OwnedText page;
    (void)Cp936TextOfUtf8(body.view(), page, WhenHeapFails::kReport);
    return page;
}

SignValues ReadSignValues(const char* framePage) noexcept {
    const std::string_view page = TextView(framePage);
    SignValues values;
    bool found = false;
    values.sign = SignBetween(page, "var pdownload = '", "';", found);
    if (!found) {
        values.sign = SignBetween(page, "var ajaxdata = '", "';", found);
        if (!found) {
            if (HoldsMoreThanSpaces(values.sign)) values.signs = values.sign;
            values.sign = SignBetween(page, "ajaxdata,'sign':'", "','ves'", found);
            if (!found) {
                trace::Line("failure", "no sign on the frame page (%d bytes)", TraceLength(page));
                return values;
            }
        }
    }
    values.found = true;
    values.websign = WebsignOf(page, values.sign);
    return values;
}

OwnedText FormBody(const SignValues& v) noexcept {
    if (HoldsMoreThanSpaces(v.signs)) {
        return JoinedText({"action=downprocess&signs=", v.signs, "&&sign=", v.sign, "&ves=1&websign=", v.websign});
    }
    return JoinedText({"action=downprocess&sign=", v.sign, "&ves=1"});
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
    return JoinedText({dom, "/file/", TextView(url)});
}

}  // namespace quenlark
