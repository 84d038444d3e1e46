// The stand-in service library: durations, settings, notifications, and
// default texts that take exactly the values the module passes with them.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "core/host_text.h"
#include "lyCenter.h"

namespace {

TEST(LyCenterTest, UnitTimeSwitchesToHoursFromOneHour) {
    struct Case {
        int seconds;
        const char* text;
    } cases[] = {{0, "0:00"}, {59, "0:59"}, {61, "1:01"}, {3599, "59:59"}, {3600, "1:00:00"},
                 {86399, "23:59:59"}, {-5, "0:00"}};
    for (const auto& c : cases) {
        std::string out;
        GetUnitTime(&out, c.seconds);
        EXPECT_EQ(out, c.text) << c.seconds;
    }
}

std::atomic<int> g_calls{0};
void CountCall(const char* unit, unsigned message, int a, int b) {
    if (std::string(unit) == "playlist" && message == 34080 && a == 0 && b == 0) ++g_calls;
}

TEST(LyCenterTest, CallFunctionReachesTheHandler) {
    SendCallFunction("playlist", 34080, 0, 0);  // no handler yet: nothing happens
    SetCallFunctionHandler(CountCall);
    SendCallFunction("playlist", 34080, 0, 0);
    SetCallFunctionHandler(nullptr);
    SendCallFunction("playlist", 34080, 0, 0);
    EXPECT_EQ(g_calls.load(), 1);
}

TEST(LyCenterTest, DefaultFormatsTakeTheValuesTheModulePasses) {
    struct Case {
        unsigned id;
        std::string filled;
    } cases[] = {
        {9005, FormatHostText(9005, {"YES"})},
        {9006, FormatHostText(9006, {"NO"})},
        {9007, FormatHostText(9007, {"None"})},
        {9008, FormatHostText(9008, {5000})},
        {9009, FormatHostText(9009, {"Stereo"})},
        {9010, FormatHostText(9010, {2048})},
        {9011, FormatHostText(9011, {2.5, 3})},
        {9012, FormatHostText(9012, {"Xiph.Org libVorbis", 0, 44100, 125, 1234, 2})},
        {9013, FormatHostText(9013, {"YES"})},
        {9014, FormatHostText(9014, {"3:07"})},
        {9015, FormatHostText(9015, {128, "(VBR)", 7000})},
        {9016, FormatHostText(9016, {"12.0", "9.0", "Not Encrypted", ""})},
        {9022, FormatHostText(9022, {1.0, 3})},
    };
    for (const auto& c : cases) EXPECT_FALSE(c.filled.empty()) << c.id;
    EXPECT_EQ(FormatHostText(9022, {2.5, 3}), "MPEG 2.5 Layer 3");
}

TEST(LyCenterTest, PlaceholderTextsAreDistinct) {
    std::string seen;
    for (unsigned id : {9001u, 9002u, 9003u, 9004u, 9017u, 9018u, 9019u, 9020u, 9021u}) {
        std::string text = HostText(id);
        ASSERT_FALSE(text.empty()) << id;
        EXPECT_EQ(text.find('%', 1), text.size() - 1) << id;  // "%name%"
        EXPECT_EQ(seen.find(text), std::string::npos) << id;
        seen += text;
    }
}

}  // namespace
