// Why the last change, save or strip on a handle failed, so that a host can
// ask (the key "lyparser:last-error") instead of guessing.
//
// The controller runs each set, save and strip of a handle inside a
// FailureScope. Whatever gives up below it, a parser or the save path, calls
// ReportFailure with the reason where it knows it; the first reason reported
// in a scope is the one kept. When the scope finishes, the handle's last
// failure becomes that reason (or the caller's fallback, when the operation
// failed without one), or nothing after a success.
//
// Thread-safe: scopes are per thread (one operation on a thread at a time),
// and the per-handle record has its own lock. No TagLib types.
#ifndef LYPARSER_CORE_FAILURE_REASON_H
#define LYPARSER_CORE_FAILURE_REASON_H

#include <string>

#include "lyparser_c.h"

// Records why the operation running on this thread fails. A reported reason
// makes the operation count as failed, whatever it returns; so report only
// where the operation gives up. Outside a scope it does nothing.
void ReportFailure(lyparser_reason reason);

// The reason a failed system call's errno gives: DISK_FULL for ENOSPC, EFBIG
// and EDQUOT; READ_ONLY for EACCES, EPERM, EROFS and ETXTBSY; CHANGED_ON_DISK
// for ENOENT, ENOTDIR, EISDIR and ESTALE (the name no longer names the file);
// DAMAGED for ENODATA (a read that met the file's end early, see ReadAllAt);
// OUT_OF_MEMORY for ENOMEM; IO_ERROR for any other.
lyparser_reason ReasonOfError(int error);

class FailureScope {
public:
    // Opens the scope of one operation on `handle`, on this thread.
    explicit FailureScope(const void* handle);
    // A scope that was not finished (an exception passed) changes nothing.
    ~FailureScope();
    FailureScope(const FailureScope&) = delete;
    FailureScope& operator=(const FailureScope&) = delete;

    // Ends the operation: the handle's last failure becomes the reason
    // reported, else `fallback` when `succeeded` is false, else nothing.
    // Returns whether the operation counts as succeeded.
    bool Finish(bool succeeded, lyparser_reason fallback);

private:
    friend void ReportFailure(lyparser_reason reason);

    const void* handle_;
    lyparser_reason reported_ = LYPARSER_OK;
    FailureScope* outer_;
};

// "NAME: text" of the handle's last failure, or "" (none, or after a success).
std::string LastFailureLine(const void* handle);
// Drops the handle's record; called when the handle is closed.
void ForgetFailures(const void* handle);

#endif  // LYPARSER_CORE_FAILURE_REASON_H
