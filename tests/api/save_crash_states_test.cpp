// The crash-state explorer: each of the save's paths is recorded with strace
// (`lytag set` on a 3 MiB MP3 whose tag grows), and every state a power cut could
// leave is built from the record, after every system call, under two models
// of what reaches the disk:
//   - ALICE's weak model: a write reaches the disk only once its file is
//     synced, a name or attribute change only once its folder (its file) is
//     synced; any of those not yet synced may or may not have, in any mix.
//   - ext4 data=ordered (no fast commits): names and attributes reach the
//     disk in the order they were changed, all at the latest with the next
//     sync of anything on that file system; writes as in the first model.
// A file with writes not yet synced counts as torn: neither old nor new.
// A file system in memory (tmpfs) loses everything. In every state each name
// of the file must hold the old content or the new one, or the file must
// carry the mark of a copy whose name and whole new content are on disk.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/pending_copy.h"
#include "tests/support/large_files.h"
#include "tests/support/process.h"

namespace {

constexpr char kMarkName[] = "user.lyparser.pending-copy";

struct Op {
    enum Kind { kData, kName, kAttribute, kSyncFile, kSyncFolder, kSyncAll };
    Op(Kind kind, int inode, dev_t device) : kind(kind), inode(inode), device(device) {}
    Kind kind;
    int inode;
    std::string content;           // kData: the file's content afterwards
    std::string from, to;          // kName: unlink `from`, link `to`, or rename
    std::string attribute, value;  // kAttribute; removed when `value` is "\x01"
    std::string folder, folder2;   // kName: the folders changed; kSyncFolder
    dev_t device;                  // of the file system it changes or syncs
};

// A recorded save: the files it touched and what it did to them.
struct Record {
    std::vector<std::string> contents;  // by inode, before the save
    std::vector<dev_t> devices;         // by inode
    std::map<std::string, int> names;   // before the save
    std::vector<Op> ops;
};

dev_t DeviceOf(const std::string& folder) {
    struct stat info = {};
    stat(folder.c_str(), &info);
    return info.st_dev;
}

bool InMemory(dev_t device) {
    static std::map<dev_t, bool> known;
    if (!known.count(device)) {
        bool memory = false;
        for (const char* folder : {"/dev/shm", "/tmp", "/var/tmp", "/run"}) {
            struct statfs fs;
            memory = memory || (DeviceOf(folder) == device && statfs(folder, &fs) == 0 &&
                                fs.f_type == 0x01021994);
        }
        known[device] = memory;
    }
    return known[device];
}

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Splits the arguments of one strace line (-xx) at top-level commas, strings
// decoded.
std::vector<std::string> Arguments(const std::string& text) {
    std::vector<std::string> args(1);
    int depth = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            for (++i; i < text.size() && text[i] != '"'; i += 4)
                args.back() += static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16));
        } else if (depth == 0 && c == ',') {
            args.emplace_back();
            ++i;  // the space after it
        } else {
            depth += c == '[' || c == '{' ? 1 : c == ']' || c == '}' ? -1 : 0;
            args.back() += c;
        }
    }
    return args;
}

