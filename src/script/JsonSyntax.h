// A strict check of JSON text syntax (RFC 8259), made before a text is handed to a script
// engine to evaluate. The engine would run any script it is given; this check lets through
// only texts that are one JSON value and nothing else, so an answer from a server cannot
// bring script of its own. It works on the UTF-16 text that the engine will see.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace quenlark {

enum class JsonValueKind { Object, Array, String, Number, Literal };

// Deeper nesting is refused: it could only serve to exhaust a parser's stack. The script
// engine parses and evaluates a nested literal recursively on the caller's thread, whose
// stack may be a 32-bit host's 1 MiB: 64 levels leave it 16 KiB a level, far more than a
// level takes, while the service's answers nest one or two levels deep.
inline constexpr std::size_t kMaxJsonDepth = 64;

// The kind of the text's one top-level value, or nullopt when the text is not exactly one
// JSON value with optional whitespace (space, tab, LF, CR) around it.
[[nodiscard]] std::optional<JsonValueKind> CheckJsonText(std::u16string_view text) noexcept;

}  // namespace quenlark
