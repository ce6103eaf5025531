#include "resolve/ShareAnswers.h"

#include <cstdint>
#include <cstring>

#include "platform/Platform.h"
#include "runtime/TextCommands.h"
#include "runtime/Trace.h"
#include "runtime/Values.h"
#include "text/TextHelpers.h"

namespace quenlark {

namespace {

constexpr std::uint32_t kCodePageUtf8 = 65001;
constexpr std::uint32_t kCodePage936 = 936;
// Shorter signatures are not real ones.
constexpr std::int32_t kMinimumSignLength = 10;
constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// A heap block that a failed allocation leaves null instead of ending the process.
struct HeapBlock {
    explicit HeapBlock(std::size_t size) noexcept : at(platform::HeapAllocate(size, false)) {}
    ~HeapBlock() { platform::HeapRelease(at); }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    void* at;
};

OwnedText Between(const char* text, const char* left, const char* right) {
    return TextBetween(text, left, right, std::nullopt, true);
}

bool HoldsMoreThanSpaces(const char* text) { return !RemoveAllSpaces(text).empty(); }

}  // namespace

OwnedText PageTextOfBody(OwnedByteSet body) noexcept {
    const auto* bytes = reinterpret_cast<const char*>(body.data());
    const void* zero = bytes ? std::memchr(bytes, 0, body.size()) : nullptr;
    const std::size_t length = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - bytes) : body.size();
    if (length == 0) return {};
    const std::size_t units = platform::DecodeToUtf16(kCodePageUtf8, bytes, length, nullptr, 0);
    if (units == 0 || units > SIZE_MAX / sizeof(char16_t)) return {};
    HeapBlock wide(units * sizeof(char16_t));
    if (!wide.at) return {};
    auto* text16 = static_cast<char16_t*>(wide.at);
    if (platform::DecodeToUtf16(kCodePageUtf8, bytes, length, text16, units) != units) return {};
    body.Reset();
    // Up to the first zero unit (a NUL cannot come out of bytes without one, but be sure).
    std::size_t count = 0;
    while (count < units && text16[count] != u'\0') ++count;
    if (count == 0) return {};
    const std::size_t size = platform::EncodeFromUtf16(kCodePage936, text16, count, nullptr, 0);
    if (size == 0 || size == SIZE_MAX) return {};
    auto* text = static_cast<char*>(platform::HeapAllocate(size + 1, false));
    if (!text) return {};
    OwnedText page = OwnedText::Adopt(text);
    if (platform::EncodeFromUtf16(kCodePage936, text16, count, text, size) != size) return {};
    text[size] = '\0';
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
