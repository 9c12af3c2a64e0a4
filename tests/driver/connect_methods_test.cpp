// Connect, Disconnect, ResetPrinter, RefreshStatus and CancelPrint through the component, with
// what the virtual printer received.
#include <gtest/gtest.h>

#include "PrinterSession.h"
#include "Registry.h"

using namespace client;
using namespace testsupport;

namespace {

// A class, not an alias: the tests are named after the member, whose name this one hides.
class Connect : public PrinterSession {};

TEST_F(Connect, WithoutPortAndWithTheScanSuppressedFailsTouchingNoPort) {
    client::Driver driver = Create();
    ASSERT_EQ(driver.GetUI2(member::ComPort), 0);
    ASSERT_EQ(driver.Put(member::SuppressAutodetect, UI2(1)).hr, S_OK);
    const client::Call call = driver.Method(member::Connect);
    EXPECT_EQ(Outcome(call), Failure(-9004));
    EXPECT_FALSE(call.description.empty());
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9004);
    EXPECT_TRUE(printer_.Frames().empty());
    EXPECT_EQ(driver.GetUI2(member::ComPort), 0);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "COM", 0xFFFF), 0xFFFFu);
}

TEST_F(Connect, AFailedOpeningWithTheScanSuppressedTriesNoOtherPort) {
    emu::VirtualPrinter other;
    ASSERT_EQ(other.Start(), 0);
    const int otherPort = other.RegisterPort();
    ASSERT_GT(otherPort, 0);
    printer_.Stop();  // silent: "gs" goes unanswered

    client::Driver driver = Create();
    SetToPrinter(driver);
    ASSERT_EQ(driver.Put(member::SuppressAutodetect, UI2(1)).hr, S_OK);
    EXPECT_EQ(Outcome(driver.Method(member::Connect)), Failure(-9004));
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9004);
    EXPECT_TRUE(other.Frames().empty());
    EXPECT_EQ(driver.GetUI2(member::ComPort), port_);
}

TEST_F(Connect, OpensTheLinkReadsTheIdentityAndStoresThePort) {
    client::Driver driver = Create();
    ASSERT_EQ(driver.GetText(member::PrinterName), u"RKM-204");
    SetToPrinter(driver, 19200);
    const client::Call call = driver.Method(member::Connect);
    ASSERT_EQ(call.hr, S_OK) << call.description;
    EXPECT_EQ(driver.GetI2(member::ResultCode), 0);
    EXPECT_EQ(client::Utf8(driver.GetText(member::ResultCodeDescription)), "");
    EXPECT_EQ(printer_.Requests(), (Strings{"gs", "gc", "gm", "gx", "gw", "gi"}));

    // The model name without the printer's leading zeros.
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204F");
    EXPECT_EQ(driver.GetUI2(member::PrinterWidth), 48);
    EXPECT_EQ(driver.GetUI2(member::InitializationOptions), 0x0201);
    EXPECT_EQ(driver.GetUI2(member::Status), emu::kInitialStatus);
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "COM", 0),
              static_cast<DWORD>(port_));
    EXPECT_EQ(ReadDword(HKEY_CURRENT_USER, kCommunicationPath, "Baud", 0), 19200u);

    // Cached at connect: reading them costs no exchange.
    printer_.ClearLog();
    EXPECT_EQ(driver.GetText(member::ManufacturerCountryCode), u"643");
    EXPECT_EQ(driver.GetText(member::ManufacturerSerialNumber), u"KT00012345");
    EXPECT_EQ(driver.GetText(member::TaxAuthoritiesControlUnitSerialNumber), u"SK0004321");
    EXPECT_EQ(driver.GetText(member::TaxAuthoritiesControlUnitRegisterNumber), u"000123456");
    EXPECT_EQ(driver.GetText(member::FirmwareMnemo), u"RKMF");
    EXPECT_EQ(driver.GetText(member::FirmwareVersion), u"3.07.21");
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Connect, AnEmptyModelNameKeepsTheNameTheObjectHas) {
    emu::PrinterIdentity identity;
    identity.modelName = "";
    ASSERT_EQ(printer_.SetIdentity(identity), 0);
    client::Driver driver = Connected();
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204");
}

