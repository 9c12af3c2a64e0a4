// The vprinter program as a child process: its announcement line, its port-map entry, its
// answers on the line, and a clean exit on SIGTERM and SIGINT.
#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <windows.h>

#include "LineClient.h"
#include "ReplyParser.h"
#include "ChildProcess.h"
#include "Registry.h"
#include "TestSupport.h"

namespace {

using emutest::FS;
using emutest::LineClient;
using testsupport::MapPort;
using testsupport::PortMapEntry;

const std::string kProgram = std::string(BRONTAL_BINARY_DIR) + "/bin/vprinter";

// One vprinter child with its standard output on a pipe; it ends with the object.
class Child : public testsupport::ChildProcess {
  public:
    explicit Child(const std::vector<std::string>& args)
        : ChildProcess(kProgram, args, Streams()) {}

    // Its exit status after `signal`; kChildRunning when it did not end within ten seconds.
    int SignalAndWait(int signal) {
        Signal(signal);
        return Wait(10);
    }

  private:
    static testsupport::ChildStreams Streams() {
        testsupport::ChildStreams streams;
        streams.outputPipe = true;
        return streams;
    }
};

// "COMn /dev/pts/K" split in two; false when the line has another shape.
bool SplitAnnouncement(const std::string& line, std::string& com, std::string& device) {
    size_t space = line.find(' ');
    if (space == std::string::npos || line.compare(0, 3, "COM") != 0) {
        return false;
    }
    com = line.substr(0, space);
    device = line.substr(space + 1);
    return device.rfind("/dev/pts/", 0) == 0;
}

TEST(VprinterProgram, AnnouncesRegistersServesAndCleansUpOnSigterm) {
    testsupport::ScopedRegistryDir registry;
    testsupport::TempDir dir;
    Child child({"--status", "00A1", "--blocking", "0x1008", "--state", dir.file("state.txt"),
                 "--paper", dir.file("paper.txt")});
    ASSERT_TRUE(child.Started());
    std::string com, device;
    ASSERT_TRUE(SplitAnnouncement(child.ReadLine(), com, device));
    EXPECT_EQ(com, "COM1");  // the map is empty in a fresh registry
    EXPECT_EQ(PortMapEntry(device), "COM1");

    {
        LineClient line(device);
        ASSERT_TRUE(line.ok());
        EXPECT_EQ(line.Exchange('Z', "gs"),
                  emutest::Frame('Z', std::string("gs") + FS + "00" + FS + "00A11008"));
        EXPECT_EQ(line.Exchange('0', "qq"),
                  emutest::Frame('0', std::string("qq") + FS + "02" + FS + "00A11008"));
    }
    EXPECT_NE(testsupport::ReadFileBytes(dir.file("state.txt")).find("status=00A1"),
              std::string::npos);
    EXPECT_FALSE(testsupport::ReadFileBytes(dir.file("paper.txt")).empty());

    EXPECT_EQ(child.SignalAndWait(SIGTERM), 0) << "vprinter did not stop cleanly on SIGTERM";
    EXPECT_EQ(PortMapEntry(device), "");
}

TEST(VprinterProgram, TakesTheFirstFreeNumberOrTheOneAsked) {
    testsupport::ScopedRegistryDir registry;
    ASSERT_TRUE(MapPort("/dev/ttyS0", "COM1"));
    ASSERT_TRUE(MapPort("/dev/ttyUSB0", "COM2"));
    Child first({});
    std::string com, device;
    ASSERT_TRUE(SplitAnnouncement(first.ReadLine(), com, device));
    EXPECT_EQ(com, "COM3");

    Child second({"--port", "7"});
    std::string com7, device7;
    ASSERT_TRUE(SplitAnnouncement(second.ReadLine(), com7, device7));
    EXPECT_EQ(com7, "COM7");
    EXPECT_NE(device7, device);
    EXPECT_EQ(PortMapEntry(device7), "COM7");

    // A number another device holds is refused.
    Child third({"--port", "7"});
    EXPECT_EQ(third.ReadLine(), "");
    EXPECT_EQ(third.Wait(10), 1);

    EXPECT_EQ(second.SignalAndWait(SIGINT), 0);
    EXPECT_EQ(PortMapEntry(device7), "");
    EXPECT_EQ(PortMapEntry(device), "COM3");  // the other printer's entry stays
    EXPECT_EQ(PortMapEntry("/dev/ttyS0"), "COM1");
}

TEST(VprinterProgram, SetsStateItemsAndInjectsDeviceErrors) {
    testsupport::ScopedRegistryDir registry;
    Child child({"--set", "model=00KT-1", "--set", "clock-fixed=20260102030405", "--set",
                 "document=9", "--device-error", "48,cmd=vc,frames=2,permanent", "--restart-ms",
                 "0"});
    ASSERT_TRUE(child.Started());
    std::string com, device;
    ASSERT_TRUE(SplitAnnouncement(child.ReadLine(), com, device));
    LineClient line(device);
    ASSERT_TRUE(line.ok());
    const std::string ok = std::string(1, FS) + "00" + FS + "00C00000" + FS;
    EXPECT_EQ(line.Exchange('Z', "gt"),
              emutest::Frame('Z', "gt" + ok + "20260102" + emutest::GS + "030405" + FS));
    EXPECT_EQ(
        line.Exchange('0', "gm"),
        emutest::Frame('0', "gm" + ok + "643" + FS + "KT00012345" + FS + "000123456" + emutest::GS +
                                "SK0004321" + emutest::GS + "00KT-1" + emutest::GS));
    EXPECT_EQ(line.Exchange('1', "gn"),
              emutest::Frame('1', "gn" + ok + "9" + FS + "0/0" + FS + "0" + FS));
    // The error is for "vc" only; it blocks the printer for good.
    const std::string blocked = std::string(1, FS) + "30" + FS + "80C00200";
    EXPECT_EQ(line.Exchange('2', "vc"), emutest::Frame('2', "vc" + blocked));
    EXPECT_EQ(line.Exchange('3', "vc"), emutest::Frame('3', "vc" + blocked));
    EXPECT_EQ(line.Exchange('4', "vc"), emutest::Frame('4', "vc" + blocked));  // the unit's own
    // With a restart time of 0 the printer answers right after "c0".
    ASSERT_TRUE(line.Write(emutest::Frame('5', "c0")));
    EXPECT_EQ(emutest::ParseReply(line.Exchange('6', "gs")).status, 0x80C0);
}

TEST(VprinterProgram, ReportTimeAndFiscalItemsFromTheCommandLine) {
    testsupport::ScopedRegistryDir registry;
    Child child({"--report-ms", "650", "--set", "report-password=77", "--set", "header=ONE\\nTWO"});
    ASSERT_TRUE(child.Started());
    std::string com, device;
    ASSERT_TRUE(SplitAnnouncement(child.ReadLine(), com, device));
    LineClient line(device);
    ASSERT_TRUE(line.ok());
    EXPECT_EQ(line.Exchange('Z', "gb"), emutest::Frame('Z', std::string("gb") + FS + "00" + FS +
                                                                "00C00000" + FS + "ONE\nTWO" + FS));
    EXPECT_EQ(emutest::ParseReply(line.Exchange('0', "zb")).error, 0u);
    const std::string report = line.Exchange('1', "zx", 3000);
    EXPECT_GE(emutest::CountOf(report, emutest::SYN), 2u);
    EXPECT_EQ(emutest::ParseReply(report).error, 0u);
    const std::string byNumber = std::string("zz") + FS + "1" + FS + "0001";
    EXPECT_EQ(emutest::ParseReply(line.Exchange('2', byNumber)).error, 15u);  // no password
}

TEST(VprinterProgram, KeepsTheLinesPaceWithLineRate) {
    testsupport::ScopedRegistryDir registry;
    Child child({"--line-rate", "--fifo", "2", "--print-ms", "0"});
    ASSERT_TRUE(child.Started());
    std::string com, device;
    ASSERT_TRUE(SplitAnnouncement(child.ReadLine(), com, device));
    LineClient line(device);
    ASSERT_TRUE(line.ok());
    ASSERT_TRUE(line.SetSpeed(2400));
    const auto start = std::chrono::steady_clock::now();
    const std::string answer = line.Exchange('Z', "gs");
    // The six bytes of the request and the reply's, ten bits each at 2400 bits per second.
    EXPECT_GE(std::chrono::steady_clock::now() - start,
              std::chrono::microseconds((6 + answer.size()) * 10 * 1000000 / 2400));
    EXPECT_EQ(emutest::ParseReply(answer).error, 0u);
}

TEST(VprinterProgram, RefusesBadOptionsAndExplainsItself) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--port", "0"},
                                               {"--port", "x"},
                                               {"--status", "12345"},
                                               {"--blocking", ""},
                                               {"--state"},
                                               {"--bogus", "1"},
                                               {"--set", "bogus=1"},
                                               {"--set", "serial"},
                                               {"--set", "document=-1"},
                                               {"--set", "serial=a\nb"},
                                               {"--restart-ms", "-5"},
                                               {"--report-ms", "x"},
                                               {"--set", "slip-form-lines=0"},
                                               {"--device-error", "256"},
                                               {"--device-error", "22,"},
                                               {"--device-error", "22,cmd=xyz"},
                                               {"--device-error", "22,frames=0"},
                                               {"--device-error", "22,later"},
                                               {"--fifo", "8"},
                                               {"--line-rate", "--fifo", "65"},
                                               {"--print-ms", "-1"}}) {
        Child child(args);
        EXPECT_EQ(child.Wait(10), 2) << args[0];
    }
    Child help({"--help"});
    EXPECT_EQ(help.ReadLine().rfind("Usage: vprinter", 0), 0u);
    EXPECT_EQ(help.Wait(10), 0);
}

TEST(VprinterProgram, RefusesADamagedStateFile) {
    testsupport::ScopedRegistryDir registry;
    testsupport::TempDir dir;
    testsupport::WriteFileBytes(dir.file("state.txt"), "garbage\n");
    Child child({"--state", dir.file("state.txt")});
    EXPECT_EQ(child.ReadLine(), "");
    EXPECT_EQ(child.Wait(10), 1);
    EXPECT_EQ(testsupport::ReadFileBytes(dir.file("state.txt")), "garbage\n");
}

}  // namespace
