// The one seam between the portable core and the operating system. The portable core
// (runtime, text, headers, cookies) calls only these functions; PlatformWin32.cpp backs them
// with Win32, PlatformHost.cpp with the C library so that the core builds and is tested
// natively.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define RT_STDCALL __stdcall
#else
#define RT_STDCALL
#endif

namespace quenlark::platform {

// Process heap. Both allocators return null on failure; the runtime decides what then.
void* HeapAllocate(std::size_t size, bool zeroFill) noexcept;
void* HeapReallocate(void* block, std::size_t size) noexcept;
void HeapRelease(void* block) noexcept;

// The module whose image holds the library's constants; null means the main executable.
void SetModuleBase(void* module) noexcept;
// True when the address lies in the loaded image of that module (both ends included).
bool IsInImage(const void* address) noexcept;
// False when the first `size` bytes at the address cannot be read.
bool IsReadable(const void* address, std::size_t size) noexcept;

// Message box flags, the values of MB_OK and MB_ICONERROR (MB_ICONSTOP): the portable core
// names them without <windows.h>.
inline constexpr unsigned kMessageBoxOk = 0x00;
inline constexpr unsigned kMessageBoxIconError = 0x10;

// MessageBoxA, or the hook installed by a test (TestSeam.h).
int ShowMessage(void* owner, const char* text, const char* caption, unsigned flags) noexcept;
// Ends the process: tells the test hook first, then ExitProcess.
[[noreturn]] void EndProcess(unsigned code) noexcept;

// COM on the loading thread, for the library's lifetime. The undoing pairs with the doing:
// only where CoInitialize succeeded (S_OK or S_FALSE; a thread already in the multithreaded
// apartment refuses), and only on that thread, since a CoUninitialize anywhere else would
// take away a host's own initialisation.
void InitializeCom() noexcept;
void UninitializeCom() noexcept;

// The value of an environment variable into `buffer` (NUL-terminated); its length, 0 when it
// is unset or empty, `size` or more when it does not fit.
std::size_t EnvironmentValue(const char* name, char* buffer, std::size_t size) noexcept;
// A line for the debugger (OutputDebugString; standard error natively).
void DebugOutput(const char* line) noexcept;

// Path of the host executable into `buffer` (NUL-terminated); returns its length, 0 on failure.
std::size_t ModuleFileName(char* buffer, std::size_t size) noexcept;
// The process command line as the system keeps it.
const char* CommandLine() noexcept;

// The system's code page conversions, under the code page module (CodePages.h) that every
// conversion goes through: the semantics of MultiByteToWideChar / WideCharToMultiByte with
// flags 0: bytes that the code page cannot decode become U+FFFD, characters it cannot encode
// become '?'. Code page 0 is the system's ANSI code page. With a null destination the size
// needed is returned; otherwise the count written, 0 when it does not fit or the code page is
// unknown.
std::size_t DecodeToUtf16(std::uint32_t codePage, const char* source, std::size_t sourceBytes, char16_t* destination,
                          std::size_t destinationUnits) noexcept;
std::size_t EncodeFromUtf16(std::uint32_t codePage, const char16_t* source, std::size_t sourceUnits, char* destination,
                            std::size_t destinationBytes) noexcept;

// Calling thread's window messages: see ProcessEvents in runtime/Events.h.
int PeekForMessage(bool* isQuit) noexcept;  // 0: queue empty; else 1 and *isQuit
void DispatchNextMessage() noexcept;
// A monotonic clock in microseconds (its start is arbitrary).
std::uint64_t MicrosecondCount() noexcept;
// Blocks until a message arrives for the thread (after it last looked at its queue) or
// `milliseconds` pass.
void WaitForMessage(std::uint32_t milliseconds) noexcept;

}  // namespace quenlark::platform