TEST_F(Connect, AnObjectWithoutANameTakesTheMechanismsCutToSixteenCharacters) {
    emu::PrinterIdentity identity;
    identity.modelName = "";
    ASSERT_EQ(printer_.SetIdentity(identity), 0);
    emu::HardwareStatus hardware;
    hardware.receipt.name = "000TP-80R-MECHANISM-LONG";
    ASSERT_EQ(printer_.SetHardwareStatus(hardware), 0);

    client::Driver driver = Create();
    ASSERT_EQ(driver.Put(member::PrinterName, client::Text(u"")).hr, S_OK);
    SetToPrinter(driver);
    ASSERT_EQ(driver.Method(member::Connect).hr, S_OK);
    // "000TP-80R-MECHAN" are the first sixteen; the zeros are the printer's padding.
    EXPECT_EQ(driver.GetText(member::PrinterName), u"TP-80R-MECHAN");

    // A name the object has is kept.
    ASSERT_EQ(driver.Put(member::PrinterName, client::Text(u"Касса 1")).hr, S_OK);
    ASSERT_EQ(driver.Method(member::Connect).hr, S_OK);
    EXPECT_EQ(driver.GetText(member::PrinterName), u"Касса 1");
}

TEST_F(Connect, APrinterNeedingResetIsResetAndConnectReturnsWhatTheResetGave) {
    printer_.SetStatusWords(emu::kInitialStatus | emu::kStatusNeedReset, 0);
    {
        client::Driver driver = Create();
        SetToPrinter(driver);
        EXPECT_EQ(driver.Method(member::Connect).hr, S_OK);
        EXPECT_EQ(printer_.Requests(), (Strings{"gs", "gc", "gm", "gx", "gw", "gi", "cr"}));
        EXPECT_EQ(driver.GetUI2(member::Status) & emu::kStatusNeedReset, 0);
    }

    printer_.SetStatusWords(emu::kInitialStatus | emu::kStatusNeedReset, 0);
    printer_.ClearLog();
    FailNext("cr", 5);
    client::Driver driver = Create();
    SetToPrinter(driver);
    EXPECT_EQ(Outcome(driver.Method(member::Connect)), Failure(-9205));
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9205);
    // The link is open all the same.
    printer_.ClearLog();
    EXPECT_EQ(driver.Method(member::RefreshStatus).hr, S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"gs"}));
}

TEST_F(Connect, AJournalWaitingForValidationIsAcceptedUnlessItIsDownloaded) {
    const uint16_t waiting = emu::kInitialStatus | emu::kStatusJournalNeedValidate;
    printer_.SetStatusWords(waiting, 0);
    FailNext("jv", 7);
    {
        client::Driver driver = Create();
        SetToPrinter(driver);
        EXPECT_EQ(Outcome(driver.Method(member::Connect)), Failure(-9207));
        EXPECT_EQ(FrameCodes(), (Strings{"gs", "gc", "gm", "gx", "gw", "gi", "jv"}));
        ASSERT_EQ(printer_.Frames().size(), 7u);
        EXPECT_EQ(printer_.Frames().back().payload, "jv" + kFs + "VALID");
    }

    // With the journal to be downloaded it is left for the journal methods.
    printer_.ClearLog();
    client::Driver driver = Create();
    ASSERT_EQ(driver.Put(member::NecessityToDownloadEJ, client::I4(1)).hr, S_OK);
    SetToPrinter(driver);
    EXPECT_EQ(driver.Method(member::Connect).hr, S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"gs", "gc", "gm", "gx", "gw", "gi"}));
}

TEST_F(Connect, IdentificationFailuresDoNotFailTheConnection) {
    FailNext("gm", 1);
    client::Driver driver = Connected();
    EXPECT_EQ(driver.GetI2(member::ResultCode), 0);
    // Without "gm" nothing else of the identity was asked at connect.
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204");

    // The empty cache makes the getter ask, framed by status refreshes.
    printer_.ClearLog();
    EXPECT_EQ(driver.GetText(member::ManufacturerSerialNumber), u"KT00012345");
    EXPECT_EQ(printer_.Requests(), (Strings{"gm"}));
    EXPECT_EQ(driver.GetText(member::PrinterName), u"RKM-204F");
    EXPECT_EQ(driver.GetText(member::FirmwareVersion), u"3.07.21");
    EXPECT_EQ(printer_.Requests(), (Strings{"gm", "gx"}));
}

TEST_F(Connect, ASecondConnectToTheSamePortKeepsTheLink) {
    client::Driver driver = Connected();
    ASSERT_EQ(driver.Method(member::Connect).hr, S_OK);
    // The same link object continues its sequence characters: nothing starts again at 'Z'.
    const std::vector<emu::ReceivedFrame> frames = printer_.Frames();
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().sequence, '5');  // Z, 0, ..., 4 went to the first connect
    EXPECT_EQ(frames.front().payload, "gs");
}

using Status = PrinterSession;

