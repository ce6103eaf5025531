#include "script/JsonSyntax.h"

namespace quenlark {

namespace {

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHexDigit(char16_t c) { return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'); }

// Recursive descent over the grammar of RFC 8259, section 2 to 7. Every step either advances
// or fails, so it ends on any input.
class JsonChecker {
public:
    explicit JsonChecker(std::u16string_view text) : text_(text) {}

    std::optional<JsonValueKind> Text() {
        SkipWhitespace();
        const std::optional<JsonValueKind> kind = Value(0);
        SkipWhitespace();
        if (!kind || at_ != text_.size()) return std::nullopt;
        return kind;
    }

private:
    [[nodiscard]] char16_t Peek() const { return at_ < text_.size() ? text_[at_] : u'\0'; }
    [[nodiscard]] bool AtEnd() const { return at_ >= text_.size(); }

    bool Take(char16_t c) {
        if (AtEnd() || text_[at_] != c) return false;
        ++at_;
        return true;
    }

    void SkipWhitespace() {
        while (!AtEnd() && (text_[at_] == u' ' || text_[at_] == u'\t' || text_[at_] == u'\n' || text_[at_] == u'\r')) {
            ++at_;
        }
    }

    std::optional<JsonValueKind> Value(std::size_t depth) {
        switch (Peek()) {
            case u'{':
                return Container(depth, u'}', true) ? std::optional(JsonValueKind::Object) : std::nullopt;
            case u'[':
                return Container(depth, u']', false) ? std::optional(JsonValueKind::Array) : std::nullopt;
            case u'"':
                return String() ? std::optional(JsonValueKind::String) : std::nullopt;
            case u't':
                return Word(u"true");
            case u'f':
                return Word(u"false");
            case u'n':
                return Word(u"null");
            default:
                return Number() ? std::optional(JsonValueKind::Number) : std::nullopt;
        }
    }

    std::optional<JsonValueKind> Word(std::u16string_view word) {
        if (text_.substr(at_, word.size()) != word) return std::nullopt;
        at_ += word.size();
        return JsonValueKind::Literal;
    }

    // An object (members "name": value) or an array (values), after its opening bracket.
    bool Container(std::size_t depth, char16_t close, bool members) {
        if (depth + 1 > kMaxJsonDepth) return false;
        ++at_;
        SkipWhitespace();
        if (Take(close)) return true;
        for (;;) {
            SkipWhitespace();
            if (members) {
                if (Peek() != u'"' || !String()) return false;
                SkipWhitespace();
                if (!Take(u':')) return false;
                SkipWhitespace();
            }
            if (!Value(depth + 1)) return false;
            SkipWhitespace();
            if (Take(close)) return true;
            if (!Take(u',')) return false;
        }
    }

    bool String() {
        ++at_;  // the opening quote
        while (!AtEnd()) {
            const char16_t c = text_[at_++];
            if (c == u'"') return true;
            if (c < 0x20) return false;  // control characters must be escaped
            if (c != u'\\') continue;
            const char16_t e = Peek();
            ++at_;
            if (e == u'u') {
                for (int i = 0; i < 4; ++i, ++at_) {
                    if (!IsHexDigit(Peek())) return false;
                }
            } else if (std::u16string_view(u"\"\\/bfnrt").find(e) == std::u16string_view::npos || e == u'\0') {
                return false;
            }
        }
        return false;
    }

    // -? (0 | [1-9][0-9]*) (.[0-9]+)? ([eE][+-]?[0-9]+)?
    bool Number() {
        Take(u'-');
        if (Take(u'0')) {
            // no further integer digits after a leading zero
        } else if (IsDigit(Peek())) {
            while (IsDigit(Peek())) ++at_;
        } else {
            return false;
        }
        if (Take(u'.') && !Digits()) return false;
        if ((Take(u'e') || Take(u'E'))) {
            if (!Take(u'+')) Take(u'-');
            if (!Digits()) return false;
        }
        return true;
    }

    bool Digits() {
        if (!IsDigit(Peek())) return false;
        while (IsDigit(Peek())) ++at_;
        return true;
    }

    std::u16string_view text_;
    std::size_t at_ = 0;
};

}  // namespace

std::optional<JsonValueKind> CheckJsonText(std::u16string_view text) noexcept { return JsonChecker(text).Text(); }

}  // namespace quenlark
