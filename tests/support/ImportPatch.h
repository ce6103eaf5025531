// Points a module's import address table entry at another function: how tests and benchmarks
// watch or steer what a module (the DLL, or a program with the library linked in) calls.
#pragma once

#include <windows.h>

namespace quenlark::testing_support {

// Replaces the address that `module` calls for `dllName!function` and returns the one it held;
// null when the module does not import that function by name.
void* PatchImport(HMODULE module, const char* dllName, const char* function, void* replacement) noexcept;

}  // namespace quenlark::testing_support
