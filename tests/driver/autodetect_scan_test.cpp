// The port scan of Connect through the component: the ports of the system's list at every speed,
// behind the progress dialog (watched through a presenter), the port and speed found stored, the
// worker's failure returned when nothing answers.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <regex>
#include <thread>

#include "PrinterSession.h"
#include "PtyPeer.h"
#include "RecordingPresenter.h"
#include "Registry.h"

using namespace client;
using namespace testsupport;
using drivertest::RecordingPresenter;

namespace {

// A serial line in front of the virtual printer that lets bytes through only while the driver
// runs it at one speed, as a printer set to that speed would understand nothing else.
class SpeedGate {
  public:
    SpeedGate(const std::string& printerDevice, speed_t speed) : speed_(speed) {
        EXPECT_TRUE(line_.ok());
        printer_ = open(printerDevice.c_str(), O_RDWR | O_NOCTTY);
        EXPECT_GE(printer_, 0);
        termios settings = {};
        EXPECT_EQ(tcgetattr(printer_, &settings), 0);
        cfmakeraw(&settings);
        EXPECT_EQ(tcsetattr(printer_, TCSANOW, &settings), 0);
        thread_ = std::thread([this] { Relay(); });
    }
    ~SpeedGate() {
        stop_ = true;
        thread_.join();
        if (printer_ >= 0) {
            close(printer_);
        }
    }
    SpeedGate(const SpeedGate&) = delete;
    SpeedGate& operator=(const SpeedGate&) = delete;

    const std::string& DevicePath() const { return line_.SlavePath(); }

  private:
    void Relay() {
        while (!stop_) {
            const std::string sent = line_.ReceiveSome(5);
            // The line's settings are the ones the driver gave it.
            termios settings = {};
            if (!sent.empty() && line_.LineSettings(settings) && cfgetospeed(&settings) == speed_) {
                EXPECT_EQ(write(printer_, sent.data(), sent.size()),
                          static_cast<ssize_t>(sent.size()));
            }
            pollfd answer = {printer_, POLLIN, 0};
            char buffer[512];
            if (poll(&answer, 1, 5) > 0 && (answer.revents & POLLIN)) {
                const ssize_t got = read(printer_, buffer, sizeof buffer);
                if (got > 0) {
                    EXPECT_TRUE(line_.Send(std::string(buffer, static_cast<size_t>(got))));
                }
            }
        }
    }

    speed_t speed_;
    PtyPeer line_;
    int printer_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

Strings ScanCaptions(const Strings& ports, const std::vector<int>& speeds) {
    Strings captions;
    for (const std::string& port : ports) {
        for (int speed : speeds) {
            captions.push_back("caption Сканирование портов: " + port + " " +
                               std::to_string(speed));
        }
    }
    return captions;
}

const std::vector<int> kAllSpeeds = {9600, 19200, 38400, 57600, 115200};

class Scan : public PrinterSession {
  protected:
    Scan() { registerPrinter_ = false; }

    // A port the system lists whose device is not there.
    void MapMissingPort(const std::string& name) {
        ASSERT_TRUE(MapPort(work_.file("no-such-device-" + name), name));
    }
    // A printer on COM`n` that is switched off.
    void AddSilentPrinter(int n) {
        ASSERT_EQ(silent_.Start(), 0);
        ASSERT_EQ(silent_.RegisterPort(n), n);
        silent_.Stop();
    }
    client::Driver TracedDriver() {
        client::Driver driver = Create();
        EXPECT_EQ(driver.Put(member::TraceMask, UI2(8)).hr, S_OK);
        return driver;
    }
    std::string CallFlow() const { return testsupport::ReadFileBytes(work_.file("callflow.txt")); }

