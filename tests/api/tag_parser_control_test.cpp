// The controller's choice of parser from a file name.
#include "api/tag_parser_control.h"

#include <gtest/gtest.h>

namespace {

// The ending is matched whole and without regard to ASCII case; no other
// letter is folded, and nothing may follow it.
TEST(TagParserControlTest, FileTypeComesFromTheEndingOfTheName) {
    // clang-format off
    const std::pair<std::wstring, int> cases[] = {
        {L"song.mp3", 1}, {L"song.Mp3", 1}, {L"SONG.MP3", 1}, {L"song.mp3 ", 0}, {L"mp3", 0},
        {L".mp3", 1}, {L"", 0}, {L"a.ogg", 2}, {L"a.WMA", 3}, {L"Track01.cda", 4}, {L"a.asf", 5},
        {L"a.flac", 6}, {L"a.FLAC ", 0}, {L"a.mpc", 7}, {L"a.Ape", 7}, {L"a.m4a", 8}, {L"a.M4B", 8},
        {L"clip.mp4", 8}, {L"a.aac", 0}, {L"a.wav", 9}, {L"a.aif", 10}, {L"a.aiff", 10},
        {L"a.aifc", 0}, {L"a.wv", 11}, {L"wv", 0}, {L"x\u00E9.mp3", 1}, {L"a.mp\u0433", 0},
        {L"a.mp\u24F7", 0}, {L"a.\u0131ogg", 0},
    };
    // clang-format on
    for (const auto& [name, type] : cases)
        EXPECT_EQ(CTagParserControl::GetFileTypeFromName(name), type);
}

}  // namespace
