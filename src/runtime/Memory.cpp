#include "runtime/Memory.h"

#include "platform/Platform.h"
#include "runtime/Failure.h"

namespace quenlark {

const char kEmptyText[1] = "";
const std::int32_t kEmptyArrayTemplate[2] = {1, 0};

const char kOutOfMemoryText[] = "内存不足";
const char kOutOfMemoryCaption[] = "error";

namespace {

[[noreturn]] void OutOfMemory() noexcept {
    platform::ShowMessage(nullptr, kOutOfMemoryText, kOutOfMemoryCaption, platform::kMessageBoxIconError);
    RtExit(0);
}

void* Checked(void* block) noexcept {
    if (!block) OutOfMemory();
    return block;
}

}  // namespace

void* RtAlloc(std::size_t size) noexcept { return Checked(platform::HeapAllocate(size, true)); }

void* RtAllocRaw(std::size_t size) noexcept { return Checked(platform::HeapAllocate(size, false)); }

void* RtRealloc(void* block, std::size_t size) noexcept {
    if (!block) return RtAlloc(size);
    return Checked(platform::HeapReallocate(block, size));
}

void RtFree(const void* block) noexcept {
    if (reinterpret_cast<std::uintptr_t>(block) <= 0xFFFF) return;
    if (platform::IsInImage(block)) return;
    if (!platform::IsReadable(block, 8)) return;
    platform::HeapRelease(const_cast<void*>(block));
}

}  // namespace quenlark
