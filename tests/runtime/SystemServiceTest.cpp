#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/Arrays.h"
#include "runtime/Failure.h"
#include "runtime/Shutdown.h"
#include "runtime/SupportLibrary.h"
#include "runtime/SystemService.h"
#include "runtime/Texts.h"
#include "support/FatalRecorder.h"

namespace quenlark {
namespace {

using testing_support::BoxRecorder;
using testing_support::ExpectFatalExit;

std::intptr_t Address(const void* p) { return reinterpret_cast<std::intptr_t>(p); }

template <typename Enum>
std::int32_t Code(Enum code) {
    return static_cast<std::int32_t>(code);
}
std::intptr_t Service(ServiceCode code, std::intptr_t a = 0, std::intptr_t b = 0) {
    return SystemService(Code(code), a, b);
}

TEST(SystemService, ConstantCodes) {
    EXPECT_EQ(Service(ServiceCode::kAnswerOne), 1);
    EXPECT_EQ(Service(ServiceCode::kAnswerFour), 4);
    EXPECT_EQ(Service(ServiceCode::kAnswerThree), 3);
    EXPECT_EQ(Service(ServiceCode::kIgnoredFirst, 7, 7), 0);
    EXPECT_EQ(Service(ServiceCode::kIgnoredSecond, 7, 7), 0);
    EXPECT_EQ(Service(ServiceCode::kDispatchMessages), 0);  // message dispatch with an empty queue
}

TEST(SystemService, UnsupportedCodeShowsItsBoxAndGivesZero) {
    BoxRecorder recorder;
    EXPECT_EQ(SystemService(2029, 0, 0), 0);
    ASSERT_EQ(recorder.boxes().size(), 1u);
    // 不支持系统功能函数2029. 请将此信息反馈给作者
    EXPECT_EQ(recorder.boxes()[0].text,
              "\xB2\xBB\xD6\xA7\xB3\xD6\xCF\xB5\xCD\xB3\xB9\xA6\xC4\xDC\xBA\xAF\xCA\xFD"
              "2029. "
              "\xC7\xEB\xBD\xAB\xB4\xCB\xD0\xC5\xCF\xA2\xB7\xB4\xC0\xA1\xB8\xF8\xD7\xF7\xD5\xDF");
    EXPECT_EQ(recorder.boxes()[0].caption, "ravelstone");
    EXPECT_EQ(recorder.boxes()[0].flags, 0x10u);
}

TEST(SystemService, ValueRecordToInteger) {
    auto record = [](std::uint64_t bits, std::uint32_t type) {
        std::vector<unsigned char> r(12);
        std::memcpy(r.data(), &bits, 8);
        std::memcpy(r.data() + 8, &type, 4);
        return r;
    };
    double d = -2.9;
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    auto r1 = record(bits, TC_DOUBLE);
    EXPECT_EQ(Service(ServiceCode::kValueRecordToInt, Address(r1.data())), -2);
    float f = 7.9f;
    std::uint32_t fbits;
    std::memcpy(&fbits, &f, 4);
    auto r2 = record(fbits, TC_FLOAT);
    EXPECT_EQ(Service(ServiceCode::kValueRecordToInt, Address(r2.data())), 7);
    auto r3 = record(0x1234567800000005ULL, TC_INT64);
    EXPECT_EQ(Service(ServiceCode::kValueRecordToInt, Address(r3.data())), 5);
    auto r4 = record(0xFFFFFFFFULL, TC_INT);
    EXPECT_EQ(Service(ServiceCode::kValueRecordToInt, Address(r4.data())), -1);
}

TEST(SystemService, MemoryCodesAllocateResizeAndFree) {
    auto* block = reinterpret_cast<unsigned char*>(Service(ServiceCode::kAllocate, 16));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[15], 0);
    block[0] = 42;
    block = reinterpret_cast<unsigned char*>(Service(ServiceCode::kReallocate, Address(block), 64));
    EXPECT_EQ(block[0], 42);
    EXPECT_EQ(Service(ServiceCode::kFree, Address(block)), 0);

    OwnedTextArray texts = OwnedTextArray::NewEmpty();
    texts.Append(OwnedText::CopyOf("freed by the service"));
    EXPECT_EQ(Service(ServiceCode::kFreeArray, TC_TEXT, Address(texts.Release())), 0);  // deep
    EXPECT_EQ(Service(ServiceCode::kFreeArray, TC_INT, Address(NewEmptyArray())), 0);   // shallow
    void* kept = NewEmptyArray();
    EXPECT_EQ(Service(ServiceCode::kFreeArray, TC_OBJECT, Address(kept)), 0);  // not a basic type: left alone
    RtFree(kept);
}

TEST(SystemService, SkipProgramNameFollowsTheQuotingRules) {
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\host.exe\" -x"), "-x");
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\host.exe\"-x"), "-x");
    EXPECT_STREQ(SkipProgramName("\"C:\\Program Files\\host.exe\"  two"), " two");  // only one space skipped
    EXPECT_STREQ(SkipProgramName("host.exe"), "");
    EXPECT_STREQ(SkipProgramName("host.exe a b"), "a b");
    EXPECT_STREQ(SkipProgramName("\"unterminated"), "");
    const char* line = "host.exe";
    EXPECT_EQ(SkipProgramName(line), line + 8);  // at its NUL
}

