#include "text/TextBuilder.h"

#include <algorithm>
#include <cstring>

namespace quenlark {

OwnedText JoinedText(std::initializer_list<std::string_view> parts) noexcept {
    std::size_t total = 0;
    for (const std::string_view part : parts) total += part.size();
    TextBuilder text;
    text.Reserve(total);
    for (const std::string_view part : parts) text.Append(part);
    return text.Take();
}

void TextBuilder::Reserve(std::size_t bytes) noexcept {
    if (text_ && bytes < capacity_) return;
    capacity_ = bytes + 1;  // and the NUL
    text_.Reset(static_cast<char*>(RtRealloc(text_.Release(), capacity_)));
}

void TextBuilder::Append(std::string_view bytes) noexcept {
    if (!text_ || bytes.size() >= capacity_ - length_) {
        Reserve(std::max({length_ + bytes.size(), 2 * capacity_, std::size_t{63}}));
    }
    if (!bytes.empty()) std::memcpy(text_.Get() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
}

void TextBuilder::Truncate(std::size_t length) noexcept { length_ = std::min(length, length_); }

OwnedText TextBuilder::Take() noexcept {
    if (!text_) return {};
    char* text = text_.Release();
    if (length_ + 1 != capacity_) text = static_cast<char*>(RtRealloc(text, length_ + 1));
    text[length_] = '\0';
    length_ = capacity_ = 0;
    return OwnedText::Adopt(text);
}

}  // namespace quenlark
