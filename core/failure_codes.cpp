#include "core/failure_codes.h"

namespace {

struct Reason {
    lyparser_reason code;
    const char* name;
    const char* text;
};

const Reason kReasons[] = {
    {LYPARSER_FAILED, "FAILED", "the operation failed for a reason the module did not record"},
    {LYPARSER_NO_HANDLE, "NO_HANDLE", "no file is open on this handle"},
    {LYPARSER_NOT_INITIALIZED, "NOT_INITIALIZED", "the module is not started"},
    {LYPARSER_NOT_FOUND, "NOT_FOUND", "no file has this name"},
    {LYPARSER_NOT_A_FILE, "NOT_A_FILE",
     "the name is a folder, a device or something else that is not a regular file"},
    {LYPARSER_NOT_READABLE, "NOT_READABLE", "this process may not read the file"},
    {LYPARSER_NOT_SUPPORTED, "NOT_SUPPORTED", "the module does not read this file"},
    {LYPARSER_READ_ONLY, "READ_ONLY", "this process may not write the file"},
    {LYPARSER_CHANGED_ON_DISK, "CHANGED_ON_DISK",
     "the file changed on disk since it was opened, or its name now names another file"},
    {LYPARSER_DISK_FULL, "DISK_FULL",
     "the disk is full, or the file would pass the process's file size limit"},
    {LYPARSER_VALUE_TOO_LONG, "VALUE_TOO_LONG",
     "a name or value is longer than a Windows Media file can hold"},
    {LYPARSER_MULTIPLEXED_OGG, "MULTIPLEXED_OGG",
     "the Ogg file holds several streams at once and cannot be rewritten whole"},
    {LYPARSER_NO_AUDIO, "NO_AUDIO", "no audio was found in the file, so it is never written"},
    {LYPARSER_PENDING_COPY, "PENDING_COPY",
     "the safety copy of an interrupted save waits beside the file: put it back or delete it"},
    {LYPARSER_IO_ERROR, "IO_ERROR", "reading or writing the file failed"},
    {LYPARSER_REFUSED_VALUE, "REFUSED_VALUE", "the file's format cannot take this value there"},
    {LYPARSER_UNKNOWN_FIELD, "UNKNOWN_FIELD", "no field has this id or name"},
    {LYPARSER_NOT_WRITABLE, "NOT_WRITABLE", "a file opened from memory cannot be changed or saved"},
    {LYPARSER_LOCKED, "LOCKED", "another save of the file held it too long"},
    {LYPARSER_OUT_OF_MEMORY, "OUT_OF_MEMORY", "memory ran out"},
    {LYPARSER_DAMAGED, "DAMAGED",
     "part of the file could not be read (it is damaged, or ended early) and a rewrite would "
     "lose it, so it is not written"},
    {LYPARSER_NO_SAFETY_COPY, "NO_SAFETY_COPY",
     "the file can only be written in place, and no safety copy of it can be kept: its "
     "folder may not be written and /var/tmp is in memory, or its file system keeps no "
     "extended attributes"},
};

const Reason* Find(int code) {
    for (const auto& reason : kReasons) {
        if (reason.code == code) return &reason;
    }
    return nullptr;
}

}  // namespace

const char* FailureCodeName(int code) {
    const Reason* reason = Find(code);
    return reason ? reason->name : "";
}

const char* FailureCodeText(int code) {
    const Reason* reason = Find(code);
    return reason ? reason->text : "";
}

lyparser_reason FailureCodeFromName(const std::string& name) {
    for (const auto& reason : kReasons) {
        if (name == reason.name) return reason.code;
    }
    return LYPARSER_FAILED;
}

std::string FailureCodeLine(int code) {
    const Reason* reason = Find(code);
    return reason ? std::string(reason->name) + ": " + reason->text : std::string();
}
