#include "registry_store.h"

#include "registry_format.h"
#include "registry_notify.h"
#include "registry_serialcomm.h"
#include "serial_portowner.h"

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brontal::registry {

namespace {

// Settings hives are small; anything this large is not one of ours.
constexpr off_t kMaxHiveFileBytes = 64 << 20;

struct CacheEntry {
    std::string bytes;
    Snapshot root;
};

// Parsed hives by file, reused while the file's bytes are unchanged. Comparing bytes rather than
// times keeps the cache right even when two writes fall in one timestamp tick.
std::mutex& CacheMutex() {
    static auto* m = new std::mutex;
    return *m;
}
std::map<std::string, CacheEntry>& Cache() {
    static auto* cache = new std::map<std::string, CacheEntry>;
    return *cache;
}
constexpr size_t kMaxCachedHives = 8;

void Remember(const std::string& file, std::string bytes, Snapshot root) {
    std::lock_guard<std::mutex> guard(CacheMutex());
    auto& cache = Cache();
    if (cache.size() >= kMaxCachedHives && cache.find(file) == cache.end()) {
        cache.clear();
    }
    cache[file] = CacheEntry{std::move(bytes), std::move(root)};
}

Snapshot Recall(const std::string& file, const std::string& bytes) {
    std::lock_guard<std::mutex> guard(CacheMutex());
    auto it = Cache().find(file);
    if (it != Cache().end() && it->second.bytes == bytes) {
        return it->second.root;
    }
    return nullptr;
}

Snapshot EmptyHive() {
    static const Snapshot* empty = new Snapshot(std::make_shared<Key>());
    return *empty;
}

LSTATUS FromErrno(int err, LSTATUS otherwise) {
    switch (err) {
        case EACCES:
        case EPERM:
        case EROFS:
            return ERROR_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        default:
            return otherwise;
    }
}

mode_t FileMode(Hive hive) {
    return hive == Hive::User ? 0600 : 0644;
}
mode_t DirMode(Hive hive) {
    return hive == Hive::User ? 0700 : 0755;
}

LSTATUS MakeDirs(const std::string& dir, mode_t mode) {
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) {
        return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
    }
    const size_t slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0) {
        const LSTATUS parent = MakeDirs(dir.substr(0, slash), mode);
        if (parent != ERROR_SUCCESS) {
            return parent;
        }
    }
    if (mkdir(dir.c_str(), mode) != 0 && errno != EEXIST) {
        return FromErrno(errno, ERROR_PATH_NOT_FOUND);
    }
    return ERROR_SUCCESS;
}

// A lock file beside the hive: flock on it orders the writers and lets readers wait out a write.
class HiveLock {
  public:
    HiveLock() = default;
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    ~HiveLock() {
        if (fd_ >= 0) {
            close(fd_);  // releases the lock
        }
    }

    LSTATUS Exclusive(const HiveLocation& location) {
        fd_ = open((location.file + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC,
                   FileMode(location.hive));
        if (fd_ < 0) {
            return FromErrno(errno, ERROR_CANTWRITE);
        }
        return Take(LOCK_EX) ? ERROR_SUCCESS : ERROR_CANTWRITE;
    }

    // Best effort: a reader without the right to create the lock file (another user's folder)
    // still reads safely, since a write replaces the file in one rename.
    void Shared(const HiveLocation& location) {
        const std::string path = location.file + ".lock";
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0 && errno == ENOENT) {
            fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, FileMode(location.hive));
        }
        if (fd_ >= 0 && !Take(LOCK_SH)) {
            close(fd_);
            fd_ = -1;
        }
    }

  private:
    bool Take(int mode) {
        while (flock(fd_, mode) != 0) {
            if (errno != EINTR) {
                return false;
            }
        }
        return true;
    }

    int fd_ = -1;
};

FILETIME ToFileTime(const struct timespec& ts) {
    // 100 ns intervals since 1601-01-01.
    const unsigned long long ticks =
        (static_cast<unsigned long long>(ts.tv_sec) + 11644473600ULL) * 10000000ULL +
        static_cast<unsigned long long>(ts.tv_nsec) / 100;
    return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFF), static_cast<DWORD>(ticks >> 32)};
}

