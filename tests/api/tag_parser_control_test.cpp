// The controller's choice of parser from a file name, and its opening
// sequences for codes without a parser.
#include "api/tag_parser_control.h"

#include <gtest/gtest.h>

namespace {

TEST(TagParserControlTest, FileTypeComesFromTheLastFourCharacters) {
    struct Case {
        std::wstring name;
        int type;
    } cases[] = {
        {L"song.mp3", 1},     {L"song.Mp3", 1},     {L"SONG.MP3", 1},   {L"song.mp3 ", 0},
        {L"a.ogg", 2},        {L"a.WMA", 3},        {L"Track01.cda", 4}, {L"a.asf", 5},
        {L"mp3", 0},          {L".mp3", 1},         {L"", 0},           {L"a.flac", 0},
        {L"a.mpc", 0},        {L"x\u00E9.mp3", 1},  {L"a.mp\u0433", 0},
        {L"a.mp\u24F7", 0},   // only ASCII letters are upper-cased
        {L"a.\u0131ogg", 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CTagParserControl::GetFileTypeFromName(c.name), c.type);
    }
}

TEST(TagParserControlTest, CodesOutsideTheTableCreateNothing) {
    CTagParserControl control;
    for (int type : {-1, 8, 100}) {
        EXPECT_EQ(control.CreateParser(type), nullptr) << type;
        EXPECT_EQ(control.OpenBinaryFile(reinterpret_cast<const unsigned char*>("x"), 1, type),
                  nullptr);
    }
}

}  // namespace
