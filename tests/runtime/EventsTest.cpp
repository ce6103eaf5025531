#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Platform.h"
#include "runtime/Events.h"
#include "runtime/SupportLibrary.h"
#include "runtime/SystemService.h"
#include "runtime/TickWait.h"

namespace quenlark {
namespace {

// A fake clock in microseconds that moves only while the wait idles: by `wake(ms)`.
template <typename Wake>
std::vector<std::uint32_t> IdlesOfWait(std::uint32_t ms, std::uint64_t& now, int& dispatches, Wake wake) {
    std::vector<std::uint32_t> idles;
    WaitDispatching(
        ms, [&] { return now; }, [&] { ++dispatches; },
        [&](std::uint32_t asked) {
            idles.push_back(asked);
            now += wake(asked);
        },
        [] {});
    return idles;
}

// A look at the queue (an idle of 0) takes 100 us on the fake clock.
constexpr std::uint64_t kLookMicros = 100;

TEST(TimedWait, EndsOnceMoreThanTheTimeHasPassedWithoutIdlingPastIt) {
    std::uint64_t now = 0xFFFFFFFFull * 1000u;  // far past where a 32-bit tick count wraps
    const std::uint64_t begin = now;
    int dispatches = 0;
    // The system wakes a little late, as it does.
    EXPECT_EQ(IdlesOfWait(5, now, dispatches, [](std::uint32_t asked) { return asked * 1000u + 40u; }),
              (std::vector<std::uint32_t>{5}));
    EXPECT_EQ(now - begin, 5040u);
    EXPECT_EQ(dispatches, 6);

    // Woken early by messages: each idle asks for the whole milliseconds left, and the last
    // fraction of one is spent looking at the queue, not idling a whole millisecond past the end.
    now = 0;
    dispatches = 0;
    const auto early = [](std::uint32_t asked) { return asked == 5 ? 1200u : asked ? asked * 1000u : kLookMicros; };
    EXPECT_EQ(IdlesOfWait(5, now, dispatches, early), (std::vector<std::uint32_t>{5, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(now, 5100u);
    EXPECT_EQ(dispatches, 4 * 11 + 2);

    // Exactly the time is not more than it: one more look, without waiting long.
    now = 0;
    EXPECT_EQ(IdlesOfWait(5, now, dispatches, [](std::uint32_t asked) { return asked ? asked * 1000u : 1u; }),
              (std::vector<std::uint32_t>{5, 0}));
    EXPECT_EQ(now, 5001u);
}

TEST(TimedWait, WorkDoneInThePauseIsPartOfItsLength) {
    // Work shorter than the pause: after it, the idle asks only for what is left, and the pause
    // ends within a look of its length.
    std::uint64_t now = 0;
    int dispatches = 0;
    int worked = 0;
    std::vector<std::uint32_t> idles;
    const auto wait = [&](std::uint64_t workMicros) {
        WaitDispatching(
            5, [&] { return now; }, [&] { ++dispatches; },
            [&](std::uint32_t asked) {
                idles.push_back(asked);
                now += asked ? asked * 1000u : kLookMicros;
            },
            [&] {
                EXPECT_EQ(dispatches, 2) << "the work runs after the first two dispatches";
                ++worked;
                now += workMicros;
            });
    };
    wait(3200);
    EXPECT_EQ(worked, 1);
    EXPECT_EQ(idles, (std::vector<std::uint32_t>{1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(now, 5100u);

    // Work longer than the pause: no idle at all, and the pause ends with the work.
    now = 0;
    dispatches = 0;
    idles.clear();
    wait(7000);
    EXPECT_EQ(worked, 2);
    EXPECT_TRUE(idles.empty());
    EXPECT_EQ(now, 7000u);
    EXPECT_EQ(dispatches, 2);
}

// The paced dispatch's clock and dispatch, as plain functions: a dispatch takes 300 us.
std::uint64_t g_pacedNow = 0;
int g_pacedDispatches = 0;
std::uint64_t PacedNow() noexcept { return g_pacedNow; }
void PacedDispatchCounted() noexcept {
    ++g_pacedDispatches;
    g_pacedNow += 300;
}

TEST(PacedDispatch, DispatchesOnceAnIntervalHasPassedSinceTheLastDispatchEnded) {
    g_pacedNow = 5'000'000;
    g_pacedDispatches = 0;
    PacedDispatch paced(1000, &PacedNow, &PacedDispatchCounted);
    // Steps of 100 us: none before the first millisecond is full, then one a millisecond,
    // counted from the end of the last dispatch (not from the start, and not per step).
    std::vector<int> stepsWithDispatch;
    for (int step = 1; step <= 35; ++step) {
        g_pacedNow += 100;
        const int before = g_pacedDispatches;
        paced.Step();
        if (g_pacedDispatches != before) stepsWithDispatch.push_back(step);
    }
    EXPECT_EQ(stepsWithDispatch, (std::vector<int>{10, 20, 30}));

    // A walk on a clock that does not move (a short one): no dispatch of its own at all.
    g_pacedDispatches = 0;
    PacedDispatch quick(1000, &PacedNow, &PacedDispatchCounted);
    for (int step = 0; step < 100'000; ++step) quick.Step();
    EXPECT_EQ(g_pacedDispatches, 0);
}

std::vector<std::int32_t> g_serviceCodes;
std::intptr_t RT_STDCALL RecordingService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept {
    g_serviceCodes.push_back(code);
    return SystemService(code, a, b);
}

TEST(DelayWithEvents, DispatchesThroughTheServiceEntryUntilTheTicksHavePassed) {
    LibraryNotify(static_cast<std::int32_t>(Notification::kAttach), reinterpret_cast<std::intptr_t>(&RecordingService),
                  0);
    DelayWithEvents(0);
    int worked = 0;
    DelayWithEvents(-5, [&] { ++worked; });
    EXPECT_EQ(worked, 1) << "a pause of no length still does its work";
    EXPECT_TRUE(g_serviceCodes.empty());
    const std::uint64_t begin = platform::MicrosecondCount();
    DelayWithEvents(30);
    EXPECT_GT(platform::MicrosecondCount() - begin, 30000u);
    EXPECT_GE(g_serviceCodes.size(), 4u);
    EXPECT_EQ(g_serviceCodes, std::vector<std::int32_t>(g_serviceCodes.size(),
                                                        static_cast<std::int32_t>(ServiceCode::kDispatchMessages)));
    LibraryNotify(static_cast<std::int32_t>(Notification::kAttach), reinterpret_cast<std::intptr_t>(&SystemService), 0);
}

}  // namespace
}  // namespace quenlark
