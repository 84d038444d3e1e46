#include "core/failure_reason.h"

#include <cerrno>
#include <mutex>
#include <unordered_map>

#include "core/failure_codes.h"

namespace {

thread_local FailureScope* t_scope = nullptr;

// The last failure of each handle that has one.
struct FailureRecord {
    std::mutex mutex;
    std::unordered_map<const void*, lyparser_reason> last;
};

// Never destroyed: a host may still close handles while the process exits.
FailureRecord& Record() {
    static FailureRecord* record = new FailureRecord();
    return *record;
}

}  // namespace

void ReportFailure(lyparser_reason reason) {
    if (t_scope && t_scope->reported_ == LYPARSER_OK) t_scope->reported_ = reason;
}

lyparser_reason ReasonOfError(int error) {
    switch (error) {
        case ENOSPC:
        case EFBIG:
        case EDQUOT:
            return LYPARSER_DISK_FULL;
        case EACCES:
        case EPERM:
        case EROFS:
        case ETXTBSY:
            return LYPARSER_READ_ONLY;
        case ENOENT:
        case ENOTDIR:
        case EISDIR:
        case ESTALE:
            return LYPARSER_CHANGED_ON_DISK;
        case ENODATA:
            return LYPARSER_DAMAGED;
        case ENOMEM:
            return LYPARSER_OUT_OF_MEMORY;
        default:
            return LYPARSER_IO_ERROR;
    }
}

FailureScope::FailureScope(const void* handle) : handle_(handle), outer_(t_scope) {
    t_scope = this;
}

FailureScope::~FailureScope() { t_scope = outer_; }

bool FailureScope::Finish(bool succeeded, lyparser_reason fallback) {
    lyparser_reason reason = reported_ != LYPARSER_OK ? reported_
                             : succeeded              ? LYPARSER_OK
                                                      : fallback;
    FailureRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.mutex);
    if (reason == LYPARSER_OK) {
        record.last.erase(handle_);
    } else {
        record.last[handle_] = reason;
    }
    return reason == LYPARSER_OK;
}

std::string LastFailureLine(const void* handle) {
    FailureRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.mutex);
    auto it = record.last.find(handle);
    return it == record.last.end() ? std::string() : FailureCodeLine(it->second);
}

void ForgetFailures(const void* handle) {
    FailureRecord& record = Record();
    std::lock_guard<std::mutex> hold(record.mutex);
    record.last.erase(handle);
}
