// Client sessions with the component: the component registered into the test's registry, one
// object created by ProgID and connected to a printer on a COM port of the same registry, and
// what the printer received since. PrinterSession puts the virtual printer on that port; a test
// with a scripted printer derives from ClientSession.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "ComponentClient.h"
#include "ScriptedPrinter.h"
#include "VirtualPrinter.h"
#include "Wire.h"

namespace client {

constexpr LONGLONG kUnit = 10000;  // CY of one whole unit

using Strings = std::vector<std::string>;

// The two-letter codes of requests.
Strings Codes(const Strings& requests);

class ClientSession : public ComponentTest {
  protected:
    // One attempt per command, so that an unanswered one fails within seconds.
    void SetUp() override;
    void TearDown() override;

    // Sets `driver` to COM`port` at `baud`, without a search of the other ports.
    static void SetTo(Driver& driver, int port, ULONG baud = 9600);
    // A new object set to COM`port` and connected.
    Driver ConnectedTo(int port, ULONG baud = 9600);
    // The same as the session's object, D().
    void ConnectTo(int port);
    Driver& D() { return *object_; }

    // The member's HRESULT as the object returned it.
    HRESULT Result(Member method) { return Outcome(D().Method(method)); }
    // A call that must succeed.
    void Run(Member method);
    // Puts that must succeed.
    void Put(Member property, VARIANT value);
    void PutText(Member property, const std::string& utf8) { Put(property, Text(Wide(utf8))); }
    void PutMoney(Member property, LONGLONG money) { Put(property, Cy(money)); }
    void PutNumber(Member property, USHORT number) { Put(property, UI2(number)); }
    // The table items a client puts before a table write, and those the object holds.
    void PutItems(const Strings& texts, const std::vector<USHORT>& numbers);
    Strings HeldTexts() { return D().GetTexts(member::StringTableItems); }
    std::vector<USHORT> HeldNumbers();

    // Runs `method`, which must succeed with result code 0, and reads the money `properties`.
    std::vector<LONGLONG> Amounts(Member method, const std::vector<Member>& properties);

    SHORT ResultCode() { return D().GetI2(member::ResultCode); }
    std::string Description() { return D().GetUtf8(member::ResultCodeDescription); }
    std::string TextOf(Member property) { return D().GetUtf8(property); }
    LONGLONG MoneyOf(Member property) { return D().GetCy(property); }
    DATE DateOf(Member property) { return D().GetDate(property); }

    // What a fixture prepares once the session stands: the printer started (and the object
    // connected, in a ConnectedSession) or the scripted printer on its port. Not called after a
    // fatal failure.
    virtual void Arrange() {}

    // What the printer received since its log was cleared.
    virtual Strings Requests() const { return {}; }
    Strings Codes() const { return client::Codes(Requests()); }

    std::optional<Driver> object_;
};

class PrinterSession : public ClientSession {
  protected:
    // Starts the printer and enters it in the port map (unless `registerPrinter_` was cleared).
    void SetUp() override;
    void TearDown() override;

    // Sets `driver` to the printer's port at `baud`.
    void SetToPrinter(Driver& driver, ULONG baud = 9600) { SetTo(driver, port_, baud); }
    // A new object connected to the printer; the printer's log is cleared after it.
    Driver Connected();
    // The same as the session's object, D().
    void Connect();

    // What the printer received since its log was cleared, executed or refused by a fault
    // (repeats of a request are not counted again).
    Strings Requests() const override;
    // The same without the status queries ("gs").
    Strings Commands() const;
    // The codes of every frame that arrived, executed or not, repeats included.
    Strings FrameCodes() const;
    // Whether a request of `code` was received.
    bool Sent(const std::string& code) const;

    // New status words, seen by the object through a fresh "gs"; the log is cleared afterwards.
    void SetStatus(uint16_t status);
    // A device error `code` for the next `command`.
    void FailNext(const std::string& command, int code);
    // A sale receipt with one line of `price` x 1, the day opened on the way; the log is cleared
    // after it.
    void OpenSaleWithLine(LONGLONG price);
    // "PrintEJ" and "DownloadEJ" of the settings key; set them before Connect().
    static void WriteJournalSettings(DWORD printEJ, DWORD downloadEJ);

    bool registerPrinter_ = true;
    // The session's object is connected before Arrange().
    bool connectFirst_ = false;
    emu::VirtualPrinter printer_;
    int port_ = 0;
};

// A session with a scripted printer on COM`kPeerPort` instead, for answers the virtual printer
// never gives; the test gives the printer its answers and connects.
class PeerSession : public ClientSession {
  protected:
    void SetUp() override;
    // The answers given are dropped: they may reach into the test's fixture.
    void TearDown() override;

    // Every request frame the printer received since they were cleared.
    Strings Requests() const override { return printer_.Payloads(); }

    static constexpr int kPeerPort = 7;
    testsupport::ScriptedPrinter printer_;
};

// The same session with the object connected before the fixture arranges the rest.
class ConnectedSession : public PrinterSession {
  protected:
    ConnectedSession() { connectFirst_ = true; }
};

}  // namespace client
