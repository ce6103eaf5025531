#include "text/ReplacePairs.h"

#include "runtime/TextCommands.h"

namespace quenlark {

OwnedText ReplacePairs(const char* text, std::initializer_list<ReplacePair> pairs,
                       const ReplacePairsOptions& options) noexcept {
    OwnedText result = text ? OwnedText::CopyOf(text) : OwnedText();
    std::optional<std::int32_t> start = options.start;
    if (start && *start == 0) start = 1;
    int applied = 0;
    for (const ReplacePair& pair : pairs) {
        if (++applied > 5) break;  // five pairs at the most
        if (!pair.find || !*pair.find) continue;
        result = ReplaceSubText(result.Get(), pair.find,
                                {.replacement = pair.replacement,
                                 .start = start,
                                 .count = options.count,
                                 .caseSensitive = options.caseSensitive});
    }
    return result;
}

}  // namespace quenlark
