// Records the message boxes that a loaded DLL shows, by pointing the DLL's import address table
// entry for USER32!MessageBoxA at a recording function. Only calls made by that module are
// caught; every recorded box is answered with OK at once.
#pragma once

#include <windows.h>

#include <vector>

#include "support/ImportPatch.h"
#include "support/RecordedBox.h"

namespace quenlark::testing_support {

class MessageBoxRecorder {
public:
    // One recorder at a time per process.
    explicit MessageBoxRecorder(HMODULE module);
    ~MessageBoxRecorder();  // restores the import
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    [[nodiscard]] bool Installed() const { return original_ != nullptr; }
    // The boxes shown since the last Take(), oldest first.
    [[nodiscard]] std::vector<RecordedBox> Take();

private:
    HMODULE module_;
    void* original_ = nullptr;
};

}  // namespace quenlark::testing_support
