// Native back-end of the platform seam, for building and testing the portable core on the
// development machine. It has no window system: message boxes go to stderr (or to the test
// hook) and the message queue is always empty.
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/TestSeamState.h"

// Set by the linker around the loaded executable image.
extern "C" const char __executable_start[];
extern "C" const char _end[];

namespace quenlark::platform {

void* HeapAllocate(std::size_t size, bool zeroFill) noexcept {
    // malloc(0) may return null; the runtime must not mistake that for exhaustion.
    if (size == 0) size = 1;
    return zeroFill ? std::calloc(1, size) : std::malloc(size);
}

void* HeapReallocate(void* block, std::size_t size) noexcept { return std::realloc(block, size ? size : 1); }

void HeapRelease(void* block) noexcept { std::free(block); }

void SetModuleBase(void*) noexcept {}

bool IsInImage(const void* address) noexcept {
    const auto a = reinterpret_cast<std::uintptr_t>(address);
    return a >= reinterpret_cast<std::uintptr_t>(__executable_start) && a <= reinterpret_cast<std::uintptr_t>(_end);
}

bool IsReadable(const void*, std::size_t) noexcept { return true; }

int ShowMessage(void* owner, const char* text, const char* caption, unsigned flags) noexcept {
    int result = 0;
    if (CallMessageBoxHook(owner, text, caption, flags, result)) return result;
    std::fprintf(stderr, "[%s] %s\n", caption ? caption : "", text ? text : "");
    return 1;  // IDOK
}

void EndProcess(unsigned code) noexcept {
    CallExitHook(code);
    std::fflush(nullptr);
    std::_Exit(static_cast<int>(code));
}

void InitializeCom() noexcept {}
void UninitializeCom() noexcept {}

std::size_t ModuleFileName(char* buffer, std::size_t size) noexcept {
    if (size == 0) return 0;
    const ssize_t n = ::readlink("/proc/self/exe", buffer, size - 1);
    if (n <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[n] = '\0';
    return static_cast<std::size_t>(n);
}

const char* CommandLine() noexcept {
    static const std::string line = [] {
        std::string joined;
        if (FILE* f = std::fopen("/proc/self/cmdline", "rb")) {
            int c;
            while ((c = std::fgetc(f)) != EOF) joined.push_back(c ? static_cast<char>(c) : ' ');
            std::fclose(f);
        }
        while (!joined.empty() && joined.back() == ' ') joined.pop_back();
        return joined;
    }();
    return line.c_str();
}

std::size_t EnvironmentValue(const char* name, char* buffer, std::size_t size) noexcept {
    if (size) buffer[0] = '\0';
    const char* value = std::getenv(name);
    if (!value || !*value) return 0;
    const std::size_t length = std::strlen(value);
    if (length >= size) return length + 1;
    std::memcpy(buffer, value, length + 1);
    return length;
}

void DebugOutput(const char* line) noexcept { std::fputs(line, stderr); }

int PeekForMessage(bool* isQuit) noexcept {
    *isQuit = false;
    return 0;
}

void DispatchNextMessage() noexcept {}

std::uint64_t MicrosecondCount() noexcept {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

void WaitForMessage(std::uint32_t milliseconds) noexcept {
    const timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    ::nanosleep(&pause, nullptr);
}

}  // namespace quenlark::platform
