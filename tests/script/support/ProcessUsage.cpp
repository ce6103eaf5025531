#include "script/support/ProcessUsage.h"

#include <windows.h>
#include <winternl.h>

#include <vector>

namespace quenlark::testing_support {

namespace {

std::size_t PrivateCommittedBytes() {
    std::size_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<const char*>(nullptr); ::VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        if (region.RegionSize == 0) break;
    }
    return total;
}

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

ProcessUsage ReadProcessUsage() { return {PrivateCommittedBytes(), OpenHandles()}; }

}  // namespace quenlark::testing_support
