#include "support/ProcessUsage.h"

#include <windows.h>
#include <winternl.h>

#include <vector>

namespace quenlark::testing_support {

std::size_t ReadPrivateBytes() {
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<const char*>(nullptr); ::VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return total;
}

namespace {

// One entry of the system handle table (SystemHandleInformation, class 16).
struct SystemHandleEntry {
    ULONG processId;
    UCHAR objectType;
    UCHAR flags;
    USHORT handle;
    PVOID object;
    ACCESS_MASK access;
};
struct SystemHandleTable {
    ULONG count;
    SystemHandleEntry entries[1];
};

std::size_t OpenHandles() {
    DWORD count = 0;
    if (::GetProcessHandleCount(::GetCurrentProcess(), &count) && count > 0) return count;
    using QueryFunction = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    constexpr ULONG kSystemHandleInformation = 16;
    constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<char> buffer(1 << 20);
    NTSTATUS status;
    ULONG needed = 0;
    while ((status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kInfoLengthMismatch) {
        buffer.resize(buffer.size() * 2);
    }
    if (status < 0) return 0;
    const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
    const DWORD self = ::GetCurrentProcessId();
    std::size_t mine = 0;
    for (ULONG i = 0; i < table->count; ++i) mine += table->entries[i].processId == self;
    return mine;
}

}  // namespace

ProcessUsage ReadProcessUsage() { return {ReadPrivateBytes(), OpenHandles()}; }

PeakPrivateBytes::PeakPrivateBytes(DWORD everyMs) : everyMs_(everyMs) {
    started_ = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    // A small stack: wine commits a thread's whole stack, which would count as private bytes.
    thread_ =
        ::CreateThread(nullptr, 64 * 1024, &PeakPrivateBytes::Run, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (thread_) ::WaitForSingleObject(started_, INFINITE);
    ::CloseHandle(started_);
    baseline_ = ReadPrivateBytes();
    Sample();
}

PeakPrivateBytes::~PeakPrivateBytes() { Stop(); }

std::size_t PeakPrivateBytes::Stop() {
    if (thread_) {
        stop_ = true;
        ::WaitForSingleObject(thread_, INFINITE);
        ::CloseHandle(thread_);
        thread_ = nullptr;
        Sample();
    }
    return peak_;
}

DWORD WINAPI PeakPrivateBytes::Run(void* self) {
    auto* sampler = static_cast<PeakPrivateBytes*>(self);
    ::SetEvent(sampler->started_);
    while (!sampler->stop_) {
        sampler->Sample();
        ::Sleep(sampler->everyMs_);
    }
    return 0;
}

void PeakPrivateBytes::Sample() {
    const std::size_t now = ReadPrivateBytes();
    std::size_t seen = peak_;
    while (now > seen && !peak_.compare_exchange_weak(seen, now)) {
    }
}

}  // namespace quenlark::testing_support
