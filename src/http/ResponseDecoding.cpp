#include "http/ResponseDecoding.h"

#include <windows.h>

#include <climits>
#include <string>

#include "http/CharsetLabels.h"
#include "platform/Platform.h"
#include "platform/WideText.h"
#include "runtime/Events.h"
#include "runtime/Formatting.h"
#include "runtime/TextCommands.h"
#include "runtime/Values.h"
#include "script/ComOwners.h"

namespace quenlark {

namespace {

// The name after "charset=" in a meta tag on one line; at most one non-word character (a
// quote) may stand between them.
const char kCharsetPattern[] = "<meta.+?charset=[^\\w]?([-\\w]+)";
constexpr std::int32_t kProbeBytes = 1024;

std::wstring ToUtf16(std::string_view bytes, std::uint32_t codePage) {
    std::wstring wide;
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) {
        wide.resize(bytes.size() / 2);
        for (std::size_t i = 0; i < wide.size(); ++i) {
            const auto first = static_cast<unsigned char>(bytes[2 * i]);
            const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
            wide[i] = static_cast<wchar_t>(codePage == kCodePageUtf16Le ? first | second << 8 : first << 8 | second);
        }
        return wide;
    }
    // Where a table is not installed, a close relative decodes the same characters: the
    // two-byte part of GB 18030 is code page 936, logical-order Hebrew is ISO 8859-8.
    if (codePage == kCodePageGb18030 && !::IsValidCodePage(codePage)) codePage = 936;
    if (codePage == kCodePageHebrewLogical && !::IsValidCodePage(codePage)) codePage = 28598;
    const std::size_t units = platform::DecodeToUtf16(codePage, bytes.data(), bytes.size(), nullptr, 0);
    if (units == 0) return wide;
    wide.resize(units);
    wide.resize(
        platform::DecodeToUtf16(codePage, bytes.data(), bytes.size(), reinterpret_cast<char16_t*>(wide.data()), units));
    return wide;
}

}  // namespace

std::optional<OwnedText> ConvertToCp936(std::string_view bytes, std::uint32_t codePage,
                                        WideTextConverter toText) noexcept {
    if (bytes.empty()) return OwnedText();
    try {
        const std::wstring wide = ToUtf16(bytes, codePage);
        if (wide.empty()) return std::nullopt;
        // As every text that comes out of an automation object.
        OwnedText text = (toText ? toText : WideToCp936)(wide);
        // Nothing came back from a text that holds characters before its first NUL: the
        // conversion failed, and the raw text is kept.
        if (text.empty() && wide.front() != L'\0') return std::nullopt;
        return text;
    } catch (...) {
        return std::nullopt;  // no memory for the wide copy: keep the raw text
    }
}

OwnedText ResponseDecoder::Decode(const OwnedByteSet& body) noexcept {
    OwnedText result = ToText(TypedArg::ByteSetArg(body.get()));
    if (result.empty()) return result;  // no text, no meta tag to read
    ComApartmentUse com;
    com.Enter();

    const OwnedText probe = TextLeft(result.get(), kProbeBytes);
    if (!regex_.Create(kCharsetPattern, probe.get()) || regex_.MatchCount() < 1) return result;

    const OwnedText name = regex_.SubMatchText(1, 1);
    // Only the exact lower-case names are known to be the library's own code page.
    const bool local = CompareTexts(name.get(), "gbk") == 0 || CompareTexts(name.get(), "gb2312") == 0;
    if (!name.empty() && !local) {
        if (const auto codePage = CodePageOfMetaCharset(name.view())) {
            if (auto decoded = ConvertToCp936(body.view(), *codePage)) result = std::move(*decoded);
        }
    }
    ProcessEvents();
    return result;
}

}  // namespace quenlark
