#include "text/NameValueList.h"

#include "runtime/Arrays.h"
#include "runtime/Formatting.h"
#include "runtime/TextCommands.h"
#include "runtime/Texts.h"
#include "text/ReplacePairs.h"
#include "text/TextConversions.h"
#include "text/UrlEncoding.h"

namespace quenlark {

namespace {

// Names the index checks of this class in a runtime error box.
constexpr std::uint32_t kPlaceNameValueList = 0x04000201;

OwnedText Copy(const char* text) { return text ? OwnedText::CopyOf(text) : OwnedText(); }

// Both arrays start as (and return to) the shared empty array constant; the first append makes
// a heap copy of it.
OwnedTextArray SharedEmptyArray() { return OwnedTextArray::Adopt(const_cast<std::int32_t*>(kEmptyArrayTemplate)); }

// The element at a checked index: the runtime's bounds check precedes every access.
const char* At(const OwnedTextArray& array, std::size_t index, std::uint32_t position) {
    CheckArrayIndex(array.Get(), static_cast<std::int64_t>(index), kPlaceNameValueList, position);
    return array.At(index);
}

}  // namespace

NameValueList::NameValueList() noexcept : names_(OwnedTextArray::NewEmpty()), values_(OwnedTextArray::NewEmpty()) {}

NameValueList NameValueList::Copy() const noexcept {
    NameValueList copy;
    copy.names_ = names_.DeepCopy();
    copy.values_ = values_.DeepCopy();
    return copy;
}

void NameValueList::Add(const char* name, const char* value, bool toUtf8) noexcept {
    if (toUtf8) {
        names_.Append(Cp936ToUtf8(name));
        values_.Append(Cp936ToUtf8(value));
    } else {
        names_.Append(quenlark::Copy(name));
        values_.Append(quenlark::Copy(value));
    }
}

void NameValueList::AddFormText(const char* text, bool toUtf8) noexcept {
    const OwnedTextArray pieces = SplitText(text, "&");
    for (std::size_t i = 1; i <= pieces.size(); ++i) {
        const char* piece = At(pieces, i, 1);
        const std::int32_t first = FindText(piece, "=");
        OwnedText name;
        OwnedText value;
        if (first != -1) {
            // Name before the first "=", value after the last one.
            const std::int32_t last = FindTextReverse(piece, "=");
            name = TextLeft(piece, first - 1);
            value = TextRight(piece, TextLength32(piece) - last);
        }
        Add(name.Get(), value.Get(), toUtf8);
    }
}

OwnedText NameValueList::GetValue(const char* name) const noexcept {
    for (std::size_t i = 1; i <= names_.size(); ++i) {
        if (TextView(At(names_, i, 2)) == TextView(name)) return quenlark::Copy(At(values_, i, 3));
    }
    return OwnedText::StaticEmpty();
}

void NameValueList::SetValue(const char* name, const char* value) noexcept {
    for (std::size_t i = 1; i <= names_.size(); ++i) {
        if (TextView(At(names_, i, 4)) == TextView(name)) {
            CheckArrayIndex(values_.Get(), static_cast<std::int64_t>(i), kPlaceNameValueList, 5);
            values_.Set(i, quenlark::Copy(value));
            return;
        }
    }
    Add(name, value);
}

OwnedText NameValueList::ToFormText(bool escape) const noexcept {
    OwnedText form;
    for (std::size_t i = 1; i <= names_.size(); ++i) {
        const char* name = At(names_, i, 6);
        const char* value = At(values_, i, 7);
        if (escape) {
            form = ConcatTexts({form.Get(), UrlEncode(name, true).Get(), "=", UrlEncode(value, true).Get(), "&"});
        } else {
            form = ConcatTexts({form.Get(), name, "=", value, "&"});
        }
    }
    return TextLeft(form.Get(), TextLength32(form.Get()) - 1);
}

OwnedText NameValueList::ToHeaderText(bool escape) const noexcept {
    OwnedText lines;
    for (std::size_t i = 1; i <= names_.size(); ++i) {
        const char* value = At(values_, i, 9);
        const OwnedText escaped = escape ? UrlEncode(value, true) : OwnedText();
        lines = ConcatTexts({lines.Get(), At(names_, i, 8), ": ", escape ? escaped.Get() : value, "\r\n"});
    }
    return TextLeft(lines.Get(), TextLength32(lines.Get()) - 2);
}

void NameValueList::GetNames(OwnedTextArray& names) const noexcept { names = names_.DeepCopy(); }

void NameValueList::GetValues(OwnedTextArray& values) const noexcept { values = values_.DeepCopy(); }

void NameValueList::Clear() noexcept {
    names_ = SharedEmptyArray();
    values_ = SharedEmptyArray();
}

void NameValueList::Remove(const char* name) noexcept {
    for (std::size_t i = 1; i <= names_.size(); ++i) {
        if (TextView(At(names_, i, 10)) == TextView(name)) {
            CheckArrayIndex(values_.Get(), static_cast<std::int64_t>(i), kPlaceNameValueList, 11);
            names_.RemoveAt(i);
            values_.RemoveAt(i);
            return;
        }
    }
}

OwnedText NameValueList::ToJsonText() const noexcept {
    OwnedText json = OwnedText::CopyOf("{");
    for (std::size_t i = 1; i <= names_.size(); ++i) {
        json =
            ConcatTexts({json.Get(), "\"", At(names_, i, 12), "\":\"", EscapeQuotes(At(values_, i, 13)).Get(), "\","});
    }
    OwnedText trimmed = TrimEnds(json, ",");
    return ConcatTexts({trimmed.Get(), "}"});
}

OwnedText NameValueList::EscapeQuotes(const char* text) noexcept { return ReplacePairs(text, {{"\"", "\\\""}}); }

OwnedText NameValueList::TrimEnds(OwnedText& text, const char* piece) noexcept {
    const std::int32_t pieceLength = TextLength32(piece);
    if (pieceLength > 0) {
        if (TextView(TextRight(text.Get(), pieceLength).Get()) == TextView(piece)) {
            text = TextLeft(text.Get(), TextLength32(text.Get()) - pieceLength);
        }
        if (TextStartsWith(text.Get(), piece)) text = TextRight(text.Get(), TextLength32(text.Get()) - pieceLength);
    }
    return quenlark::Copy(text.Get());
}

}  // namespace quenlark