TEST_F(Status, RefreshStatusAlwaysAsksWhileAClosingRefreshUsesTheLastReply) {
    client::Driver driver = Connected();
    EXPECT_EQ(driver.Method(member::RefreshStatus).hr, S_OK);
    EXPECT_EQ(driver.Method(member::RefreshStatus).hr, S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"gs", "gs"}));

    printer_.ClearLog();
    EXPECT_EQ(driver.Method(member::ResetPrinter).hr, S_OK);
    EXPECT_EQ(driver.Method(member::CancelPrint).hr, S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"cr", "cp"}));

    // The words a refresh took from the reply are the printer's.
    printer_.SetStatusWords(emu::kInitialStatus | emu::kStatusDayOpen, emu::kBlockNeedZReport);
    EXPECT_EQ(driver.Method(member::RefreshStatus).hr, S_OK);
    EXPECT_EQ(driver.GetUI2(member::Status), emu::kInitialStatus | emu::kStatusDayOpen);
}

TEST_F(Status, CancelPrintSendsCancelEvenWhenTheStatusGoesUnanswered) {
    client::Driver driver = Connected();
    emu::Fault silence;
    silence.kind = emu::FaultKind::Silence;
    silence.frames = 3;
    silence.command = "gs";
    ASSERT_EQ(printer_.InjectFault(silence), 0);
    // The failure leaves the layer without a reply (its description asks "gs" once more), so
    // CancelPrint must ask "gs" itself, and its silence stops nothing.
    EXPECT_NE(Outcome(driver.Method(member::RefreshStatus)), S_OK);
    EXPECT_EQ(driver.Method(member::CancelPrint).hr, S_OK);
    EXPECT_EQ(FrameCodes(), (Strings{"gs", "gs", "gs", "cp"}));
    EXPECT_EQ(driver.GetI2(member::ResultCode), 0);
}

TEST_F(Status, CancelPrintResetsAPrinterThatNeedsIt) {
    client::Driver driver = Connected();
    printer_.SetStatusWords(emu::kInitialStatus | emu::kStatusNeedReset, 0);
    ASSERT_EQ(driver.Method(member::RefreshStatus).hr, S_OK);
    printer_.ClearLog();
    EXPECT_EQ(driver.Method(member::CancelPrint).hr, S_OK);
    EXPECT_EQ(printer_.Requests(), (Strings{"cr", "cp"}));
}

TEST_F(Status, ResetPrinterReportsTheResetsOwnResult) {
    client::Driver driver = Connected();
    FailNext("cr", 3);
    const client::Call call = driver.Method(member::ResetPrinter);
    EXPECT_EQ(Outcome(call), Failure(-9203));
    EXPECT_FALSE(call.description.empty());
    // Sent without a status query before it.
    EXPECT_EQ(FrameCodes(), (Strings{"cr"}));
}

TEST_F(Status, DisconnectKeepsThePortAndLeavesNoLink) {
    client::Driver driver = Connected();
    EXPECT_EQ(driver.Method(member::Disconnect).hr, S_OK);
    EXPECT_EQ(driver.GetI2(member::ResultCode), 0);
    EXPECT_EQ(driver.GetUI2(member::ComPort), port_);
    EXPECT_EQ(driver.GetUI4(member::BaudRate), 9600u);
    EXPECT_EQ(Outcome(driver.Method(member::RefreshStatus)), Failure(-9003));
    EXPECT_EQ(Outcome(driver.Method(member::CancelPrint)), Failure(-9003));
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Status, GettersWithoutALinkFailAndTheCacheRepeatsTheLastResult) {
    client::Driver driver = Create();
    VARIANT value;
    VariantInit(&value);
    client::Call call = driver.Get(member::FirmwareVersion, &value);
    EXPECT_EQ(Outcome(call), Failure(-9003));
    VariantClear(&value);
    EXPECT_EQ(driver.GetI2(member::ResultCode), -9003);

    // Served from the cache, a getter gives the HRESULT of the last device operation.
    SetToPrinter(driver);
    ASSERT_EQ(driver.Method(member::Connect).hr, S_OK);
    ASSERT_EQ(driver.Method(member::Disconnect).hr, S_OK);
    printer_.ClearLog();
    EXPECT_EQ(driver.GetText(member::FirmwareVersion), u"3.07.21");
    ASSERT_EQ(Outcome(driver.Method(member::RefreshStatus)), Failure(-9003));
    call = driver.Get(member::FirmwareVersion, &value);
    EXPECT_EQ(Outcome(call), Failure(-9003));
    VariantClear(&value);
    EXPECT_TRUE(printer_.Frames().empty());
}

TEST_F(Status, TaxpayerAccountNumberIsReadWithTheOptions) {
    client::Driver driver = Connected();
    EXPECT_EQ(driver.GetText(member::TaxpayerAccountNumber), u"190123456");
    EXPECT_EQ(printer_.Requests(), (Strings{"gi"}));
    printer_.ClearLog();
    EXPECT_EQ(driver.GetText(member::TaxpayerAccountNumber), u"190123456");
    EXPECT_TRUE(printer_.Frames().empty());
    EXPECT_EQ(driver.GetUI2(member::InitializationOptions), 0x0201);
}

}  // namespace
