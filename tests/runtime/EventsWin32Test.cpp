#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "runtime/Events.h"
#include "runtime/SupportLibrary.h"
#include "runtime/SystemService.h"

namespace quenlark {
namespace {

constexpr UINT kChain = WM_APP + 1;  // its handler posts kChain + 1, whose handler posts kChain + 2
constexpr UINT kPlain = WM_APP + 10;

std::vector<UINT> g_handled;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message < WM_APP) return ::DefWindowProcA(window, message, wParam, lParam);
    g_handled.push_back(message);
    if (message == kChain || message == kChain + 1) ::PostMessageA(window, message + 1, 0, 0);
    return 0;
}

double ThreadCpuMs() {
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    auto ms = [](FILETIME t) { return (t.dwHighDateTime * 4294967296.0 + t.dwLowDateTime) / 10000.0; };
    return ms(kernel) + ms(user);
}

// A message-only window on this thread and the runtime's own service entry.
class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.lpszClassName = "QuenlarkEventsTest";
        ::RegisterClassA(&windowClass);
        window_ =
            ::CreateWindowExA(0, "QuenlarkEventsTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        g_handled.clear();
        LibraryNotify(static_cast<std::int32_t>(Notification::kAttach), reinterpret_cast<std::intptr_t>(&SystemService),
                      0);
    }
    void TearDown() override {
        ::DestroyWindow(window_);
        for (MSG message; ::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);) {
        }
    }
    HWND window_ = nullptr;
};

TEST_F(MessageQueueTest, MessagesPostedByHandlersAreDispatchedInTheSameCall) {
    ::PostMessageA(window_, kChain, 0, 0);
    EXPECT_EQ(ProcessEvents(), 0);
    EXPECT_EQ(g_handled, (std::vector<UINT>{kChain, kChain + 1, kChain + 2}));
}

TEST_F(MessageQueueTest, QuitMessageIsLeftForTheHostsLoop) {
    ::PostMessageA(window_, kPlain, 0, 0);
    ::PostQuitMessage(7);
    EXPECT_NE(ProcessEvents(), 0);
    EXPECT_EQ(g_handled, (std::vector<UINT>{kPlain}));
    MSG message;
    ASSERT_TRUE(::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 7u);
}

TEST_F(MessageQueueTest, MessagePostedDuringADelayIsDispatchedDuringIt) {
    // Posted from another thread while this one waits: the wait must wake for it.
    std::thread poster([window = window_] {
        ::Sleep(50);
        ::PostMessageA(window, kPlain, 0, 0);
    });
    DelayWithEvents(400);
    poster.join();
    EXPECT_EQ(g_handled, (std::vector<UINT>{kPlain}));
}

TEST_F(MessageQueueTest, DelayWaitsOnTheQueueInsteadOfSpinningEvenWithAQuitMessageQueued) {
    constexpr double kBoundMs = 60;  // a fifth of the wait
    // The measure itself: a busy loop of the same length goes over the bound.
    const double busyStart = ThreadCpuMs();
    for (const DWORD begin = ::GetTickCount(); ::GetTickCount() - begin < 300;) {
    }
    ASSERT_GT(ThreadCpuMs() - busyStart, kBoundMs);

    ::PostQuitMessage(0);
    const double cpuStart = ThreadCpuMs();
    const DWORD begin = ::GetTickCount();
    DelayWithEvents(300);
    EXPECT_GE(::GetTickCount() - begin, 300u);  // more than 300 ms: at least 300 whole ticks
    EXPECT_LT(ThreadCpuMs() - cpuStart, kBoundMs);
}

}  // namespace
}  // namespace quenlark