    emu::VirtualPrinter silent_;
};

TEST_F(Scan, FindsThePrinterOnTheThirdPortAt38400AndStoresIt) {
    MapMissingPort("COM1");
    ASSERT_TRUE(MapPort("/dev/brontal-test-lp1", "LPT1"));
    MapMissingPort("com4");
    ASSERT_TRUE(MapPort("/dev/brontal-test-com0", "COM0"));
    AddSilentPrinter(2);
    SpeedGate gate(printer_.DevicePath(), B38400);
    ASSERT_TRUE(MapPort(gate.DevicePath(), "COM3"));

    RecordingPresenter presenter;
    presenter.PressOnShow({VK_ESCAPE});
    client::Driver driver = TracedDriver();
    const client::Call call = driver.Method(member::Connect);
    ASSERT_EQ(call.hr, S_OK) << call.description;
    EXPECT_EQ(driver.GetUI2(member::ComPort), 3);
    EXPECT_EQ(driver.GetUI4(member::BaudRate), 38400u);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "COM", 0), 3u);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "Baud", 0), 38400u);
    // Identified through the same line, at the speed found.
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204F");

    const Strings events = presenter.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "shown Сканирование портов:");
    EXPECT_EQ(events.back(), "ended 1");
    // LPT1 and COM0 are no ports: neither counted nor tried.
    Strings expected = ScanCaptions({"COM1", "com4", "COM2"}, kAllSpeeds);
    const Strings onGate = ScanCaptions({"COM3"}, {9600, 19200, 38400});
    expected.insert(expected.end(), onGate.begin(), onGate.end());
    EXPECT_EQ(presenter.Only("caption"), expected);
    const Strings bar = presenter.Only("bar");
    ASSERT_EQ(bar.size(), 19u);  // the start and one step per attempt
    EXPECT_EQ(bar.front(), "bar 0..20 at 0");
    EXPECT_EQ(bar.back(), "bar 0..20 at 18");

    // Escape was swallowed: the dialog ended with the worker's IDOK.
    const std::string flow = CallFlow();
    EXPECT_EQ(CountOf(flow, "CProgressDialog::PreTranslateMessage() done, res=256(0x100)"), 1);
    EXPECT_EQ(CountOf(flow, "CProgressDialog::PreTranslateMessage() done, res=257(0x101)"), 1);
    EXPECT_EQ(CountOf(flow, "CProgressDialog::OnOK() try..."), 1);
    EXPECT_EQ(CountOf(flow, "CProgressDialog::OnCancel"), 0);
    // The dialog's initialisation names the worker it started.
    std::smatch worker;
    std::smatch started;
    ASSERT_TRUE(std::regex_search(
        flow, worker, std::regex(R"(\[(\d+)\]\tCDrvKeltor::AutodetectThread\(\) try)")));
    ASSERT_TRUE(std::regex_search(
        flow, started, std::regex(R"(CProgressDialog::OnInitDialog\(\) done, res=(\d+))")));
    EXPECT_EQ(worker[1], started[1]);
    EXPECT_EQ(CountOf(flow, "CDrvKeltor::RunAutodetect() done, res=0(0)"), 1);
}

TEST_F(Scan, WhenNothingAnswersTheWorkersFailureIsTheResult) {
    MapMissingPort("COM1");
    AddSilentPrinter(2);
    RecordingPresenter presenter;
    presenter.PressOnShow({VK_RETURN, VK_ESCAPE});
    client::Driver driver = TracedDriver();
    const client::Call call = driver.Method(member::Connect);
    EXPECT_EQ(Outcome(call), Failure(-9004));
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9004);
    EXPECT_EQ(driver.GetUI2(member::ComPort), 0);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "COM", 0xFFFF), 0xFFFFu);

    EXPECT_EQ(presenter.Only("caption"), ScanCaptions({"COM1", "COM2"}, kAllSpeeds));
    EXPECT_EQ(presenter.Events().back(), "ended 2");
    // Enter would have ended it with IDOK and a success: it was swallowed with Escape.
    const std::string flow = CallFlow();
    EXPECT_EQ(CountOf(flow, "CProgressDialog::PreTranslateMessage() done, res=256(0x100)"), 2);
    EXPECT_EQ(CountOf(flow, "CProgressDialog::PreTranslateMessage() done, res=257(0x101)"), 2);
    EXPECT_EQ(CountOf(flow, "CProgressDialog::OnOK"), 0);
    EXPECT_EQ(CountOf(flow, "CProgressDialog::OnCancel() try..."), 1);
}

TEST_F(Scan, WithNoPortsListedNothingIsTriedAndTheScanFails) {
    RecordingPresenter presenter;
    client::Driver driver = Create();
    const client::Call call = driver.Method(member::Connect);
    // -1 is no code of the interface facility.
    EXPECT_EQ(Outcome(call), E_FAIL);
    EXPECT_EQ(driver.GetI2(member::ResultCode), -1);
    EXPECT_EQ(presenter.Events(),
              (Strings{"shown Сканирование портов:", "bar 0..0 at 0", "ended 2"}));
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Scan, AStoredPortThatAnswersNeedsNoScan) {
    ASSERT_EQ(printer_.RegisterPort(5), 5);
    RecordingPresenter presenter;
    client::Driver driver = Create();
    ASSERT_EQ(driver.Put(member::ComPort, UI2(5)).hr, S_OK);
    ASSERT_EQ(driver.Put(member::BaudRate, client::UI4(57600)).hr, S_OK);
    EXPECT_EQ(driver.Method(member::Connect).hr, S_OK);
    EXPECT_TRUE(presenter.Events().empty());
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "Baud", 0), 57600u);
}

}  // namespace
