// What both exports do around their worker, and the slot that keeps each export's last
// result alive for the host. Portable, so the lifetime rules are tested natively too.
#pragma once

#include <utility>

#include "runtime/Memory.h"
#include "runtime/Owned.h"

namespace quenlark {

// Owns the text that its export returned last. The host reads it until the next call of the
// same export and never frees it.
class ResultSlot {
public:
    // Releases the previous result, keeps `result` and returns it.
    char* Keep(OwnedText result) noexcept {
        text_ = std::move(result);
        return text_.Get();
    }
    // At shutdown. The slot is emptied too, so that no later release can free it again.
    void ReleaseHeld() noexcept { text_.Reset(); }
    [[nodiscard]] const char* Held() const noexcept { return text_.Get(); }

private:
    OwnedText text_;
};

// A copy of the host's text: the static empty text for null, else a new block.
[[nodiscard]] inline OwnedText DuplicateText(const char* text) noexcept {
    return text ? OwnedText::CopyOf(text) : OwnedText::StaticEmpty();
}

// Copy the argument, run the worker on the copy, release the copy, then replace the slot's
// previous result by the new one. The previous result is released only after the new one
// exists. Nothing escapes: a failure inside the worker leaves the static empty text.
template <typename Worker>
char* CallExport(ResultSlot& slot, const char* argument, Worker&& worker) noexcept {
    try {
        OwnedText copy = DuplicateText(argument);
        OwnedText result = worker(static_cast<const OwnedText&>(copy));
        copy.Reset();
        return slot.Keep(std::move(result));
    } catch (...) {
        return slot.Keep(OwnedText::StaticEmpty());
    }
}

}  // namespace quenlark