// Reads and parses the hive file; the caller holds whatever lock it needs. bytes receives the
// file as read (empty for an absent file).
LSTATUS LoadUnlocked(const HiveLocation& location, Snapshot& root, FILETIME* written,
                     std::string& bytes) {
    bytes.clear();
    if (written) {
        *written = FILETIME{};
    }
    const int fd = open(location.file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) {
            root = EmptyHive();
            return ERROR_SUCCESS;
        }
        return (errno == EACCES || errno == EPERM) ? ERROR_ACCESS_DENIED : ERROR_CANTREAD;
    }
    struct stat st {};
    LSTATUS status = ERROR_SUCCESS;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        status = ERROR_CANTREAD;
    } else if (st.st_size > kMaxHiveFileBytes) {
        status = ERROR_REGISTRY_CORRUPT;
    } else {
        bytes.resize(static_cast<size_t>(st.st_size));
        size_t got = 0;
        while (status == ERROR_SUCCESS) {
            if (got == bytes.size()) {
                bytes.resize(bytes.size() + 4096);  // the file may have grown since fstat
            }
            const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                status = ERROR_CANTREAD;
            } else if (n == 0) {
                break;
            } else {
                got += static_cast<size_t>(n);
                if (got > static_cast<size_t>(kMaxHiveFileBytes)) {
                    status = ERROR_REGISTRY_CORRUPT;
                }
            }
        }
        bytes.resize(got);
        if (written) {
            *written = ToFileTime(st.st_mtim);
        }
    }
    close(fd);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (Snapshot cached = Recall(location.file, bytes)) {
        root = std::move(cached);
        return ERROR_SUCCESS;
    }
    auto parsed = std::make_shared<Key>();
    if (!ParseHive(bytes, HiveRootName(location.hive), *parsed)) {
        return ERROR_REGISTRY_CORRUPT;
    }
    root = parsed;
    Remember(location.file, bytes, root);
    return ERROR_SUCCESS;
}

LSTATUS WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return FromErrno(errno, ERROR_CANTWRITE);
        }
        done += static_cast<size_t>(n);
    }
    return ERROR_SUCCESS;
}

// The rename is the commit point: until then the old file stands whole, whatever happens to us.
LSTATUS Commit(const HiveLocation& location, const std::string& bytes) {
    const std::string temp = location.file + ".tmp";
    unlink(temp.c_str());  // left by a writer that died; we hold the lock, so it is no one's
    const int fd =
        open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, FileMode(location.hive));
    if (fd < 0) {
        return FromErrno(errno, ERROR_CANTWRITE);
    }
    LSTATUS status = WriteAll(fd, bytes);
    if (status == ERROR_SUCCESS && fsync(fd) != 0) {
        status = FromErrno(errno, ERROR_CANTWRITE);
    }
    if (close(fd) != 0 && status == ERROR_SUCCESS) {
        status = ERROR_CANTWRITE;
    }
    if (status == ERROR_SUCCESS && rename(temp.c_str(), location.file.c_str()) != 0) {
        status = FromErrno(errno, ERROR_CANTWRITE);
    }
    if (status != ERROR_SUCCESS) {
        unlink(temp.c_str());
        return status;
    }
    const int dirFd = open(location.dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);  // makes the rename itself durable
        close(dirFd);
    }
    return ERROR_SUCCESS;
}

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) {
        return home;
    }
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &pw, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir) {
        return found->pw_dir;
    }
    return std::string();
}

}  // namespace

const Text& HiveRootName(Hive hive) {
    static const Text* user = new Text(u"HKEY_CURRENT_USER");
    static const Text* machine = new Text(u"HKEY_LOCAL_MACHINE");
    return hive == Hive::User ? *user : *machine;
}

