#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/UniqueResource.h"
#include "runtime/Memory.h"
#include "runtime/Owned.h"
#include "support/FatalRecorder.h"

namespace quenlark {
namespace {

using testing_support::ExpectFatalExit;

TEST(Memory, AllocZeroFillsAndReallocKeepsContent) {
    auto* block = static_cast<unsigned char*>(RtAlloc(64));
    for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], 0) << i;
    std::memset(block, 0x5A, 64);
    block = static_cast<unsigned char*>(RtRealloc(block, 4096));
    for (int i = 0; i < 64; ++i) ASSERT_EQ(block[i], 0x5A) << i;
    RtFree(block);
}

TEST(Memory, ReallocOfNullIsAZeroFilledAlloc) {
    auto* block = static_cast<unsigned char*>(RtRealloc(nullptr, 32));
    for (int i = 0; i < 32; ++i) ASSERT_EQ(block[i], 0);
    RtFree(block);
}

// Results are freed without asking where they came from, so every non-heap value that can
// appear where a block is expected must be ignored (a real free of one would crash or be
// reported by the sanitizer).
TEST(Memory, FreeIgnoresConstantsNullAndSmallValues) {
    RtFree(kEmptyText);
    RtFree(kEmptyArrayTemplate);
    RtFree(nullptr);
    RtFree(reinterpret_cast<void*>(1));
    RtFree(reinterpret_cast<void*>(0xFFFF));
    static const char literal[] = "a text constant of the program";
    RtFree(literal);
    EXPECT_STREQ(kEmptyText, "");
    EXPECT_EQ(kEmptyArrayTemplate[0], 1);
    EXPECT_EQ(kEmptyArrayTemplate[1], 0);
}

TEST(Memory, OwnersFreeTheirBlocksAndMayHoldTheStaticEmptyText) {
    OwnedText empty = OwnedText::StaticEmpty();
    EXPECT_EQ(empty.Get(), kEmptyText);
    OwnedText copy = OwnedText::CopyOf("abc");
    OwnedText moved = std::move(copy);
    EXPECT_EQ(copy.Get(), nullptr);
    EXPECT_STREQ(moved.Get(), "abc");
    moved = OwnedText::CopyOf("");  // frees "abc"; an allocated "" is not null
    ASSERT_NE(moved.Get(), nullptr);
    EXPECT_TRUE(moved.empty());
}

// Each freed or cleared value, in order.
std::vector<int> g_freed;
void FreeCounted(int* value) noexcept { g_freed.push_back(*value); }
struct Record {
    int held;
    bool initialised;
};
void InitRecord(Record* r) noexcept { *r = {0, true}; }
void ClearRecord(Record* r) noexcept {
    if (r->held) g_freed.push_back(r->held);
}

// An out-parameter slot (Put) gives up what it held first; the plain slot (Address) is for a
// callee that frees the old value itself, so the owner frees nothing there.
TEST(Memory, OwnersFreeWhatTheyGiveUpOnceAndOnlyThat) {
    g_freed.clear();
    int one = 1, two = 2, three = 3;
    UniqueResource<int*, &FreeCounted> owner = UniqueResource<int*, &FreeCounted>::Adopt(&one);
    *owner.Put() = &two;
    EXPECT_EQ(g_freed, std::vector<int>{1});
    EXPECT_EQ(*owner.Address(), &two);
    *owner.Address() = &three;  // as a callee that freed `two` itself
    EXPECT_EQ(owner.Release(), &three);
    EXPECT_FALSE(owner);
    EXPECT_EQ(g_freed, std::vector<int>{1});

    g_freed.clear();
    {
        UniqueStruct<Record, &InitRecord, &ClearRecord> record;
        EXPECT_TRUE(record->initialised);
        record.Put()->held = 4;
        record.Put()->held = 5;  // clears 4
        auto taken = UniqueStruct<Record, &InitRecord, &ClearRecord>::Adopt(record.Release());
        EXPECT_EQ(record->held, 0);  // left as when made
        EXPECT_EQ(taken->held, 5);
        record = std::move(taken);
        EXPECT_EQ(g_freed, std::vector<int>{4});
    }
    EXPECT_EQ(g_freed, (std::vector<int>{4, 5}));
}

TEST(Memory, OutOfMemoryTextIsCodePage936) {
    EXPECT_STREQ(kOutOfMemoryText, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3");  // 内存不足
    EXPECT_STREQ(kOutOfMemoryCaption, "error");
}

TEST(MemoryDeathTest, ExhaustedMemoryShowsTheBoxRunsShutdownAndExitsWithZero) {
    const auto record = ExpectFatalExit(0, [] {
        void* never = RtAlloc(std::numeric_limits<std::size_t>::max() / 2);
        std::fprintf(stderr, "allocation returned %p\n", never);
    });
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, "\xC4\xDA\xB4\xE6\xB2\xBB\xD7\xE3");
    EXPECT_EQ(record.boxes[0].caption, "error");
    EXPECT_EQ(record.boxes[0].flags, 0x10u);  // MB_ICONERROR
    EXPECT_TRUE(record.shutdownRan);
    EXPECT_EQ(record.exitCode, 0);
}

TEST(MemoryDeathTest, FailedReallocEndsTheSameWay) {
    const auto record = ExpectFatalExit(0, [] {
        void* block = RtAlloc(16);
        block = RtRealloc(block, std::numeric_limits<std::size_t>::max() / 2);
        std::fprintf(stderr, "realloc returned %p\n", block);
    });
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kOutOfMemoryText);
    EXPECT_TRUE(record.shutdownRan);
    EXPECT_EQ(record.exitCode, 0);
}

}  // namespace
}  // namespace quenlark
