// The registry shared between processes: notifications of another process's writes, writers
// running at the same time, and a writer killed in the middle of its work.
#include "registry_testing.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace registrytest;

namespace {

const std::string kWriter = std::string(BRONTAL_BINARY_DIR) + "/bin/registry_writer";

// Starts the writer program; with out, its standard output comes back through a pipe.
pid_t Spawn(const std::vector<std::string>& args, int* out = nullptr) {
    std::vector<char*> argv;
    std::vector<std::string> all = {kWriter};
    all.insert(all.end(), args.begin(), args.end());
    for (std::string& a : all) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int fds[2] = {-1, -1};
    if (out) {
        EXPECT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, kWriter.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << kWriter;
    if (out) {
        close(fds[1]);
        *out = fds[0];
    }
    return rc == 0 ? pid : -1;
}

int WaitExit(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class RegistryProcesses : public ::testing::Test {
  protected:
    testsupport::ScopedRegistryDir dir_;
};

// A write by another process reaches this one through the watcher thread; the wait is generous
// because it only ends early when the event fires.
constexpr DWORD kDeliveryMs = 20000;

TEST_F(RegistryProcesses, AnotherProcessWriteIsNotified) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Orvane\\Brontl\\Settings");
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(RegNotifyChangeKeyValue(key, TRUE, REG_NOTIFY_CHANGE_LAST_SET, event, TRUE),
              ERROR_SUCCESS);
    const pid_t pid =
        Spawn({"dword", "Software\\Orvane\\Brontl\\Settings\\Communication", "Baud", "57600"});
    ASSERT_GT(pid, 0);
    ASSERT_EQ(WaitExit(pid), 0);
    EXPECT_EQ(WaitForSingleObject(event, kDeliveryMs), WAIT_OBJECT_0);
    HKEY comm = nullptr;
    ASSERT_EQ(RegOpenKeyExA(key, "Communication", 0, KEY_READ, &comm), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(comm, "Baud"), 57600u);
    RegCloseKey(comm);
    RegCloseKey(key);
    CloseHandle(event);
}

TEST_F(RegistryProcesses, AnotherProcessUnrelatedWriteDoesNotFire) {
    HKEY a = CreateKey(HKEY_CURRENT_USER, "Software\\A");
    HKEY b = CreateKey(HKEY_CURRENT_USER, "Software\\B");
    HANDLE eventA = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE eventB = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_EQ(RegNotifyChangeKeyValue(a, TRUE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME,
                                      eventA, TRUE),
              ERROR_SUCCESS);
    ASSERT_EQ(RegNotifyChangeKeyValue(b, TRUE, REG_NOTIFY_CHANGE_LAST_SET, eventB, TRUE),
              ERROR_SUCCESS);
    pid_t pid = Spawn({"dword", "Software\\Unrelated", "x", "1"});
    ASSERT_EQ(WaitExit(pid), 0);
    pid = Spawn({"dword", "Software\\B", "y", "2"});
    ASSERT_EQ(WaitExit(pid), 0);
    // Once the later write to B has been seen, the earlier one has been judged too.
    ASSERT_EQ(WaitForSingleObject(eventB, kDeliveryMs), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(eventA, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    RegCloseKey(a);
    RegCloseKey(b);
    CloseHandle(eventA);
    CloseHandle(eventB);
}

TEST_F(RegistryProcesses, ConcurrentWritersLoseNothing) {
    constexpr int kEach = 120;
    const pid_t first = Spawn({"many", "Software\\Shared", "A", std::to_string(kEach)});
    const pid_t second = Spawn({"many", "Software\\Shared", "B", std::to_string(kEach)});
    ASSERT_GT(first, 0);
    ASSERT_GT(second, 0);
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Shared");
    for (int i = 0; i < kEach; ++i) {
        ASSERT_EQ(SetDword(key, ("C" + std::to_string(i)).c_str(), i), ERROR_SUCCESS);
    }
    EXPECT_EQ(WaitExit(first), 0);
    EXPECT_EQ(WaitExit(second), 0);
    const std::vector<std::string> names = ValueNames(key);
    EXPECT_EQ(names.size(), 3u * kEach);
    for (const char* prefix : {"A", "B", "C"}) {
        for (int i = 0; i < kEach; ++i) {
            const std::string name = prefix + std::to_string(i);
            EXPECT_EQ(QueryDword(key, name.c_str()), static_cast<DWORD>(i)) << name;
        }
    }
    RegCloseKey(key);
}

void Drain(int inotify) {
    pollfd p{inotify, POLLIN, 0};
    char buffer[4096];
    while (poll(&p, 1, 0) > 0 && read(inotify, buffer, sizeof buffer) > 0) {
    }
}

// Blocks until the writer creates its temporary file anew, i.e. is in the middle of a commit.
bool WaitForTemporaryFile(int inotify) {
    Drain(inotify);  // the rounds before count for nothing
    alignas(inotify_event) char buffer[4096];
    while (true) {
        pollfd p{inotify, POLLIN, 0};
        if (poll(&p, 1, 20000) <= 0) {
            return false;
        }
        const ssize_t n = read(inotify, buffer, sizeof buffer);
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
            if (ev->len > 0 && std::strcmp(ev->name, "user.reg.tmp") == 0) {
                return true;
            }
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        }
    }
}

TEST_F(RegistryProcesses, KilledWriterLeavesTheLastWholeFile) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Churn");
    ASSERT_EQ(SetText(key, "Sentinel", "kept"), ERROR_SUCCESS);
    const int inotify = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(inotify, 0);
    ASSERT_GE(inotify_add_watch(inotify, dir_.path().c_str(), IN_CREATE), 0);
    for (int attempt = 0; attempt < 6; ++attempt) {
        SCOPED_TRACE(attempt);
        int out = -1;
        const pid_t pid = Spawn({"churn", "Software\\Churn"}, &out);
        ASSERT_GT(pid, 0);
        char ready[8] = {};
        ASSERT_EQ(read(out, ready, 6), 6);
        EXPECT_STREQ(ready, "ready\n");
        close(out);
        if (attempt % 2 == 0) {
            EXPECT_TRUE(WaitForTemporaryFile(inotify));  // killed while it writes the new file
        } else {
            Sleep(static_cast<DWORD>(5 * attempt));  // killed wherever it happens to be
        }
        ASSERT_EQ(kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status));

        EXPECT_EQ(Query(key, "Sentinel"), std::string("kept\0", 5));
        DWORD type = 0;
        LSTATUS st = 0;
        const std::string blob = Query(key, "Blob", &type, &st);
        ASSERT_EQ(st, ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
        ASSERT_EQ(blob.size(), 200u * 1024);
        EXPECT_EQ(blob.find_first_not_of(blob[0]), std::string::npos) << "a torn value";
        // The dead writer's lock went with it, and its leftovers do not get in the way.
        ASSERT_EQ(SetDword(key, "After", static_cast<DWORD>(attempt)), ERROR_SUCCESS);
        EXPECT_EQ(QueryDword(key, "After"), static_cast<DWORD>(attempt));
        EXPECT_FALSE(testsupport::FileExists(dir_.path() + "/user.reg.tmp"));
    }
    close(inotify);
    RegCloseKey(key);
}

}  // namespace
