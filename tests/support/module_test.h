// Base fixture for tests through the exports: the module initialised once per
// suite with a fake engine, and a temporary folder for each test.
#ifndef LYPARSER_TESTS_SUPPORT_MODULE_TEST_H
#define LYPARSER_TESTS_SUPPORT_MODULE_TEST_H

#include <gtest/gtest.h>

#include "lyParser.h"
#include "tests/support/fake_engine.h"
#include "tests/support/temp_dir.h"

class ModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TagParserInitialize(&engine_); }
    static void TearDownTestSuite() { TagParserFinalize(); }

    static inline FakeEngine engine_;
    TempDir dir_;
};

#endif  // LYPARSER_TESTS_SUPPORT_MODULE_TEST_H
