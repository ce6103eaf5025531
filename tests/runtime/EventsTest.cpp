#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Platform.h"
#include "runtime/Events.h"
#include "runtime/SystemService.h"
#include "runtime/TickWait.h"

namespace quenlark {
namespace {

TEST(TimedWait, EndsOnlyAfterTheTimeHasPassedAcrossATickWrap) {
    std::uint32_t now = 0xFFFFFFFDu;  // the end lies past 2^32
    int dispatches = 0;
    std::vector<std::uint32_t> idles;
    // The clock moves only while the wait idles, by the whole time asked.
    WaitTicksDispatching(5, [&] { return now; }, [&] { ++dispatches; }, [&](std::uint32_t ms) {
        idles.push_back(ms);
        now += ms;
    });
    EXPECT_EQ(now, 3u);  // 6 ticks later: more than 5 have passed
    EXPECT_EQ(idles, (std::vector<std::uint32_t>{6}));
    EXPECT_EQ(dispatches, 6);
}

std::vector<std::int32_t> g_serviceCodes;
std::intptr_t RT_STDCALL RecordingService(std::int32_t code, std::intptr_t a, std::intptr_t b) noexcept {
    g_serviceCodes.push_back(code);
    return SystemService(code, a, b);
}

TEST(DelayWithEvents, DispatchesThroughTheServiceEntryUntilTheTicksHavePassed) {
    LibraryNotify(kNotifyAttach, reinterpret_cast<std::intptr_t>(&RecordingService), 0);
    DelayWithEvents(0);
    DelayWithEvents(-5);
    EXPECT_TRUE(g_serviceCodes.empty());
    const std::uint32_t begin = platform::TickCount();
    DelayWithEvents(30);
    EXPECT_GT(platform::TickCount() - begin, 30u);
    EXPECT_GE(g_serviceCodes.size(), 4u);
    EXPECT_EQ(g_serviceCodes, std::vector<std::int32_t>(g_serviceCodes.size(), 2018));
    LibraryNotify(kNotifyAttach, reinterpret_cast<std::intptr_t>(&SystemService), 0);
}

}  // namespace
}  // namespace quenlark