LSTATUS LocateHive(Hive hive, HiveLocation& location) {
    location.hive = hive;
    const char* fileName = hive == Hive::User ? "user.reg" : "machine.reg";
    if (const char* dir = std::getenv("BRONTAL_REGISTRY_DIR"); dir && *dir) {
        location.dir = dir;
        location.relocated = true;
    } else if (hive == Hive::Machine) {
        location.dir = "/var/lib/brontal";
        location.relocated = false;
    } else {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        if (config && config[0] == '/') {
            location.dir = std::string(config) + "/brontal";
        } else {
            const std::string home = HomeDir();
            if (home.empty()) {
                return ERROR_PATH_NOT_FOUND;
            }
            location.dir = home + "/.config/brontal";
        }
        location.relocated = false;
    }
    while (location.dir.size() > 1 && location.dir.back() == '/') {
        location.dir.pop_back();
    }
    location.file = location.dir + "/" + fileName;
    return ERROR_SUCCESS;
}

LSTATUS EnsureHiveFolder(const HiveLocation& location) {
    return MakeDirs(location.dir, DirMode(location.hive));
}

LSTATUS InspectHiveFile(const HiveLocation& location,
                        const std::function<void(const Snapshot&)>& whileLocked) {
    HiveLock lock;
    lock.Shared(location);
    Snapshot root;
    std::string bytes;
    const LSTATUS status = LoadUnlocked(location, root, nullptr, bytes);
    if (status == ERROR_SUCCESS) {
        whileLocked(root);
    }
    return status;
}

LSTATUS LoadHiveFile(const HiveLocation& location, Snapshot& root, FILETIME* written) {
    HiveLock lock;
    lock.Shared(location);
    std::string bytes;
    return LoadUnlocked(location, root, written, bytes);
}

LSTATUS ReadHive(Hive hive, Snapshot& root, FILETIME* written) {
    HiveLocation location;
    LSTATUS status = LocateHive(hive, location);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = LoadHiveFile(location, root, written);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    if (hive == Hive::Machine) {
        // The file keeps what was written; the view leaves out the ports of ended owners and,
        // outside a relocated registry, adds the system's own ports.
        if (!location.relocated || serial::HasPortOwners(*root)) {
            auto view = CloneKey(*root);
            serial::DropEndedPortOwners(*view);
            if (!location.relocated) {
                AddSystemSerialPorts(*view);
            }
            root = Snapshot(std::move(view));
        }
    }
    return ERROR_SUCCESS;
}

LSTATUS WriteHive(Hive hive, const std::function<LSTATUS(Key& root)>& mutate) {
    HiveLocation location;
    LSTATUS status = LocateHive(hive, location);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = MakeDirs(location.dir, DirMode(hive));
    if (status != ERROR_SUCCESS) {
        return status;
    }
    HiveLock lock;
    status = lock.Exclusive(location);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    Snapshot before;
    std::string bytes;
    status = LoadUnlocked(location, before, nullptr, bytes);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::unique_ptr<Key> after = CloneKey(*before);
    // Ports of ended owners are dropped before the change, as readers no longer see them (a new
    // entry may take the name of one), and after it (an entry taken out leaves its claim).
    if (hive == Hive::Machine && serial::HasPortOwners(*after)) {
        serial::DropEndedPortOwners(*after);
    }
    status = mutate(*after);
    if (status == ERROR_SUCCESS && hive == Hive::Machine && serial::HasPortOwners(*after)) {
        serial::DropEndedPortOwners(*after);
    }
    if (status != ERROR_SUCCESS || SameContent(*before, *after)) {
        return status;
    }
    bytes = FormatHive(*after, HiveRootName(hive));
    if (bytes.size() > static_cast<size_t>(kMaxHiveFileBytes)) {
        return ERROR_NOT_ENOUGH_MEMORY;  // the hive's quota: a file this big would not load again
    }
    status = Commit(location, bytes);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    Snapshot committed(std::move(after));
    Remember(location.file, std::move(bytes), committed);
    NotifyHiveChanged(location, committed);
    return ERROR_SUCCESS;
}

}  // namespace brontal::registry
