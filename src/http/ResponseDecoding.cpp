#include "http/ResponseDecoding.h"

#include <windows.h>

#include <new>
#include <string>

#include "http/CharsetLabels.h"
#include "platform/CodePages.h"
#include "runtime/Events.h"
#include "runtime/Formatting.h"
#include "runtime/TextCommands.h"
#include "runtime/Texts.h"
#include "script/ComOwners.h"
#include "text/TextConversions.h"

namespace quenlark {

namespace {

// The name after "charset=" in a meta tag on one line; at most one non-word character (a
// quote) may stand between them.
const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";
constexpr std::int32_t kProbeBytes = 1024;

// The two UTF-16 forms, which have no system table, decoded directly (an odd last byte dropped).
std::u16string FromUtf16Bytes(std::string_view bytes, bool littleEndian) {
    std::u16string wide(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]);
        const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        wide[i] = static_cast<char16_t>(littleEndian ? first | second << 8 : first << 8 | second);
    }
    return wide;
}

// The body decoded; nothing when the system cannot decode that code page. Throws only
// std::bad_alloc.
std::optional<std::u16string> DecodedBody(std::string_view bytes, std::uint32_t codePage) {
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be)
        return FromUtf16Bytes(bytes, codePage == kCodePageUtf16Le);
    // Where a table is not installed, a close relative decodes the same characters: the
    // two-byte part of GB 18030 is code page 936, logical-order Hebrew is ISO 8859-8.
    if (codePage == kCodePageGb18030 && !::IsValidCodePage(codePage)) codePage = kCodePage936;
    if (codePage == kCodePageHebrewLogical && !::IsValidCodePage(codePage)) codePage = 28598;
    std::u16string wide;
    const ConversionResult result = ToUtf16(codePage, bytes, wide);
    if (result == ConversionResult::kOutOfMemory) throw std::bad_alloc();
    if (result != ConversionResult::kOk) return std::nullopt;
    return wide;
}

ConversionResult ToCp936Text(std::u16string_view wide, OwnedText& text) noexcept {
    return TextFromUtf16(kCodePage936, wide, text, WhenHeapFails::kReport);
}

}  // namespace

std::optional<OwnedText> ConvertToCp936(std::string_view bytes, std::uint32_t codePage,
                                        WideTextConverter toText) noexcept {
    if (bytes.empty()) return OwnedText();
    try {
        const std::optional<std::u16string> wide = DecodedBody(bytes, codePage);
        if (!wide || wide->empty()) return std::nullopt;
        // A decoded text that starts with NUL is empty by rule, as every text ends at its first NUL.
        const std::u16string_view units = std::u16string_view(*wide).substr(0, wide->find(u'\0'));
        OwnedText text;
        // A failed conversion back keeps the raw text.
        if (!units.empty() && (toText ? toText : ToCp936Text)(units, text) != ConversionResult::kOk)
            return std::nullopt;
        return text;
    } catch (const std::bad_alloc&) {
        return std::nullopt;  // no memory for the wide copy: keep the raw text
    }
}

OwnedText ResponseDecoder::Decode(const OwnedByteSet& body) noexcept {
    OwnedText result = ToText(TypedArg::ByteSetArg(body.Get()));
    if (result.empty()) return result;  // no text, no meta tag to read
    ComApartmentUse com;
    com.Enter();

    const OwnedText probe = TextLeft(result.Get(), kProbeBytes);
    if (!regex_.Create(kCharsetPattern, probe.Get()) || regex_.MatchCount() < 1) return result;

    const OwnedText name = regex_.SubMatchText(1, 1);
    // Only the exact lower-case names are known to be the library's own code page.
    const bool local = name.view() == "gbk" || name.view() == "gb2312";
    if (!name.empty() && !local) {
        if (const auto codePage = CodePageOfMetaCharset(name.view())) {
            if (auto decoded = ConvertToCp936(body.view(), *codePage)) result = std::move(*decoded);
        }
    }
    ProcessEvents();
    return result;
}

}  // namespace quenlark
