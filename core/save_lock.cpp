#include "core/save_lock.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <thread>

#include "core/failure_reason.h"

namespace {

constexpr long kDefaultWaitMs = 10000;

struct flock WholeFile(short type) {
    struct flock lock = {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    return lock;  // l_start 0, l_len 0: the whole file, however long
}

long WaitMs() {
    const char* text = std::getenv("LYPARSER_SAVE_WAIT_MS");
    char* end = nullptr;
    const long ms = text ? std::strtol(text, &end, 10) : -1;
    return text && *text && !*end && ms >= 0 ? ms : kDefaultWaitMs;
}

int64_t NowMs() {
    struct timespec now;
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// The wait itself: F_OFD_SETLKW cannot be given a deadline, so a thread of
// its own blocks in it, on a duplicate of the save's descriptor (the same
// open file description, so the same lock), while the save waits on `event`
// with one. A waiter the save gave up on takes the lock all the same when it
// comes, and lets it go at once by closing the duplicate.
struct Waiter {
    enum { kWaiting, kHeld, kFailed, kAbandoned };
    ~Waiter() {
        if (fd >= 0) ::close(fd);
        if (event >= 0) ::close(event);
    }
    std::atomic<int> state{kWaiting};
    int fd = -1;
    int event = -1;
};

void WaitForLock(std::shared_ptr<Waiter> waiter) {
    struct flock lock = WholeFile(F_WRLCK);
    int result;
    do {
        result = ::fcntl(waiter->fd, F_OFD_SETLKW, &lock);
    } while (result < 0 && errno == EINTR);
    int expected = Waiter::kWaiting;
    waiter->state.compare_exchange_strong(expected, result == 0 ? Waiter::kHeld : Waiter::kFailed);
    const uint64_t one = 1;
    (void)!::write(waiter->event, &one, sizeof one);
}

// Waits for the lock on `fd` another holder has; true once it is held.
bool WaitForOther(int fd) {
    auto waiter = std::make_shared<Waiter>();
    waiter->fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    waiter->event = ::eventfd(0, EFD_CLOEXEC);
    if (waiter->fd < 0 || waiter->event < 0) return false;
    try {
        std::thread(WaitForLock, waiter).detach();
    } catch (...) {
        return false;
    }
    const int64_t deadline = NowMs() + WaitMs();
    for (int64_t left = deadline - NowMs(); left > 0; left = deadline - NowMs()) {
        struct pollfd ready = {waiter->event, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(left)) > 0) break;
    }
    int expected = Waiter::kWaiting;
    if (waiter->state.compare_exchange_strong(expected, Waiter::kAbandoned)) {
        ReportFailure(LYPARSER_LOCKED);  // the other save held the file too long
        return false;
    }
    return expected == Waiter::kHeld;
}

}  // namespace

bool FileSaveLock::Take(int fd) {
    Release();
    struct flock lock = WholeFile(F_WRLCK);
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        // No locks on this file system (EINVAL: a kernel without open file
        // description locks): the save goes on without.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return true;
        if ((errno != EAGAIN && errno != EACCES) || !WaitForOther(fd)) return false;
    }
    fd_ = fd;
    return true;
}

void FileSaveLock::Release() {
    if (fd_ < 0) return;
    struct flock lock = WholeFile(F_UNLCK);
    ::fcntl(fd_, F_OFD_SETLK, &lock);
    fd_ = -1;
}
