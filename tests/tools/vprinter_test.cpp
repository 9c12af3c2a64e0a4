// The vprinter program as a user runs it: its port-map entry goes with it however it ends, also
// when it is killed (then a pseudo-terminal the system hands out again is not taken for it), and
// what it cannot do is said in words before it serves.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <vector>

#include "Registry.h"
#include "ToolRunner.h"

namespace tooltest {
namespace {

const std::string kVprinter = std::string(BRONTAL_BINARY_DIR) + "/bin/vprinter";

// One vprinter child with its standard input on a pipe the test holds and its announcement read
// from its standard output; the child ends with the object, whatever the test did.
class Vprinter {
  public:
    explicit Vprinter(const std::vector<std::string>& arguments)
        : child_(kVprinter, arguments, Streams(scratch_)) {}

    // "COMn /dev/pts/K" split; false when it did not come.
    bool Announcement(int* port, std::string* device) {
        const std::string line = child_.ReadLine();
        const size_t space = line.find(' ');
        if (line.rfind("COM", 0) != 0 || space == std::string::npos) {
            return false;
        }
        *port = std::atoi(line.c_str() + 3);
        *device = line.substr(space + 1);
        return true;
    }
    void CloseInput() { child_.CloseInput(); }
    void Signal(int signal) const { child_.Signal(signal); }
    // The exit status, -1 when it did not end normally within a while.
    int Wait() {
        const int status = child_.Wait(10);
        return status == kChildRunning ? -1 : status;
    }
    std::string Errors() const { return ReadFileBytes(scratch_.file("err.txt")); }

  private:
    static ChildStreams Streams(const TempDir& scratch) {
        ChildStreams streams;
        streams.inputPipe = true;
        streams.outputPipe = true;
        streams.error = scratch.file("err.txt");
        return streams;
    }

    TempDir scratch_;
    ChildProcess child_;
};

bool InPortMap(const std::string& device) {
    return !PortMapEntry(device).empty();
}

class VprinterProgram : public client::ComponentTest {};

// The printer is killed outright; the system gives its pseudo-terminal number to the next
// program that asks (here the test). The driver must not talk to that program on the old COM.
TEST_F(VprinterProgram, APseudoTerminalReusedAfterAKilledPrinterIsNotFollowed) {
    int port = 0;
    std::string device;
    {
        Vprinter printer({});
        ASSERT_TRUE(printer.Announcement(&port, &device));
        ASSERT_TRUE(InPortMap(device));
        printer.Signal(SIGKILL);
        printer.Wait();
    }
    // Pseudo-terminals are numbered from the lowest free one: a few tries give the old name.
    std::vector<int> masters;
    int reused = -1;
    for (int i = 0; i < 8 && reused < 0; ++i) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(master, 0);
        masters.push_back(master);
        grantpt(master);
        unlockpt(master);
        if (std::string(ptsname(master)) == device) {
            reused = master;
        }
    }
    EXPECT_FALSE(InPortMap(device));
    const ToolResult run = RunDrvkeltor(
        {"ComPort=" + std::to_string(port), "BaudRate=9600", "SuppressAutodetect=1", "Connect"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("COM" + std::to_string(port) + ": no such device"), std::string::npos)
        << run.err;
    if (reused >= 0) {
        char byte = 0;
        EXPECT_EQ(read(reused, &byte, 1), -1) << "the driver wrote to another program's terminal";
    }
    for (const int master : masters) {
        close(master);
    }
}

TEST_F(VprinterProgram, ItsEntryGoesOnSighupAndAtTheEndOfItsInput) {
    for (const bool hangUp : {true, false}) {
        Vprinter printer({});
        int port = 0;
        std::string device;
        ASSERT_TRUE(printer.Announcement(&port, &device));
        ASSERT_TRUE(InPortMap(device));
        if (hangUp) {
            printer.Signal(SIGHUP);
        } else {
            printer.CloseInput();
        }
        EXPECT_EQ(printer.Wait(), 0) << (hangUp ? "SIGHUP" : "end of input");
        EXPECT_FALSE(InPortMap(device)) << (hangUp ? "SIGHUP" : "end of input");
    }
}

TEST_F(VprinterProgram, WhatItCannotDoIsSaidBeforeItServes) {
    testsupport::TempDir dir;
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--paper", dir.file("none/paper.txt")},
         1,
         "the paper file " + dir.file("none/paper.txt") + " cannot be written: No such file"},
        {{"--state", dir.file("none/state.txt")},
         1,
         "the state file " + dir.file("none/state.txt") + " cannot be written: No such file"},
        {{"--port", "0"}, 2, "--port takes a COM port number from 1 to 255, not \"0\""},
        {{"--port", "3", "--port", "4"}, 2, "--port is given twice"},
        {{"COM3"}, 2, "unexpected argument \"COM3\""},
        {{"--status"}, 2, "--status needs a word of 1 to 4 hexadecimal digits"},
    };
    for (const Case& c : cases) {
        Vprinter printer(c.arguments);
        EXPECT_EQ(printer.Wait(), c.exitCode) << c.message;
        EXPECT_NE(printer.Errors().find("vprinter: " + c.message), std::string::npos) << c.message;
    }
    // A registry that cannot be written is named as such, not by its number.
    testsupport::WriteFileBytes(dir.file("not-a-folder"), "");
    setenv("BRONTAL_REGISTRY_DIR", dir.file("not-a-folder").c_str(), 1);
    Vprinter printer({});
    EXPECT_EQ(printer.Wait(), 1);
    const std::string errors = printer.Errors();
    EXPECT_NE(errors.find("cannot enter the port in the port map: the registry file cannot be "
                          "read (the registry in " +
                          dir.file("not-a-folder") + ")"),
              std::string::npos)
        << errors;
    EXPECT_EQ(errors.find("Windows error"), std::string::npos) << errors;
}

}  // namespace
}  // namespace tooltest