// Reads the strace log of one save of `names` (every name of one file, whose
// content was `original`).
bool ReadRecord(const std::string& log, const std::vector<std::string>& names,
                const std::string& original, Record* record) {
    record->contents = {original};
    record->devices = {DeviceOf(Folder(names[0]))};
    for (const std::string& name : names) record->names[name] = 0;
    std::map<std::string, int> now = record->names;
    struct Open {
        int inode;  // -1 for a folder
        std::string folder;
        std::shared_ptr<int64_t> position;
    };
    std::map<int, Open> fds;
    std::vector<std::string> content = record->contents;
    auto add = [&](Op::Kind kind, int inode, dev_t device) -> Op& {
        record->ops.emplace_back(kind, inode, device);
        return record->ops.back();
    };
    auto data = [&](int inode, const std::string& after) {
        content[inode] = after;
        add(Op::kData, inode, record->devices[inode]).content = after;
    };
    auto name = [&](const std::string& from, const std::string& to, int inode) {
        if (!from.empty()) now.erase(from);
        if (!to.empty()) now[to] = inode;
        Op& op = add(Op::kName, inode, DeviceOf(Folder(from.empty() ? to : from)));
        op.from = from;
        op.to = to;
        op.folder = Folder(from.empty() ? to : from);
        op.folder2 = Folder(to.empty() ? from : to);
    };
    auto newInode = [&](const std::string& folder) {
        content.emplace_back();
        record->contents.emplace_back();
        record->devices.push_back(DeviceOf(folder));
        return static_cast<int>(content.size()) - 1;
    };
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) {
        const size_t open = line.find('('), equals = line.rfind(" = ");
        const size_t close = line.rfind(')', equals);
        if (open == std::string::npos || equals == std::string::npos || close < open) continue;
        const std::string call = line.substr(0, open);
        const long long result = std::atoll(line.c_str() + equals + 3);
        if (result < 0) continue;
        const std::vector<std::string> a = Arguments(line.substr(open + 1, close - open - 1));
        const auto found = fds.find(std::atoi(a[0].c_str()));
        Open* fd = found == fds.end() ? nullptr : &found->second;
        const int inode = fd ? fd->inode : -1;
        auto named = [&](const std::string& path) { return now.count(path) ? now[path] : -1; };
        if (call == "openat") {
            const std::string& path = a[1];
            if (a[2].find("O_TMPFILE") != std::string::npos) {
                fds[result] = {newInode(path), path, std::make_shared<int64_t>(0)};
            } else if (a[2].find("O_DIRECTORY") != std::string::npos) {
                fds[result] = {-1, path, nullptr};
            } else if (now.count(path) || a[2].find("O_CREAT") != std::string::npos) {
                if (!now.count(path)) name("", path, newInode(Folder(path)));
                fds[result] = {now[path], Folder(path), std::make_shared<int64_t>(0)};
                if (a[2].find("O_TRUNC") != std::string::npos) data(now[path], "");
            }
        } else if (call == "close") {
            fds.erase(std::atoi(a[0].c_str()));
        } else if (fd && (call.rfind("dup", 0) == 0 ||
                          (call == "fcntl" && a[1].rfind("F_DUPFD", 0) == 0))) {
            fds[result] = *fd;
        } else if ((call == "write" || call == "pwrite64" || call == "copy_file_range") && fd) {
            // copy_file_range(IN, [IN_OFFSET], OUT, NULL, ...), at OUT's position.
            const bool copy = call == "copy_file_range";
            Open* out = copy ? &fds[std::atoi(a[2].c_str())] : fd;
            const bool positioned = call == "pwrite64";
            const int64_t offset = positioned ? std::atoll(a[3].c_str()) : *out->position;
            const std::string bytes =
                copy ? content[inode].substr(std::atoll(a[1].c_str() + 1), result)
                     : a[1].substr(0, result);
            std::string after = content[out->inode];
            if (static_cast<int64_t>(after.size()) < offset + result) after.resize(offset + result);
            after.replace(offset, result, bytes);
            if (!positioned) *out->position += result;
            data(out->inode, after);
        } else if (call == "lseek" && inode >= 0) {
            *fd->position = result;
        } else if (call == "ftruncate" && inode >= 0) {
            std::string after = content[inode];
            after.resize(std::atoll(a[1].c_str()), '\0');
            data(inode, after);
        } else if (call == "fallocate" && inode >= 0) {
            const size_t end = std::atoll(a[2].c_str()) + std::atoll(a[3].c_str());
            if (a[1].find("KEEP_SIZE") == std::string::npos && end > content[inode].size())
                data(inode, std::string(content[inode]).append(end - content[inode].size(), '\0'));
        } else if ((call == "fsync" || call == "fdatasync" || call == "syncfs") && fd) {
            const Op::Kind kind = call == "syncfs" ? Op::kSyncAll
                                  : inode >= 0     ? Op::kSyncFile
                                                   : Op::kSyncFolder;
            add(kind, inode, inode >= 0 ? record->devices[inode] : DeviceOf(fd->folder)).folder =
                fd->folder;
        } else if (call == "linkat" || call == "link") {
            const bool empty = call == "linkat" && a[4].find("AT_EMPTY_PATH") != std::string::npos;
            const std::string from = call == "link" ? a[0] : a[1];
            const bool proc = from.rfind("/proc/self/fd/", 0) == 0;
            const int source = empty  ? inode
                               : proc ? fds[std::atoi(from.c_str() + 14)].inode
                                      : named(from);
            if (source >= 0) name("", call == "link" ? a[1] : a[3], source);
        } else if (call == "rename" || call == "renameat" || call == "renameat2") {
            const std::string from = call == "rename" ? a[0] : a[1];
            if (named(from) >= 0) name(from, call == "rename" ? a[1] : a[3], named(from));
        } else if (call == "unlink" || call == "unlinkat") {
            const std::string path = call == "unlink" ? a[0] : a[1];
            if (named(path) >= 0) name(path, "", named(path));
        } else if ((call == "fsetxattr" || call == "fremovexattr") && inode >= 0) {
            Op& op = add(Op::kAttribute, inode, record->devices[inode]);
            op.attribute = a[1];
            op.value = call == "fsetxattr" ? a[2] : "\x01";
        } else if (inode >= 0 && call != "fcntl") {
            ADD_FAILURE() << "the explorer does not model " << line.substr(0, 120);
            return false;
        }
    }
    return true;
}

