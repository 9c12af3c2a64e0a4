// The registry shared between processes: notifications of another process's writes, writers
// running at the same time, and a writer killed in the middle of its work.
#include "ChildProcess.h"
#include "registry_testing.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace registrytest;

namespace {

const std::string kWriter = std::string(BRONTAL_BINARY_DIR) + "/bin/registry_writer";

// Runs the writer program to its end; its exit status.
int RunWriter(const std::vector<std::string>& args) {
    return testsupport::RunProgram(kWriter, args).exitCode;
}

// The writer program started and left running, its standard output on a pipe.
class Writer : public testsupport::ChildProcess {
  public:
    explicit Writer(const std::vector<std::string>& args)
        : ChildProcess(kWriter, args, Streams()) {}

  private:
    static testsupport::ChildStreams Streams() {
        testsupport::ChildStreams streams;
        streams.outputPipe = true;
        return streams;
    }
};

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
    ASSERT_EQ(
        RunWriter({"dword", "Software\\Orvane\\Brontl\\Settings\\Communication", "Baud", "57600"}),
        0);
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
    ASSERT_EQ(RunWriter({"dword", "Software\\Unrelated", "x", "1"}), 0);
    ASSERT_EQ(RunWriter({"dword", "Software\\B", "y", "2"}), 0);
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
    Writer first({"many", "Software\\Shared", "A", std::to_string(kEach)});
    Writer second({"many", "Software\\Shared", "B", std::to_string(kEach)});
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(second.Started());
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Shared");
    for (int i = 0; i < kEach; ++i) {
        ASSERT_EQ(SetDword(key, ("C" + std::to_string(i)).c_str(), i), ERROR_SUCCESS);
    }
    EXPECT_EQ(first.Wait(60), 0);
    EXPECT_EQ(second.Wait(60), 0);
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
        Writer writer({"churn", "Software\\Churn"});
        ASSERT_TRUE(writer.Started());
        EXPECT_EQ(writer.ReadLine(), "ready");
        if (attempt % 2 == 0) {
            EXPECT_TRUE(WaitForTemporaryFile(inotify));  // killed while it writes the new file
        } else {
            Sleep(static_cast<DWORD>(5 * attempt));  // killed wherever it happens to be
        }
        writer.Signal(SIGKILL);
        ASSERT_EQ(writer.Wait(60), -1);  // ended by the signal

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
