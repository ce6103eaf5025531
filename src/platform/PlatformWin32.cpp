// Win32 back-end of the platform seam.
#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <cstring>

#include "platform/Platform.h"
#include "platform/TestSeamState.h"

namespace quenlark::platform {

namespace {

HANDLE Heap() noexcept {
    // Taken on first use, not at attach, so that allocations made before DllMain runs (by
    // static initialisers) work too.
    static HANDLE heap = ::GetProcessHeap();
    return heap;
}

void* g_moduleBase = nullptr;

struct ImageRange {
    std::uintptr_t first = 0;
    std::uintptr_t last = 0;
};

ImageRange ComputeImageRange() noexcept {
    auto* base = static_cast<const unsigned char*>(g_moduleBase ? g_moduleBase : ::GetModuleHandleA(nullptr));
    ImageRange range;
    if (!base) return range;
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    range.first = reinterpret_cast<std::uintptr_t>(base);
    range.last = range.first + nt->OptionalHeader.SizeOfImage;
    return range;
}

}  // namespace

void* HeapAllocate(std::size_t size, bool zeroFill) noexcept {
    return ::HeapAlloc(Heap(), zeroFill ? HEAP_ZERO_MEMORY : 0, size);
}

void* HeapReallocate(void* block, std::size_t size) noexcept { return ::HeapReAlloc(Heap(), 0, block, size); }

void HeapRelease(void* block) noexcept { ::HeapFree(Heap(), 0, block); }

void SetModuleBase(void* module) noexcept { g_moduleBase = module; }

bool IsInImage(const void* address) noexcept {
    // Computed on first use: by then the module handle of the DLL has been saved at attach.
    static const ImageRange range = ComputeImageRange();
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    return a >= range.first && a <= range.last;
}

bool IsReadable(const void* address, std::size_t size) noexcept { return ::IsBadReadPtr(address, size) == FALSE; }

int ShowMessage(void* owner, const char* text, const char* caption, unsigned flags) noexcept {
    int result = 0;
    if (CallMessageBoxHook(owner, text, caption, flags, result)) return result;
    return ::MessageBoxA(static_cast<HWND>(owner), text, caption, flags);
}

void EndProcess(unsigned code) noexcept {
    CallExitHook(code);
    ::ExitProcess(code);
}

namespace {
// The thread whose CoInitialize succeeded at load; 0 when none did.
std::atomic<DWORD> g_comThread{0};
}  // namespace

void InitializeCom() noexcept {
    if (SUCCEEDED(::CoInitialize(nullptr))) g_comThread.store(::GetCurrentThreadId());
}

void UninitializeCom() noexcept {
    DWORD self = ::GetCurrentThreadId();
    if (g_comThread.compare_exchange_strong(self, 0)) ::CoUninitialize();
}

std::size_t ModuleFileName(char* buffer, std::size_t size) noexcept {
    const DWORD n = ::GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
    if (n == 0 || n >= size) {
        if (size) buffer[0] = '\0';
        return 0;
    }
    return n;
}

const char* CommandLine() noexcept { return ::GetCommandLineA(); }

std::size_t EnvironmentValue(const char* name, char* buffer, std::size_t size) noexcept {
    if (size) buffer[0] = '\0';
    return ::GetEnvironmentVariableA(name, buffer, static_cast<DWORD>(size));
}

void DebugOutput(const char* line) noexcept { ::OutputDebugStringA(line); }

int PeekForMessage(bool* isQuit) noexcept {
    MSG msg;
    if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return 0;
    *isQuit = msg.message == WM_QUIT;
    return 1;
}

void DispatchNextMessage() noexcept {
    MSG msg;
    if (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

std::uint64_t MicrosecondCount() noexcept {
    // The counter's frequency is fixed at boot; split the product so that it cannot overflow.
    LARGE_INTEGER frequency{}, count{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&count);
    const auto ticks = static_cast<std::uint64_t>(count.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000000u + ticks % perSecond * 1000000u / perSecond;
}

void WaitForMessage(std::uint32_t milliseconds) noexcept {
    // Only input that arrived since the thread last looked at its queue wakes the wait: a
    // WM_QUIT left queued for the host must not turn the wait into a spin.
    ::MsgWaitForMultipleObjectsEx(0, nullptr, milliseconds, QS_ALLINPUT, 0);
}

}  // namespace quenlark::platform