// One state a power cut after `cut` operations could leave, where `kept`
// says which of the operations not yet synced reached the disk.
struct State {
    std::vector<std::string> contents;
    std::vector<bool> torn;
    std::vector<std::map<std::string, std::string>> attributes;
    std::map<std::string, int> names;
};

State Build(const Record& record, size_t cut, const std::vector<bool>& synced,
            const std::vector<bool>& kept) {
    State state{record.contents, std::vector<bool>(record.contents.size(), false),
                std::vector<std::map<std::string, std::string>>(record.contents.size()),
                record.names};
    for (size_t i = 0; i < cut; ++i) {
        const Op& op = record.ops[i];
        if (op.kind == Op::kData) {
            // A sync covers every earlier write of its file.
            if (synced[i]) state.contents[op.inode] = op.content;
            if (!synced[i]) state.torn[op.inode] = true;
        } else if ((op.kind == Op::kName || op.kind == Op::kAttribute) && (synced[i] || kept[i])) {
            if (op.kind == Op::kAttribute && op.value == "\x01") {
                state.attributes[op.inode].erase(op.attribute);
            } else if (op.kind == Op::kAttribute) {
                state.attributes[op.inode][op.attribute] = op.value;
            } else if (op.from.empty() || state.names.count(op.from)) {
                if (!op.from.empty()) state.names.erase(op.from);
                if (!op.to.empty()) state.names[op.to] = op.inode;
            }
        }
    }
    for (auto it = state.names.begin(); it != state.names.end();) {
        it = InMemory(record.devices[it->second]) ? state.names.erase(it) : std::next(it);
    }
    return state;
}

// Which of the first `cut` operations are on disk for sure: those a later
// sync within the cut covers.
std::vector<bool> Synced(const Record& record, size_t cut, bool ext4) {
    std::vector<bool> synced(cut, false);
    for (size_t i = 0; i < cut; ++i) {
        const Op& op = record.ops[i];
        for (size_t j = i + 1; j < cut && !synced[i]; ++j) {
            const Op& sync = record.ops[j];
            const bool sameDevice = sync.device == op.device;
            if (sync.kind == Op::kSyncAll) synced[i] = sameDevice;
            if (op.kind == Op::kData || (op.kind == Op::kAttribute && !ext4)) {
                synced[i] = synced[i] || (sync.kind == Op::kSyncFile && sync.inode == op.inode);
            } else if (op.kind == Op::kName || op.kind == Op::kAttribute) {
                const bool folder = sync.kind == Op::kSyncFolder &&
                                    (sync.folder == op.folder || sync.folder == op.folder2) &&
                                    op.folder == op.folder2;
                const bool journal = ext4 && sameDevice &&
                                     (sync.kind == Op::kSyncFile || sync.kind == Op::kSyncFolder);
                synced[i] = synced[i] || folder || journal;
            }
        }
    }
    return synced;
}

struct Figures {
    int states = 0, neither = 0, lost = 0;
    std::string firstLoss;
};

// Checks one state: every name holds the old or the new content, or the
// file's mark names a copy that is on disk and whole.
void Check(const State& state, const std::vector<std::string>& names, const std::string& before,
           const std::string& after, const std::string& where, Figures* figures) {
    ++figures->states;
    std::string problem;
    const int inode = state.names.count(names[0]) ? state.names.at(names[0]) : -1;
    for (const std::string& name : names) {
        if (!state.names.count(name) || state.names.at(name) != inode)
            problem = name + " lost or split from the file's other names";
    }
    const bool whole = problem.empty() && !state.torn[inode] &&
                       (state.contents[inode] == before || state.contents[inode] == after);
    if (problem.empty() && !whole) {
        ++figures->neither;
        const auto mark = state.attributes[inode].find(kMarkName);
        const std::string copy = mark == state.attributes[inode].end()
                                     ? ""
                                     : mark->second.substr(0, mark->second.find('\n'));
        const int copied = state.names.count(copy) ? state.names.at(copy) : -1;
        if (copied < 0 || state.torn[copied] || state.contents[copied] != after)
            problem = "torn, and no whole copy is marked on it";
    }
    if (!problem.empty() && figures->lost++ == 0) figures->firstLoss = where + ": " + problem;
}

