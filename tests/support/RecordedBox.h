// A message box as a test saw it, and a recorder that takes the place of the message box in
// this process through the test seam.
#pragma once

#include <string>
#include <vector>

#include "platform/TestSeam.h"

namespace quenlark::testing_support {

struct RecordedBox {
    void* owner = nullptr;
    std::string caption;
    std::string text;  // as passed: code page 936 bytes
    unsigned flags = 0;
};

// Records every box shown while it lives and answers each with `button` (1 is OK, 7 is No,
// 0 a box that could not be shown). One at a time per process.
class BoxRecorder {
public:
    explicit BoxRecorder(int button = 1) {
        platform::SetMessageBoxHook([this, button](void* owner, const char* text, const char* caption, unsigned flags) {
            boxes_.push_back({owner, caption ? caption : "", text ? text : "", flags});
            return button;
        });
    }
    ~BoxRecorder() { platform::SetMessageBoxHook(nullptr); }
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    [[nodiscard]] const std::vector<RecordedBox>& boxes() const { return boxes_; }

private:
    std::vector<RecordedBox> boxes_;
};

}  // namespace quenlark::testing_support
