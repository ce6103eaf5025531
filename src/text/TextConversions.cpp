#include "text/TextConversions.h"

#include "platform/Platform.h"
#include "platform/UniqueResource.h"
#include "runtime/ByteSets.h"
#include "runtime/Memory.h"
#include "runtime/Texts.h"

namespace quenlark {

namespace {

// A byte-set counts its bytes in 32 bits: it holds no more UTF-16 units than this.
constexpr std::size_t kMaxByteSetUnits = INT32_MAX / 2;

// A block for a text of `bytes` bytes and its NUL, held by `out`; null when the heap cannot serve
// it and the caller wants to hear of it.
char* TextRoom(OwnedText& out, std::size_t bytes, WhenHeapFails whenHeapFails) noexcept {
    void* block =
        whenHeapFails == WhenHeapFails::kEndProcess ? RtAllocRaw(bytes + 1) : platform::HeapAllocate(bytes + 1, false);
    if (!block) return nullptr;
    out = OwnedText::Adopt(static_cast<char*>(block));
    out.Get()[bytes] = '\0';
    return out.Get();
}

// From one code page to another through UTF-16 held in a runtime block.
OwnedText Recode(const char* text, std::uint32_t from, std::uint32_t to) noexcept {
    UniqueResource<char16_t*, &RtFree> wide;
    std::size_t units = 0;
    const auto room = [&](std::size_t count) noexcept {
        units = count;
        wide.Reset(static_cast<char16_t*>(RtAllocRaw(count * sizeof(char16_t))));
        return wide.Get();
    };
    OwnedText result;
    if (ToUtf16With(from, TextView(text), room) == ConversionResult::kOk)
        (void)TextFromUtf16(to, {wide.Get(), units}, result);
    return result;
}

}  // namespace

ConversionResult TextFromUtf16(std::uint32_t codePage, std::u16string_view in, OwnedText& out,
                               WhenHeapFails whenHeapFails) noexcept {
    out.Reset();
    const ConversionResult result = FromUtf16With(
        codePage, in.substr(0, in.find(u'\0')), [&](std::size_t bytes) { return TextRoom(out, bytes, whenHeapFails); });
    if (result != ConversionResult::kOk) out.Reset();
    return result;
}

OwnedByteSet MultiByteToUtf16(const char* text, std::uint32_t codePage) noexcept {
    // The NUL gives the terminating unit. Sized by the code page that converts: sizing by the
    // system's ANSI code page made Chinese texts fail or come out cut wherever that code page
    // is not 936.
    const std::string_view source(text ? text : "", TextLength(text) + 1);
    OwnedByteSet block;
    const auto room = [&block](std::size_t units) noexcept {
        block = BlankByteSet(static_cast<std::int32_t>(units * sizeof(char16_t)));
        return reinterpret_cast<char16_t*>(const_cast<unsigned char*>(block.data()));
    };
    if (ToUtf16With(codePage, source, room, {.maxOutput = kMaxByteSetUnits}) != ConversionResult::kOk) return {};
    return block;
}

OwnedText Utf16ToMultiByte(const void* units, std::uint32_t codePage) noexcept {
    // Never beyond the byte-set (a heap block, so its units are aligned).
    const std::int32_t size = ByteSetSize(units);
    if (size <= 0) return {};
    OwnedText text;
    (void)TextFromUtf16(
        codePage, {reinterpret_cast<const char16_t*>(ByteSetBytes(units)), static_cast<std::size_t>(size) / 2}, text);
    return text;
}

OwnedText Utf8ToCp936(const char* utf8) noexcept { return Recode(utf8, kCodePageUtf8, kCodePage936); }

OwnedText Cp936ToUtf8(const char* text) noexcept { return Recode(text, kCodePage936, kCodePageUtf8); }

}  // namespace quenlark
