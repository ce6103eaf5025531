// What the process holds, for leak checks: private committed memory and open handles. Both
// are read in ways that also work under wine, where GetProcessMemoryInfo and
// GetProcessHandleCount read 0.
#pragma once

#include <cstddef>

namespace quenlark::testing_support {

struct ProcessUsage {
    std::size_t privateBytes = 0;  // committed MEM_PRIVATE regions, as VirtualQuery reports them
    std::size_t handles = 0;       // 0 when the count cannot be read
};

ProcessUsage ReadProcessUsage();

}  // namespace quenlark::testing_support
