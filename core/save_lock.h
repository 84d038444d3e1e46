// FileSaveLock: the write lock a save (or a repair) holds on its file from
// its identity check to its end, so that two saves of one file, in one
// process or two, never both build on the same original. It is an
// open-file-description lock (F_OFD_SETLKW) on the whole file: it belongs to
// the save's own open of the file, so two threads of one process exclude each
// other as two processes do. Another holder is waited for a bounded time
// (LYPARSER_SAVE_WAIT_MS, default 10000 ms); after that the save gives up.
// Where the file system has no locks (ENOLCK, EOPNOTSUPP: NFS without lockd,
// some FUSE file systems), saves go on without one.
//
// One object per save, used by one thread.
#ifndef LYPARSER_CORE_SAVE_LOCK_H
#define LYPARSER_CORE_SAVE_LOCK_H

class FileSaveLock {
public:
    FileSaveLock() = default;
    ~FileSaveLock() { Release(); }
    FileSaveLock(const FileSaveLock&) = delete;
    FileSaveLock& operator=(const FileSaveLock&) = delete;

    // Takes the lock on `fd` (open for writing; it must stay open while the
    // lock is held). True when it is held, or when the file system has no
    // locks; false when the wait ran out or the lock cannot be taken.
    bool Take(int fd);
    // Lets the lock go; call it before closing the descriptor.
    void Release();

private:
    int fd_ = -1;
};

#endif  // LYPARSER_CORE_SAVE_LOCK_H
