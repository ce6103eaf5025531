#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "export/ExportCall.h"

#if defined(__SANITIZE_ADDRESS__)
// From the AddressSanitizer runtime: non-zero while the block is a live allocation.
extern "C" int __sanitizer_get_ownership(const volatile void* p);
#define QUENLARK_CAN_ASK_THE_ALLOCATOR 1
#endif

namespace quenlark {
namespace {

#ifdef QUENLARK_CAN_ASK_THE_ALLOCATOR
// True while the block is a live allocation. Only the sanitizer's allocator can say so: the
// tests that need to know skip themselves elsewhere.
bool IsLive(const void* block) { return __sanitizer_get_ownership(block) != 0; }
#endif

TEST(ExportCall, WorkerGetsACopyOfTheArgumentAndNullAsTheEmptyText) {
    ResultSlot slot;
    std::string seen;
    const char* seenPointer = nullptr;
    const char argument[] = "https://share.example.test/s/abc";
    char* result = CallExport(slot, argument, [&](const OwnedText& url) {
        seen = url.c_str();
        seenPointer = url.Get();
        return OwnedText::CopyOf("done");
    });
    EXPECT_EQ(seen, argument);
    EXPECT_NE(seenPointer, argument);  // a copy, never the host's own buffer
    EXPECT_STREQ(result, "done");
    EXPECT_EQ(slot.Held(), result);

    CallExport(slot, nullptr, [&](const OwnedText& url) {
        seenPointer = url.Get();
        return OwnedText::StaticEmpty();
    });
    EXPECT_EQ(seenPointer, kEmptyText);
    slot.ReleaseHeld();
}

TEST(ExportCall, PreviousResultStaysValidUntilTheNextResultExists) {
    ResultSlot slot;
    char* first = CallExport(slot, "1", [](const OwnedText&) { return OwnedText::CopyOf("first result"); });
    std::string readDuringSecond;
    char* second = CallExport(slot, "2", [&](const OwnedText&) {
        readDuringSecond = first;  // the host may still hold the first pointer while we work
        return OwnedText::CopyOf("second result");
    });
    EXPECT_EQ(readDuringSecond, "first result");
    EXPECT_STREQ(second, "second result");
    slot.ReleaseHeld();
}

TEST(ExportCall, TwoSlotsDoNotDisturbEachOther) {
    ResultSlot location;
    ResultSlot direct;
    char* where =
        CallExport(location, "u", [](const OwnedText&) { return OwnedText::CopyOf("https://files.example.test/f"); });
    CallExport(direct, "s", [](const OwnedText&) { return OwnedText::CopyOf("a"); });
    CallExport(direct, "s", [](const OwnedText&) { return OwnedText::CopyOf("b"); });
    EXPECT_STREQ(where, "https://files.example.test/f");
    location.ReleaseHeld();
    direct.ReleaseHeld();
}

// Each result is freed exactly when its slot takes the next one, never while the host may read
// it, and never by another slot.
TEST(ExportCall, ResultBlocksLiveUntilTheirSlotKeepsTheNextResult) {
#ifndef QUENLARK_CAN_ASK_THE_ALLOCATOR
    GTEST_SKIP() << "needs AddressSanitizer to tell a live block from a freed one";
#else
    ResultSlot slot;
    ResultSlot other;
    char* first = CallExport(slot, "1", [](const OwnedText&) { return OwnedText::CopyOf("first result"); });
    bool liveDuringSecond = false;
    char* second = CallExport(slot, "2", [&](const OwnedText&) {
        liveDuringSecond = IsLive(first);
        return OwnedText::CopyOf("second result");
    });
    EXPECT_TRUE(liveDuringSecond);
    EXPECT_FALSE(IsLive(first));
    CallExport(other, "a", [](const OwnedText&) { return OwnedText::CopyOf("a"); });
    CallExport(other, "b", [](const OwnedText&) { return OwnedText::CopyOf("b"); });
    EXPECT_TRUE(IsLive(second));  // the other slot's replacements leave it alone

    CallExport(slot, "x", [](const OwnedText&) -> OwnedText { throw std::runtime_error("worker failed"); });
    EXPECT_FALSE(IsLive(second));  // a failing worker still releases the old result
    slot.ReleaseHeld();
    other.ReleaseHeld();
#endif
}

TEST(ExportCall, AFailingWorkerLeavesTheEmptyTextAndReleasesTheOldResult) {
    ResultSlot slot;
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::CopyOf("old"); });
    char* result =
        CallExport(slot, "x", [](const OwnedText&) -> OwnedText { throw std::runtime_error("worker failed"); });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "");
    EXPECT_EQ(result, kEmptyText);
    slot.ReleaseHeld();
}

TEST(ExportCall, StaticEmptyResultsAndRepeatedReleaseAreSafe) {
    ResultSlot slot;
    slot.ReleaseHeld();  // never called: releases nothing
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::StaticEmpty(); });
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::StaticEmpty(); });
    EXPECT_EQ(slot.Held(), kEmptyText);
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::CopyOf("heap"); });
    slot.ReleaseHeld();
    slot.ReleaseHeld();  // the slot was emptied: no second free
    EXPECT_EQ(slot.Held(), nullptr);
}

}  // namespace
}  // namespace quenlark
