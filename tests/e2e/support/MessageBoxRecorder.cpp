#include "e2e/support/MessageBoxRecorder.h"

#include <utility>

namespace quenlark::testing_support {

namespace {

std::vector<RecordedBox>& Boxes() {
    static std::vector<RecordedBox> boxes;
    return boxes;
}

int WINAPI RecordMessageBox(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    Boxes().push_back({owner, caption ? caption : "", text ? text : "", flags});
    return IDOK;
}

}  // namespace

MessageBoxRecorder::MessageBoxRecorder(HMODULE module) : module_(module) {
    Boxes().clear();
    original_ = PatchImport(module, "user32.dll", "MessageBoxA", reinterpret_cast<void*>(&RecordMessageBox));
}

MessageBoxRecorder::~MessageBoxRecorder() {
    if (original_) (void)PatchImport(module_, "user32.dll", "MessageBoxA", original_);
}

std::vector<RecordedBox> MessageBoxRecorder::Take() { return std::exchange(Boxes(), {}); }

}  // namespace quenlark::testing_support
