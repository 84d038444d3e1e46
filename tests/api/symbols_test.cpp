// The module's dynamic symbol table holds the 28 exports and nothing else.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "tests/support/process.h"

namespace {

TEST(SymbolsTest, ExactlyTheTwentyEightExportsAreVisible) {
    CommandResult nm = RunCommand({"/usr/bin/nm", "-D", "--defined-only", LY_MODULE_PATH});
    ASSERT_EQ(nm.status, 0) << nm.err;
    const std::set<std::string> expected = {
        "TagParserInitialize",       "TagParserFinalize",        "TagParserOpenFile",
        "TagParserOpenFileW",        "TagParserOpenBinaryFile",  "TagParserCloseFile",
        "TagParserApplyFile",        "TagParserGetData",         "TagParserGetDataW",
        "TagParserGetExData",        "TagParserSetData",         "TagParserSetDataW",
        "TagParserSetExData",        "TagParserGetLyrics",       "TagParserSetLyrics",
        "TagParserSetAllLyric",      "TagParserGetAllLyric",     "TagParserGetDescription",
        "TagParserGetDescriptionW",  "TagParserGetFileInfo",     "TagParserGetFileType",
        "TagParserGetSourceLength",  "TagParserGetMD5",          "TagParserGetCheckSum",
        "TagParserSetForceFreeCDDB", "TagParserIsForceFreeCDDB", "TagParserDeleteAttachedPicture",
        "TagParserGetAttachedPictureData"};
    std::set<std::string> found;
    std::istringstream lines(nm.out);
    std::string address, kind, name;
    while (lines >> address >> kind >> name) {
        if (name == "_init" || name == "_fini") continue;
        EXPECT_EQ(kind, "T") << name;
        found.insert(name);
    }
    EXPECT_EQ(found, expected);
}

}  // namespace
