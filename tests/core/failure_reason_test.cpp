// The record of why a handle's last set, save or strip failed: which reason a
// scope keeps, and when a handle's record is cleared.
#include "core/failure_reason.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

std::string Code(const void* handle) {
    std::string line = LastFailureLine(handle);
    return line.substr(0, line.find(':'));
}

// Runs one operation on `handle`: the reasons reported during it, its
// result and its fallback.
void Operation(const void* handle, std::initializer_list<lyparser_reason> reported, bool succeeded,
               lyparser_reason fallback = LYPARSER_FAILED) {
    FailureScope scope(handle);
    for (lyparser_reason reason : reported) ReportFailure(reason);
    scope.Finish(succeeded, fallback);
}

TEST(FailureReasonTest, TheFirstReasonOfTheOperationOrItsFallbackIsKeptUntilASuccess) {
    int a = 0, b = 0;
    struct Step {
        const void* handle;
        std::initializer_list<lyparser_reason> reported;
        bool succeeded;
        std::string a, b;  // the codes kept afterwards
    } steps[] = {
        {&a, {}, false, "FAILED", ""},
        {&a, {LYPARSER_READ_ONLY, LYPARSER_IO_ERROR}, false, "READ_ONLY", ""},
        {&b, {LYPARSER_DISK_FULL}, true, "READ_ONLY", "DISK_FULL"},  // reported: not a success
        {&a, {}, true, "", "DISK_FULL"},
        {&b, {}, true, "", ""},
    };
    for (const auto& step : steps) {
        Operation(step.handle, step.reported, step.succeeded);
        EXPECT_EQ(Code(&a), step.a);
        EXPECT_EQ(Code(&b), step.b);
    }
    Operation(&a, {}, false, LYPARSER_UNKNOWN_FIELD);
    EXPECT_EQ(LastFailureLine(&a), "UNKNOWN_FIELD: no field has this id or name");
    ForgetFailures(&a);
    EXPECT_EQ(LastFailureLine(&a), "");

    // A report reaches only the innermost scope of its own thread.
    ReportFailure(LYPARSER_IO_ERROR);  // no operation runs: dropped
    FailureScope scope(&a);
    std::thread([] { ReportFailure(LYPARSER_LOCKED); }).join();
    Operation(&b, {LYPARSER_NO_AUDIO}, true);
    ReportFailure(LYPARSER_PENDING_COPY);
    scope.Finish(true, LYPARSER_FAILED);
    EXPECT_EQ(Code(&a) + " " + Code(&b), "PENDING_COPY NO_AUDIO");
}

}  // namespace
