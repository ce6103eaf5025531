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

// True while the block is a live allocation (only where the allocator can say so).
bool IsLive(const void* block) {
#ifdef QUENLARK_CAN_ASK_THE_ALLOCATOR
    return __sanitizer_get_ownership(block) != 0;
#else
    (void)block;
    return true;
#endif
}

TEST(ExportCall, WorkerGetsACopyOfTheArgumentAndNullAsTheEmptyText) {
    ResultSlot slot;
    std::string seen;
    const char* seenPointer = nullptr;
    const char argument[] = "https://share.example.test/s/abc";
    char* result = CallExport(slot, argument, [&](const OwnedText& url) {
        seen = url.c_str();
        seenPointer = url.get();
        return OwnedText::CopyOf("done");
    });
    EXPECT_EQ(seen, argument);
    EXPECT_NE(seenPointer, argument);  // a copy, never the host's own buffer
    EXPECT_STREQ(result, "done");
    EXPECT_EQ(slot.Held(), result);

    CallExport(slot, nullptr, [&](const OwnedText& url) {
        seenPointer = url.get();
        return OwnedText::StaticEmpty();
    });
    EXPECT_EQ(seenPointer, EmptyTextLiteral);
    slot.ReleaseHeld();
}

TEST(ExportCall, PreviousResultStaysValidUntilTheNextResultExists) {
    ResultSlot slot;
    char* first = CallExport(slot, "1", [](const OwnedText&) { return OwnedText::CopyOf("first result"); });
    std::string readDuringSecond;
    char* second = CallExport(slot, "2", [&](const OwnedText&) {
        readDuringSecond = first;  // the host may still hold the first pointer while we work
        EXPECT_TRUE(IsLive(first));
        return OwnedText::CopyOf("second result");
    });
    EXPECT_EQ(readDuringSecond, "first result");
    EXPECT_STREQ(second, "second result");
#ifdef QUENLARK_CAN_ASK_THE_ALLOCATOR
    EXPECT_FALSE(IsLive(first));  // released once the second result was kept
#endif
    slot.ReleaseHeld();
}

TEST(ExportCall, TwoSlotsDoNotDisturbEachOther) {
    ResultSlot location;
    ResultSlot direct;
    char* where = CallExport(location, "u", [](const OwnedText&) { return OwnedText::CopyOf("https://files.example.test/f"); });
    CallExport(direct, "s", [](const OwnedText&) { return OwnedText::CopyOf("a"); });
    CallExport(direct, "s", [](const OwnedText&) { return OwnedText::CopyOf("b"); });
    EXPECT_STREQ(where, "https://files.example.test/f");
    EXPECT_TRUE(IsLive(where));
    location.ReleaseHeld();
    direct.ReleaseHeld();
}

TEST(ExportCall, AFailingWorkerLeavesTheEmptyTextAndReleasesTheOldResult) {
    ResultSlot slot;
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::CopyOf("old"); });
    char* result = CallExport(slot, "x", [](const OwnedText&) -> OwnedText { throw std::runtime_error("worker failed"); });
    ASSERT_NE(result, nullptr);
    EXPECT_STREQ(result, "");
    EXPECT_EQ(result, EmptyTextLiteral);
    slot.ReleaseHeld();
}

TEST(ExportCall, StaticEmptyResultsAndRepeatedReleaseAreSafe) {
    ResultSlot slot;
    slot.ReleaseHeld();  // never called: releases nothing
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::StaticEmpty(); });
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::StaticEmpty(); });
    EXPECT_EQ(slot.Held(), EmptyTextLiteral);
    CallExport(slot, "x", [](const OwnedText&) { return OwnedText::CopyOf("heap"); });
    slot.ReleaseHeld();
    slot.ReleaseHeld();  // the slot was emptied: no second free
    EXPECT_EQ(slot.Held(), nullptr);
}

}  // namespace
}  // namespace quenlark
