// Base fixture for tests through the exports: the module initialised once per
// suite with a fake engine, and a temporary folder for each test; and a
// handle closed at the end of its scope.
#ifndef LYPARSER_TESTS_SUPPORT_MODULE_TEST_H
#define LYPARSER_TESTS_SUPPORT_MODULE_TEST_H

#include <gtest/gtest.h>

#include <string>

#include "lyParser.h"
#include "tests/support/fake_engine.h"
#include "tests/support/temp_dir.h"

// An open handle for one scope; null when the open failed.
class OpenedFile {
public:
    explicit OpenedFile(const std::string& path) : handle_(TagParserOpenFile(path.c_str())) {}
    explicit OpenedFile(const std::wstring& path) : handle_(TagParserOpenFileW(path.c_str())) {}
    ~OpenedFile() { TagParserCloseFile(handle_); }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    IBaseTag* get() const { return handle_; }

private:
    IBaseTag* handle_;
};

class ModuleTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { TagParserInitialize(&engine_); }
    static void TearDownTestSuite() { TagParserFinalize(); }

    static inline FakeEngine engine_;
    TempDir dir_;
};

#endif  // LYPARSER_TESTS_SUPPORT_MODULE_TEST_H
