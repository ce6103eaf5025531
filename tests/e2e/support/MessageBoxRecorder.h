// Records the message boxes that a loaded DLL shows, by pointing the DLL's import address table
// entry for USER32!MessageBoxA at a recording function. Only calls made by that module are
// caught; every recorded box is answered with OK at once.
#pragma once

#include <windows.h>

#include <vector>

#include "support/RecordedBox.h"

namespace quenlark::testing_support {

// Replaces the address that `module` calls for `dllName!function` and returns the one it held;
// null when the module does not import that function by name.
void* PatchImport(HMODULE module, const char* dllName, const char* function, void* replacement) noexcept;

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
