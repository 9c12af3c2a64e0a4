#include "registry_notify.h"

#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include <cerrno>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace brontal::registry {

namespace {

struct Watch {
    ULONG_PTR handle = 0;
    struct Part {
        WatchTarget target;
        Snapshot baseline;  // what the hive held when the watch was armed
    };
    std::vector<Part> parts;
    bool subtree = false;
    DWORD filter = 0;
    HANDLE event = nullptr;  // null: a caller waits on `fired`
    bool fired = false;
};

// Process-wide and never destroyed: the watcher thread may still be running at exit.
struct Watches {
    std::mutex mutex;
    std::condition_variable firedSignal;
    std::list<std::shared_ptr<Watch>> armed;
};
Watches& State() {
    static auto* state = new Watches;
    return *state;
}

bool HasAnyValue(const Key& key) {
    if (!key.values.empty()) {
        return true;
    }
    for (const auto& sub : key.subkeys) {
        if (HasAnyValue(*sub)) {
            return true;
        }
    }
    return false;
}

bool SameValues(const Key& a, const Key& b) {
    if (a.values.size() != b.values.size()) {
        return false;
    }
    for (size_t i = 0; i < a.values.size(); ++i) {
        if (a.values[i].name != b.values[i].name || a.values[i].type != b.values[i].type ||
            a.values[i].data != b.values[i].data) {
            return false;
        }
    }
    return true;
}

// Whether what the filter asks about differs between two states of one key. A subkey that comes
// or goes with values in it counts as a value change in a watched subtree, so that a watcher of
// values learns when a whole branch of them is removed.
bool Changed(const Key* before, const Key* after, bool subtree, DWORD filter) {
    if (!before || !after) {
        return before != after;  // the watched key itself was created or deleted
    }
    if ((filter & REG_NOTIFY_CHANGE_LAST_SET) && !SameValues(*before, *after)) {
        return true;
    }
    size_t i = 0;
    size_t j = 0;
    const auto& b = before->subkeys;
    const auto& a = after->subkeys;
    while (i < b.size() || j < a.size()) {
        const int order = i == b.size()   ? 1
                          : j == a.size() ? -1
                                          : CompareNames(b[i]->name, a[j]->name);
        if (order != 0) {
            const Key& lone = order < 0 ? *b[i] : *a[j];
            if (filter & REG_NOTIFY_CHANGE_NAME) {
                return true;
            }
            if (subtree && (filter & REG_NOTIFY_CHANGE_LAST_SET) && HasAnyValue(lone)) {
                return true;
            }
            order < 0 ? ++i : ++j;
            continue;
        }
        if (subtree && Changed(b[i].get(), a[j].get(), true, filter)) {
            return true;
        }
        ++i;
        ++j;
    }
    return false;
}

// Called with the mutex held.
void Fire(Watches& state, const std::shared_ptr<Watch>& watch) {
    watch->fired = true;
    if (watch->event) {
        SetEvent(watch->event);
    } else {
        state.firedSignal.notify_all();
    }
}

// Called with the mutex held; compares every watch on this file with the hive's new state.
void Evaluate(Watches& state, const std::string& file, const Snapshot& now) {
    for (auto it = state.armed.begin(); it != state.armed.end();) {
        const std::shared_ptr<Watch>& watch = *it;
        bool changed = false;
        for (Watch::Part& part : watch->parts) {
            if (part.target.location.file != file) {
                continue;
            }
            const Key* before = FindPath(*part.baseline, part.target.path);
            const Key* after = FindPath(*now, part.target.path);
            if (Changed(before, after, watch->subtree, watch->filter)) {
                changed = true;
                break;
            }
            part.baseline = now;  // nothing that matters here changed
        }
        if (changed) {
            Fire(state, watch);
            it = state.armed.erase(it);
        } else {
            ++it;
        }
    }
}

// --- the watcher thread ---

struct Watcher {
    std::mutex mutex;
    int fd = -1;
    std::map<int, std::string> folders;  // watch descriptor -> folder
};
Watcher& TheWatcher() {
    static auto* watcher = new Watcher;
    return *watcher;
}

void ReloadAndEvaluate(const std::string& file) {
    Watches& state = State();
    HiveLocation location;
    {
        std::lock_guard<std::mutex> guard(state.mutex);
        bool wanted = false;
        for (const auto& watch : state.armed) {
            for (const Watch::Part& part : watch->parts) {
                if (part.target.location.file == file) {
                    location = part.target.location;
                    wanted = true;
                }
            }
        }
        if (!wanted) {
            return;
        }
    }
    // A file that does not parse (a hand edit in progress) fires nothing; the next good one will.
    InspectHiveFile(location, [&](const Snapshot& now) {
        std::lock_guard<std::mutex> guard(state.mutex);
        Evaluate(state, file, now);
    });
}

void WatcherLoop(int fd) {
    alignas(inotify_event) char buffer[16 * 1024];
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) {
                continue;
            }
            return;
        }
        std::set<std::string> files;
        Watcher& watcher = TheWatcher();
        {
            std::lock_guard<std::mutex> guard(watcher.mutex);
            for (ssize_t off = 0; off + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
                off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                auto folder = watcher.folders.find(ev->wd);
                if (folder == watcher.folders.end()) {
                    continue;
                }
                if (ev->mask & IN_IGNORED) {
                    watcher.folders.erase(folder);
                    continue;
                }
                if (ev->len > 0) {
                    files.insert(folder->second + "/" + ev->name);
                }
            }
        }
        for (const std::string& file : files) {
            ReloadAndEvaluate(file);
        }
    }
}