// Every crash state of `record` under one model.
Figures Explore(const Record& record, const std::vector<std::string>& names,
                const std::string& before, const std::string& after, bool ext4) {
    Figures figures;
    for (size_t cut = 0; cut <= record.ops.size(); ++cut) {
        const std::vector<bool> synced = Synced(record, cut, ext4);
        std::vector<size_t> open;  // names and attributes not synced yet
        for (size_t i = 0; i < cut; ++i) {
            const Op::Kind kind = record.ops[i].kind;
            if (!synced[i] && (kind == Op::kName || kind == Op::kAttribute)) open.push_back(i);
        }
        EXPECT_LE(open.size(), 12u);
        // ext4 keeps a prefix of them; the weak model any subset.
        const size_t choices = ext4 ? open.size() + 1 : size_t{1} << open.size();
        for (size_t choice = 0; choice < choices; ++choice) {
            std::vector<bool> kept(cut, false);
            for (size_t k = 0; k < open.size(); ++k)
                kept[open[k]] = ext4 ? k < choice : (choice >> k & 1) != 0;
            Check(Build(record, cut, synced, kept), names, before, after,
                  "after operation " + std::to_string(cut), &figures);
        }
    }
    return figures;
}

TEST(SaveCrashStatesTest, EveryPowerCutLeavesTheOldFileTheNewOneOrAMarkedWholeCopy) {
    if (access("/usr/bin/strace", X_OK) != 0) GTEST_SKIP() << "strace is missing";
    if (geteuid() != 0) GTEST_SKIP() << "only root can record a save as another user";
    enum { kSecondName = 1, kLockedFolder = 2, kMemoryTemp = 4 };
    const struct {
        const char* path;
        int how;
    } paths[] = {{"rename", 0},
                 {"in place, second name", kSecondName},
                 {"in place, unwritable folder", kLockedFolder},
                 {"in place, unwritable folder, TMPDIR on tmpfs", kLockedFolder | kMemoryTemp}};
    const std::string title = "A title far longer than the padding " + std::string(400, 't');
    // Larger than the save's 1 MiB buffer, so that each copy takes several writes.
    const Bytes sample = MakeLargeMp3(3u << 20);
    const std::string before(sample.begin(), sample.end());
    for (const auto& [path, how] : paths) {
        SCOPED_TRACE(path);
        TempDir dir, logs;
        ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
        std::vector<std::string> names = {dir.Write("song.mp3", before)};
        if (how & kSecondName) names.push_back(dir.File("other.mp3"));
        ASSERT_TRUE(names.size() == 1 || link(names[0].c_str(), names[1].c_str()) == 0);
        ASSERT_EQ(chown(names[0].c_str(), how & kLockedFolder ? kNobodyId : 0, 0), 0);
        const std::string log = logs.File("save.log");
        std::vector<std::string> command = {
            "/usr/bin/strace",
            "-qq",
            "-xx",
            "-s",
            "100000000",
            "-o",
            log,
            "-e",
            "signal=none",
            "-e",
            "trace=openat,close,fcntl,write,pwrite64,ftruncate,fallocate,fsync,syncfs,link,linkat,"
            "rename,renameat2,unlink,fsetxattr,fremovexattr,copy_file_range,dup,dup2,dup3,lseek,"
            "fdatasync,setxattr,removexattr,unlinkat,renameat"};
        if (how & kLockedFolder) command.insert(command.end(), {"-u", "nobody"});
        command.insert(command.end(),
                       {"/usr/bin/env", "ASAN_OPTIONS=detect_leaks=0",
                        std::string("TMPDIR=") + (how & kMemoryTemp ? "/dev/shm" : "/tmp"),
                        LY_LYTAG_PATH, "set", "-q", names[0], "--field", "title=" + title});
        const CommandResult saved = RunCommand(command);
        std::string shared;
        if (how & kLockedFolder && !SharedCopyFolder(&shared))
            GTEST_SKIP() << "/var/tmp does not survive a power cut here: such saves are refused";
        ASSERT_EQ(saved.status, 0) << saved.err;
        const Bytes saving = ReadBytes(names[0]);
        const std::string after(saving.begin(), saving.end());
        ASSERT_NE(after, before);

        Record record;
        ASSERT_TRUE(ReadRecord(log, names, before, &record));
        // Replayed whole, the record is the save: the model follows it.
        const State done =
            Build(record, record.ops.size(), std::vector<bool>(record.ops.size(), true), {});
        ASSERT_TRUE(done.names.count(names[0]));
        EXPECT_EQ(done.contents[done.names.at(names[0])], after);
        EXPECT_TRUE(done.attributes[done.names.at(names[0])].empty());
        for (bool ext4 : {false, true}) {
            const Figures figures = Explore(record, names, before, after, ext4);
            std::printf("%-45s %-6s %4d states, %3d neither old nor new, %d lost\n", path,
                        ext4 ? "ext4" : "ALICE", figures.states, figures.neither, figures.lost);
            EXPECT_EQ(figures.lost, 0) << figures.firstLoss;
            // In place, the states the copy answers for are reached, or the
            // explorer would prove nothing about them.
            EXPECT_EQ(figures.neither > 0, how != 0) << (ext4 ? "ext4" : "ALICE");
        }
    }
}

}  // namespace
