// The module's dynamic symbol table holds the 28 exports and nothing else;
// the C layer's, its own functions only.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

#include "tests/support/process.h"

namespace {

TEST(SymbolsTest, ExactlyTheTwentyEightExportsAreVisible) {
    CommandResult nm = RunCommand({"/usr/bin/nm", "-D", "--defined-only", LY_MODULE_PATH});
    ASSERT_EQ(nm.status, 0) << nm.err;
    std::set<std::string> expected;
    std::istringstream names(
        "Initialize Finalize OpenFile OpenFileW OpenBinaryFile CloseFile ApplyFile GetData "
        "GetDataW "
        "GetExData SetData SetDataW SetExData GetLyrics SetLyrics SetAllLyric GetAllLyric "
        "GetDescription GetDescriptionW GetFileInfo GetFileType GetSourceLength GetMD5 GetCheckSum "
        "SetForceFreeCDDB IsForceFreeCDDB DeleteAttachedPicture GetAttachedPictureData");
    for (std::string name; names >> name;) expected.insert("TagParser" + name);
    ASSERT_EQ(expected.size(), 28u);
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

TEST(SymbolsTest, TheCLayerShowsOnlyItsOwnFunctions) {
    CommandResult nm = RunCommand({"/usr/bin/nm", "-D", "--defined-only", LY_C_LAYER_PATH});
    ASSERT_EQ(nm.status, 0) << nm.err;
    std::istringstream lines(nm.out);
    for (std::string address, kind, name; lines >> address >> kind >> name;) {
        if (name == "_init" || name == "_fini") continue;
        EXPECT_EQ(name.rfind("lyparser_", 0), 0u) << name;
    }
}

}  // namespace