LSTATUS StartWatcher() {
    Watcher& watcher = TheWatcher();
    std::lock_guard<std::mutex> guard(watcher.mutex);
    if (watcher.fd >= 0) {
        return ERROR_SUCCESS;
    }
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0) {
        return errno == EMFILE || errno == ENFILE ? ERROR_TOO_MANY_OPEN_FILES
                                                  : ERROR_NOT_ENOUGH_MEMORY;
    }
    try {
        std::thread(WatcherLoop, fd).detach();
    } catch (...) {
        close(fd);
        return ERROR_NOT_ENOUGH_MEMORY;
    }
    watcher.fd = fd;
    return ERROR_SUCCESS;
}

// Writes by other processes show as a rename into the folder (ours, and regedit-style tools) or
// as a file closed after writing (an editor saving in place).
void WatchFolder(const std::string& folder) {
    Watcher& watcher = TheWatcher();
    std::lock_guard<std::mutex> guard(watcher.mutex);
    const int wd = inotify_add_watch(watcher.fd, folder.c_str(),
                                     IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM);
    if (wd >= 0) {
        watcher.folders[wd] = folder;
    }
}

}  // namespace

LSTATUS ArmNotification(ULONG_PTR handle, const std::vector<WatchTarget>& targets, bool subtree,
                        DWORD filter, HANDLE event) {
    LSTATUS status = StartWatcher();
    if (status != ERROR_SUCCESS) {
        return status;
    }
    auto watch = std::make_shared<Watch>();
    watch->handle = handle;
    watch->subtree = subtree;
    watch->filter = filter;
    watch->event = event;
    // The folder is watched before the baseline is read, so no write can slip between the two.
    for (const WatchTarget& target : targets) {
        EnsureHiveFolder(target.location);  // best effort: without it only our own writes show
        WatchFolder(target.location.dir);
        Watch::Part part{target, nullptr};
        status =
            InspectHiveFile(target.location, [&](const Snapshot& now) { part.baseline = now; });
        if (status != ERROR_SUCCESS) {
            return status;
        }
        watch->parts.push_back(std::move(part));
    }
    Watches& state = State();
    std::unique_lock<std::mutex> lock(state.mutex);
    state.armed.push_back(watch);
    if (!event) {
        state.firedSignal.wait(lock, [&] { return watch->fired; });
    }
    return ERROR_SUCCESS;
}

void ReleaseNotifications(ULONG_PTR handle) {
    Watches& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    for (auto it = state.armed.begin(); it != state.armed.end();) {
        if ((*it)->handle == handle) {
            Fire(state, *it);
            it = state.armed.erase(it);
        } else {
            ++it;
        }
    }
}

void NotifyHiveChanged(const HiveLocation& location, const Snapshot& now) {
    Watches& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    Evaluate(state, location.file, now);
}

}  // namespace brontal::registry