TEST(SystemService, ExecutablePathCodes) {
    const auto* file = reinterpret_cast<const char*>(Service(ServiceCode::kFileName));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(std::strchr(file, '\\'), nullptr);
#ifdef _WIN32
    const std::string name = file;
    EXPECT_EQ(name.substr(name.size() - 4), ".exe");
    const std::string directory = reinterpret_cast<const char*>(Service(ServiceCode::kDirectory));
    ASSERT_FALSE(directory.empty());
    EXPECT_NE(directory.back(), '\\');
    char buffer[260] = {};
    const auto* handed = reinterpret_cast<const char*>(Service(ServiceCode::kModulePath, 1, Address(buffer)));
    ASSERT_NE(handed, nullptr);
    EXPECT_EQ(std::string(buffer), directory + "\\");
    EXPECT_STREQ(handed, buffer);
    EXPECT_STREQ(reinterpret_cast<const char*>(Service(ServiceCode::kModulePath, 2002, Address(buffer))), file);
    EXPECT_EQ(Service(ServiceCode::kModulePath, 5, Address(buffer)), 0);
#endif
}

std::vector<std::intptr_t> g_forwarded;
std::intptr_t RT_STDCALL FakeService(std::int32_t code, std::intptr_t a, std::intptr_t b) {
    g_forwarded = {code, a, b};
    return 77;
}

TEST(LibraryNotify, StoresTheServiceEntryOnlyAtAttach) {
    EXPECT_EQ(LibraryNotify(Code(Notification::kAttach), Address(reinterpret_cast<void*>(&FakeService)), 0), 0);
    EXPECT_EQ(CallSystemService(Code(ServiceCode::kDispatchMessages), 5, 6), 77);
    EXPECT_EQ(g_forwarded, (std::vector<std::intptr_t>{Code(ServiceCode::kDispatchMessages), 5, 6}));
    EXPECT_EQ(LibraryNotify(2, 0, 0), -1);  // changes nothing
    EXPECT_EQ(CallSystemService(1, 2, 3), 77);
    EXPECT_EQ(LibraryNotify(Code(Notification::kUnload), 0, 0), 0);
    EXPECT_EQ(CallSystemService(1, 2, 3), 77);
    // Back to the runtime's own entry, as attach leaves it.
    EXPECT_EQ(LibraryNotify(Code(Notification::kAttach), Address(reinterpret_cast<void*>(&SystemService)), 0), 0);
    EXPECT_EQ(CallSystemService(Code(ServiceCode::kAnswerFour), 0, 0), 4);
}

TEST(RuntimeErrorText, TableCoversOneToEleven) {
    EXPECT_EQ(RuntimeErrorText(0), nullptr);
    EXPECT_EQ(RuntimeErrorText(12), nullptr);
    EXPECT_EQ(RuntimeErrorText(0xFFFFFFFFu), nullptr);
    // 9 holds full-width quotation marks: “多项选择”...
    EXPECT_EQ(std::string(RuntimeErrorText(9)).substr(0, 6), "\xA1\xB0\xB6\xE0\xCF\xEE");
    for (std::uint32_t n = 1; n <= 11; ++n) EXPECT_GT(std::strlen(RuntimeErrorText(n)), 10u) << n;
}

TEST(SystemServiceDeathTest, FatalServiceShowsTheRuntimeErrorTextAndExitsWithZero) {
    const auto record = ExpectFatalExit(0, [] { Service(ServiceCode::kFatalError, Address("broken invariant")); });
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, "Ravelstone RunTime Error:\r\n\r\nbroken invariant");
    EXPECT_EQ(record.boxes[0].caption, "ERROR");
    EXPECT_TRUE(record.shutdownRan);
    EXPECT_EQ(record.exitCode, 0);
}

// The box text has a fixed room; a longer text is cut before a character, not inside one.
// (One death test per case: a death test's child runs its case from the top.)
const std::string kFatalPrefix = "Ravelstone RunTime Error:\r\n\r\n";
const std::size_t kFatalRoom = kFatalServiceTextBytes - 1 - kFatalPrefix.size();

// "a" and then two-byte characters, longer than the room.
std::string LongFatalText() {
    std::string text = "a";
    while (text.size() <= kFatalRoom + 2) text += "\xD6\xD0";
    return text;
}

TEST(SystemServiceDeathTest, FatalServiceCutsALongTextBetweenCharacters) {
    ASSERT_EQ(kFatalRoom % 2, 0u) << "after the one-byte 'a', an even room ends on a lead byte";
    const std::string text = LongFatalText();
    const auto record = ExpectFatalExit(0, [&] { Service(ServiceCode::kFatalError, Address(text.c_str())); });
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kFatalPrefix + text.substr(0, kFatalRoom - 1));
}

TEST(SystemServiceDeathTest, FatalServiceKeepsATextThatFillsTheRoomExactly) {
    const std::string text = LongFatalText().substr(0, kFatalRoom - 1) + "c";
    const auto record = ExpectFatalExit(0, [&] { Service(ServiceCode::kFatalError, Address(text.c_str())); });
    ASSERT_EQ(record.boxes.size(), 1u);
    EXPECT_EQ(record.boxes[0].text, kFatalPrefix + text);
}

TEST(SystemServiceDeathTest, ExitServiceEndsWithTheGivenCodeAfterTheShutdownSequence) {
    const auto record = ExpectFatalExit(3, [] { Service(ServiceCode::kExit, 3); });
    EXPECT_TRUE(record.boxes.empty());
    EXPECT_TRUE(record.shutdownRan);
    EXPECT_EQ(record.exitCode, 3);
}

TEST(ShutdownDeathTest, TheSequenceRunsOnceEvenWhenAskedTwice) {
    const auto record = ExpectFatalExit(0, [] {
        RunShutdownSequence();
        RunShutdownSequence();  // as the detach after ExitProcess would
        RtExit(0);
    });
    EXPECT_EQ(record.shutdownCount, 1);
    EXPECT_EQ(record.exitCode, 0);
}

}  // namespace
}  // namespace quenlark
