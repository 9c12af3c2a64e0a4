// The search for a printer over the port map, with the progress of every try.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AsyncComX28.h"
#include "Brontal.h"
#include "PrinterFixture.h"
#include "Registry.h"

namespace prottest {
namespace {

struct Try {
    std::string port;
    DWORD speed;
    size_t refusedSoFar;  // requests the refusing peer had seen when the try was announced
};

struct Progress {
    std::vector<Try> tries;
    const ScriptedPrinter* refusing = nullptr;
};

void Record(LPVOID context, LPCSTR text, DWORD value) {
    Progress* progress = static_cast<Progress*>(context);
    progress->tries.push_back(
        {text, value, progress->refusing ? progress->refusing->Requests().size() : 0});
}

class FindPrinter : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(UseRetryCount(1));
        ASSERT_TRUE(refusing.ok());
        refusing.SetAnswer([](const PeerRequest&) { return std::string("\x15"); });
        progress.refusing = &refusing;
    }

    testsupport::ScopedRegistryDir registry;
    ScriptedPrinter refusing;  // answers every frame with NAK
    emu::VirtualPrinter printer;
    CBrontal layer;
    Progress progress;
};

TEST_F(FindPrinter, TheGivenPortFirstThenEveryMappedPortFrom9600Up) {
    // In map order: a port whose device is gone, two names that are no serial ports, the
    // refusing peer, and the printer.
    ASSERT_TRUE(testsupport::MapPort("/dev/brontal-gone", "COM1"));
    ASSERT_TRUE(testsupport::MapPort("/dev/brontal-lpt", "LPT1"));
    ASSERT_TRUE(testsupport::MapPort("/dev/brontal-zero", "COM0"));
    ASSERT_TRUE(refusing.Map(9));
    ASSERT_EQ(printer.Start(), 0);
    ASSERT_EQ(printer.RegisterPort(kPrinterPort), kPrinterPort);

    int port = 9;
    DWORD baud = 19200;
    EXPECT_EQ(layer.FindPrinter(&port, &baud, Record, &progress), 0);
    EXPECT_EQ(port, kPrinterPort);
    EXPECT_EQ(baud, 9600U);

    // The given port was tried once before any progress, then each try was announced first.
    const char* const speeds[] = {"9600", "19200", "38400", "57600", "115200"};
    std::vector<Try> expected;
    for (const char* speed : speeds) {
        expected.push_back({"COM1", static_cast<DWORD>(std::stoul(speed)), 1});
    }
    for (size_t i = 0; i < 5; ++i) {
        expected.push_back({"COM9", static_cast<DWORD>(std::stoul(speeds[i])), 1 + i});
    }
    expected.push_back({"COM3", 9600, 6});
    ASSERT_EQ(progress.tries.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(progress.tries[i].port, expected[i].port);
        EXPECT_EQ(progress.tries[i].speed, expected[i].speed);
        EXPECT_EQ(progress.tries[i].refusedSoFar, expected[i].refusedSoFar);
    }
    EXPECT_EQ(refusing.Payloads(), std::vector<std::string>(6, "gs"));
    ASSERT_NE(layer.Link(), nullptr);
    EXPECT_TRUE(layer.Link()->IsOpen());
    EXPECT_EQ(layer.LinkPort(), kPrinterPort);
}

TEST_F(FindPrinter, AGivenPortThatAnswersEndsTheSearchAtOnce) {
    ASSERT_TRUE(refusing.Map(1));
    ASSERT_EQ(printer.Start(), 0);
    ASSERT_EQ(printer.RegisterPort(kPrinterPort), kPrinterPort);
    int port = kPrinterPort;
    DWORD baud = 57600;
    EXPECT_EQ(layer.FindPrinter(&port, &baud, Record, &progress), 0);
    EXPECT_EQ(port, kPrinterPort);
    EXPECT_EQ(baud, 57600U);
    EXPECT_TRUE(progress.tries.empty());
    EXPECT_TRUE(refusing.Requests().empty());

    // No speed given: 9600, which then goes out.
    CBrontal other;
    port = kPrinterPort;
    baud = 0;
    layer.Detach();
    EXPECT_EQ(other.FindPrinter(&port, &baud, nullptr, nullptr), 0);
    EXPECT_EQ(baud, 9600U);
}

TEST_F(FindPrinter, AFailedSearchReportsLinkCodesAsLinkFailure) {
    int port = 0;
    DWORD baud = 0;
    // Nothing listed, nothing given: nothing was tried.
    EXPECT_EQ(layer.FindPrinter(&port, &baud, Record, &progress), -1);
    EXPECT_EQ(layer.FindPrinter(nullptr, &baud, Record, &progress), -1);
    EXPECT_TRUE(progress.tries.empty());

    // Only a port that refuses every packet: its -8107 becomes -9004.
    ASSERT_TRUE(refusing.Map(2));
    EXPECT_EQ(layer.FindPrinter(&port, &baud, Record, &progress), kBrontalLinkFailed);
    EXPECT_EQ(progress.tries.size(), 5U);
    EXPECT_EQ(port, 2);
    EXPECT_EQ(baud, 0U);
    EXPECT_EQ(refusing.Requests().size(), 5U);
}

TEST_F(FindPrinter, APrinterThatRefusesWithADeviceErrorKeepsItsCode) {
    ASSERT_EQ(printer.Start(), 0);
    ASSERT_EQ(printer.RegisterPort(kPrinterPort), kPrinterPort);
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "gs";
    fault.frames = 5;
    ASSERT_EQ(printer.InjectFault(fault), 0);
    int port = 0;
    DWORD baud = 0;
    EXPECT_EQ(layer.FindPrinter(&port, &baud, Record, &progress), -9201);
    EXPECT_EQ(progress.tries.size(), 5U);
}

}  // namespace
}  // namespace prottest
