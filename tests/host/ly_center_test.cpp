// The stand-in service library: durations and notifications.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "lyCenter.h"

namespace {

TEST(LyCenterTest, UnitTimeSwitchesToHoursFromOneHour) {
    struct Case {
        int seconds;
        const char* text;
    } cases[] = {{0, "0:00"},       {59, "0:59"},        {61, "1:01"}, {3599, "59:59"},
                 {3600, "1:00:00"}, {86399, "23:59:59"}, {-5, "0:00"}};
    for (const auto& c : cases) {
        std::string out;
        GetUnitTime(&out, c.seconds);
        EXPECT_EQ(out, c.text) << c.seconds;
    }
}

std::atomic<int> g_calls{0};
void CountCall(const char* unit, unsigned message, int a, int b) {
    if (std::string(unit) == "playlist" && message == LYNOTIFY_CD_NAMES_ARRIVED && a == 0 && b == 0)
        ++g_calls;
}

TEST(LyCenterTest, CallFunctionReachesTheHandler) {
    // No handler yet: nothing happens.
    SendCallFunction("playlist", LYNOTIFY_CD_NAMES_ARRIVED, 0, 0);
    SetCallFunctionHandler(CountCall);
    SendCallFunction("playlist", LYNOTIFY_CD_NAMES_ARRIVED, 0, 0);
    SetCallFunctionHandler(nullptr);
    SendCallFunction("playlist", LYNOTIFY_CD_NAMES_ARRIVED, 0, 0);
    EXPECT_EQ(g_calls.load(), 1);
}

}  // namespace
