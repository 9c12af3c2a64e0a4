// Control unit operations and fiscalisation through the component: the requests the printer
// receives, the properties the replies fill, what a refusal leaves, and which methods look at
// the printer's status first.
#include <gtest/gtest.h>

#include "PrinterSession.h"

using namespace session;
using testsupport::Cp1251;

namespace {

enum ControlUnitDispid : DISPID {
    kStatusBlocked = 12,
    kStateFiscal = 19,
    kPrinterName = 95,
    kTaxpayerAccountNumber = 174,
    kStateBlockedControlUnit = 187,
    kUnitStatus = 195,
    kUnitUid = 196,
    kUnitInfo = 197,
    kUnitAnswer = 198,
    kUnitCrc = 199,
    kUnitPassword = 200,
    kUnitSerialNumber = 201,
    kUnitRegisterNumber = 202,
    kReadUnitStatus = 203,
    kReadUnitUid = 204,
    kUnitGetTime = 205,
    kUnitGetUid = 206,
    kUnlockUnit = 207,
    kReplaceUnit = 208,
    kPrintUnitReport = 209,
    kInitializationOptions = 210,
    kInitializationNewPassword = 212,
    kInitializeFiscalPrinter = 213,
    kResetFiscal = 214,
    kUnitAuthenticate = 218,
};

constexpr uint16_t kStatusNeedReset = 0x0010;
constexpr uint16_t kStatusFiscal = 0x0080;
constexpr uint16_t kBlockedControlUnit = 0x0200;
constexpr uint16_t kBlockedAny = 0x8000;

// The unit's status word bits as the virtual printer keeps them.
constexpr USHORT kUnitLocked = 0x0001;
constexpr USHORT kUnitWantsAuth = 0x0004;

using Strings = std::vector<std::string>;

// The unit's check word over the texts of a "vw" reply, as the virtual printer computes it.
USHORT CheckWord(const std::string& info, const std::string& answer) {
    unsigned sum = 0;
    for (unsigned char c : info + answer) {
        sum += c;
    }
    return static_cast<USHORT>(sum & 0xFFFF);
}

class ControlUnitTest : public PrinterSession {
  protected:
    void SetUp() override {
        PrinterSession::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        printer_.SetReportTime(0);
        emu::PrinterTime noon;
        noon.year = 2026;
        noon.month = 3;
        noon.day = 14;
        noon.hour = 12;
        noon.minute = 5;
        noon.second = 9;
        ASSERT_EQ(printer_.SetFixedClock(noon), 0);
        Connect();
    }

    std::string Text(DISPID dispid) { return client::Utf8(D().GetText(dispid)); }
    void RefuseNext(const std::string& command, int code) {
        emu::Fault fault;
        fault.kind = emu::FaultKind::DeviceError;
        fault.code = code;
        fault.command = command;
        ASSERT_EQ(printer_.InjectFault(fault), 0);
    }
    void SilenceNext(const std::string& command, int frames) {
        emu::Fault fault;
        fault.kind = emu::FaultKind::Silence;
        fault.frames = frames;
        fault.command = command;
        ASSERT_EQ(printer_.InjectFault(fault), 0);
    }
};

// ---- reading the unit ----

TEST_F(ControlUnitTest, StatusReadSendsVrAloneAndKeepsTheWordThroughARefusal) {
    printer_.ChangeState(
        [](emu::PrinterState& state) { state.unit.lock = emu::UnitLock::AfterAuth; });
    printer_.ClearLog();
    ASSERT_EQ(Result(kReadUnitStatus), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vr"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kUnitStatus), kUnitLocked | kUnitWantsAuth);

    printer_.ChangeState([](emu::PrinterState& state) { state.unit = emu::ControlUnit(); });
    RefuseNext("vr", 1);
    EXPECT_EQ(Result(kReadUnitStatus), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    EXPECT_EQ(D().GetUI2(kUnitStatus), kUnitLocked | kUnitWantsAuth);
    ASSERT_EQ(Result(kReadUnitStatus), S_OK);
    EXPECT_EQ(D().GetUI2(kUnitStatus), 0);
}

TEST_F(ControlUnitTest, IdentifierReadFillsTheSessionAndTheIdentifier) {
    emu::DocumentCounters counters;
    counters.document = 40;
    counters.session = 17;
    counters.receipt = 3;
    printer_.SetDocumentCounters(counters);
    printer_.ClearLog();
    ASSERT_EQ(Result(kReadUnitUid), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"iv"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kSessionNumber), 17);
    EXPECT_EQ(Text(kUnitUid), "000123456");

    // A refused read leaves both as they were.
    counters.session = 18;
    printer_.SetDocumentCounters(counters);
    printer_.ChangeState(
        [](emu::PrinterState& state) { state.identity.unitRegisterNumber = "999999999"; });
    RefuseNext("iv", 1);
    EXPECT_EQ(Result(kReadUnitUid), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(D().GetUI2(kSessionNumber), 17);
    EXPECT_EQ(Text(kUnitUid), "000123456");
}

// ---- exchanges ----

TEST_F(ControlUnitTest, ExchangesSendTheirModeWordAndFillTheFourOutputs) {
    ASSERT_EQ(Result(kUnitGetTime), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vw" + kFs + "TIME"}) << Printable(Requests());
    EXPECT_EQ(Text(kUnitInfo), "20260314120509");
    EXPECT_EQ(Text(kUnitAnswer), "");
    EXPECT_EQ(D().GetUI2(kUnitCrc), CheckWord("20260314120509", ""));
    EXPECT_EQ(D().GetUI2(kUnitStatus), 0);
    // GetTime does not touch the identifier.
    EXPECT_EQ(Text(kUnitUid), "");

    printer_.ClearLog();
    ASSERT_EQ(Result(kUnitAuthenticate), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vw" + kFs + "AUTH"}) << Printable(Requests());
    EXPECT_EQ(Text(kUnitInfo), "KT00012345");
    EXPECT_EQ(Text(kUnitAnswer), "OK");
    EXPECT_EQ(D().GetUI2(kUnitCrc), CheckWord("KT00012345", "OK"));
    EXPECT_EQ(Text(kUnitUid), "");
}

TEST_F(ControlUnitTest, IdentifierExchangeCopiesTheAnswerIntoTheIdentifier) {
    ASSERT_EQ(Result(kUnitGetUid), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vw" + kFs + "ID"}) << Printable(Requests());
    EXPECT_EQ(Text(kUnitInfo), "SK0004321");
    EXPECT_EQ(Text(kUnitAnswer), "000123456");
    EXPECT_EQ(Text(kUnitUid), Text(kUnitAnswer));
    EXPECT_EQ(D().GetUI2(kUnitCrc), CheckWord("SK0004321", "000123456"));
}

TEST_F(ControlUnitTest, ARefusedExchangeLeavesEveryOutput) {
    ASSERT_EQ(Result(kUnitGetUid), S_OK);
    const USHORT crc = D().GetUI2(kUnitCrc);
    printer_.ChangeState([](emu::PrinterState& state) {
        state.identity.unitSerialNumber = "SK0000000";
        state.unit.lock = emu::UnitLock::AfterAuth;
    });
    for (DISPID exchange : {kUnitGetTime, kUnitGetUid, kUnitAuthenticate}) {
        RefuseNext("vw", 1);
        EXPECT_EQ(Result(exchange), static_cast<HRESULT>(0x800423F1)) << exchange;
        EXPECT_EQ(Text(kUnitInfo), "SK0004321") << exchange;
        EXPECT_EQ(Text(kUnitAnswer), "000123456") << exchange;
        EXPECT_EQ(Text(kUnitUid), "000123456") << exchange;
        EXPECT_EQ(D().GetUI2(kUnitCrc), crc) << exchange;
        EXPECT_EQ(D().GetUI2(kUnitStatus), 0) << exchange;
    }
}

// ---- unlocking, the report, the status refresh before them ----

TEST_F(ControlUnitTest, UnlockLiftsTheUnitsBlock) {
    printer_.ChangeState([](emu::PrinterState& state) {
        state.unit.lock = emu::UnitLock::Unlock;
        state.blocking = kBlockedControlUnit;
        state.status = static_cast<uint16_t>(state.status | kBlockedAny);
    });
    SetStatus(printer_.StatusWord());
    EXPECT_EQ(D().GetUI2(kStateBlockedControlUnit), 1);
    ASSERT_EQ(Result(kUnlockUnit), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vc"}) << Printable(Requests());
    // The closing refresh took the words of the unlock's own reply.
    EXPECT_EQ(D().GetUI2(kStateBlockedControlUnit), 0);
    EXPECT_EQ(D().GetUI2(kStatusBlocked) & kBlockedControlUnit, 0);
}

TEST_F(ControlUnitTest, UnlockIsTriedWhenTheStatusCannotBeReadButTheReportIsNot) {
    // A lost "vr" reply leaves the driver without fresh words; from then on "gs" goes unanswered.
    SilenceNext("vr", 1);
    SilenceNext("gs", 1000);
    EXPECT_EQ(Result(kReadUnitStatus), E_FAIL);

    printer_.ClearLog();
    EXPECT_EQ(Result(kPrintUnitReport), E_FAIL);
    EXPECT_LT(ResultCode(), -8100);
    EXPECT_GT(ResultCode(), -8200);
    for (const std::string& request : Requests()) {
        EXPECT_EQ(request, "gs");
    }

    printer_.ClearLog();
    ASSERT_EQ(Result(kUnlockUnit), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"gs", "vc"})) << Printable(Requests());
    EXPECT_EQ(ResultCode(), 0);
}

TEST_F(ControlUnitTest, ReportSendsZiAndReportsARefusal) {
    ASSERT_EQ(Result(kPrintUnitReport), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"zi"}) << Printable(Requests());
    RefuseNext("zi", 1);
    EXPECT_EQ(Result(kPrintUnitReport), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Description(), "ФБ: ошибка очередности вызова команд");
}

// ---- replacing the unit ----

TEST_F(ControlUnitTest, ReplacementCarriesPasswordNumbersAndPrinterName) {
    PutText(kUnitPassword, "1234");
    PutText(kUnitRegisterNumber, "R77");
    PutText(kUnitSerialNumber, "S88");
    // Connect took the printer's name from "gm", without its leading zeros.
    ASSERT_EQ(Text(kPrinterName), "RKM-204F");
    ASSERT_EQ(Result(kReplaceUnit), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fv" + kFs + "1234" + kFs + "R77" + kGs + "S88" + kGs + "RKM-204F"})
        << Printable(Requests());
    EXPECT_EQ(printer_.State().identity.unitRegisterNumber, "R77");

    // Without a printer name its part is left out.
    PutText(kPrinterName, "");
    printer_.ClearLog();
    ASSERT_EQ(Result(kReplaceUnit), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"fv" + kFs + "1234" + kFs + "R77" + kGs + "S88"})
        << Printable(Requests());
}

TEST_F(ControlUnitTest, ReplacementWithoutPasswordOrWithTheWrongOneFails) {
    PutText(kUnitRegisterNumber, "R77");
    PutText(kUnitSerialNumber, "S88");
    EXPECT_EQ(Result(kReplaceUnit), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());

    printer_.ChangeState([](emu::PrinterState& state) { state.unitPassword = "9999"; });
    PutText(kUnitPassword, "1234");
    EXPECT_EQ(Result(kReplaceUnit), static_cast<HRESULT>(0x800423FF));
    EXPECT_EQ(ResultCode(), -9215);
    EXPECT_EQ(printer_.State().identity.unitRegisterNumber, "000123456");

    // A field text of 128 bytes or more does not fit the request.
    PutText(kUnitPassword, "9999");
    PutText(kUnitSerialNumber, std::string(120, 'S'));
    printer_.ClearLog();
    EXPECT_EQ(Result(kReplaceUnit), static_cast<HRESULT>(0x8004232A));
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

// ---- fiscalisation ----

class FiscalisationTest : public ControlUnitTest {
  protected:
    void SetUp() override {
        ControlUnitTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        printer_.ChangeState([](emu::PrinterState& state) {
            state.reportPassword = "0000";
            state.status = static_cast<uint16_t>(state.status & ~kStatusFiscal);
        });
        SetStatus(printer_.StatusWord());
        ASSERT_EQ(Text(kTaxpayerAccountNumber), "190123456");
        printer_.ClearLog();
    }
};

TEST_F(FiscalisationTest, ZeroOptionsAreRefusedBeforeAnythingIsSent) {
    D().Put(kInitializationOptions, client::UI2(0));
    PutText(kInitializationPassword, "0000");
    EXPECT_EQ(Result(kInitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

TEST_F(FiscalisationTest, AWrongPasswordIsRefusedAndTheRightOneFiscalises) {
    ASSERT_EQ(D().Put(kInitializationOptions, client::UI2(0x0001)).hr, S_OK);
    PutText(kInitializationPassword, "1111");
    const client::Call wrong = Run(kInitializeFiscalPrinter);
    EXPECT_EQ(Outcome(wrong), static_cast<HRESULT>(0x800423FF));
    EXPECT_EQ(ResultCode(), -9215);
    EXPECT_FALSE(wrong.description.empty());
    // No new password: the current one goes twice.
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0001" + kFs + "1111" + kFs + "1111" + kFs + "190123456"})
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kStateFiscal), 0);

    PutText(kInitializationPassword, "0000");
    PutText(kInitializationNewPassword, "5555");
    printer_.ClearLog();
    ASSERT_EQ(Result(kInitializeFiscalPrinter), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0001" + kFs + "0000" + kFs + "5555" + kFs + "190123456"})
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kStateFiscal), 1);
    EXPECT_EQ(printer_.State().reportPassword, "5555");
}

TEST_F(FiscalisationTest, ControlUnitFieldsGoOnlyWithOptionBit9) {
    PutText(kInitializationPassword, "0000");
    PutText(kUnitRegisterNumber, "R77");
    PutText(kUnitSerialNumber, "S88");
    PutText(kPrinterName, "Касса 1");
    ASSERT_EQ(D().Put(kInitializationOptions, client::UI2(0x0001)).hr, S_OK);
    ASSERT_EQ(Result(kInitializeFiscalPrinter), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0001" + kFs + "0000" + kFs + "0000" + kFs + "190123456"})
        << Printable(Requests());

    ASSERT_EQ(D().Put(kInitializationOptions, client::UI2(0x0201)).hr, S_OK);
    printer_.ClearLog();
    ASSERT_EQ(Result(kInitializeFiscalPrinter), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0201" + kFs + "0000" + kFs + "0000" + kFs + "190123456" + kGs +
                      "R77" + kGs + "S88" + kGs + Cp1251("Касса 1")})
        << Printable(Requests());
    EXPECT_EQ(printer_.State().identity.unitSerialNumber, "S88");
}

TEST_F(FiscalisationTest, MissingTaxpayerNumberOrAnOverlongRequestSendsNothing) {
    ASSERT_EQ(D().Put(kInitializationOptions, client::UI2(0x0201)).hr, S_OK);
    PutText(kInitializationPassword, "0000");
    PutText(kTaxpayerAccountNumber, "");
    EXPECT_EQ(Result(kInitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    PutText(kTaxpayerAccountNumber, "190123456");
    PutText(kUnitRegisterNumber, std::string(240, 'R'));
    PutText(kUnitSerialNumber, "S88");
    EXPECT_EQ(Result(kInitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

TEST_F(FiscalisationTest, AControlUnitWithoutItsSerialNumberIsRefusedUnsent) {
    PutText(kInitializationPassword, "1111");
    PutText(kUnitRegisterNumber, "R77");
    PutText(kUnitSerialNumber, "");
    ASSERT_EQ(D().Put(kInitializationOptions, client::UI2(0x0201)).hr, S_OK);
    EXPECT_EQ(Result(kInitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kStateFiscal), 0);

    // Without the unit's fields the serial number is not asked for (the wrong password keeps
    // the printer as it was).
    ASSERT_EQ(D().Put(kInitializationOptions, client::UI2(0x0001)).hr, S_OK);
    printer_.ClearLog();
    EXPECT_EQ(Result(kInitializeFiscalPrinter), static_cast<HRESULT>(0x800423FF));
    EXPECT_EQ(Commands(),
              Strings{"fi" + kFs + "0001" + kFs + "1111" + kFs + "1111" + kFs + "190123456"})
        << Printable(Requests());
}

// ---- reset of the fiscal state ----

TEST_F(ControlUnitTest, ResetFiscalRestartsAsksTheStatusAndResetsWhenAsked) {
    printer_.SetRestartTime(0);
    ASSERT_EQ(Result(kResetFiscal), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"c0", "gs"})) << Printable(Requests());

    printer_.SetStatusWords(static_cast<uint16_t>(printer_.StatusWord() | kStatusNeedReset), 0);
    printer_.ClearLog();
    ASSERT_EQ(Result(kResetFiscal), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"c0", "gs", "cr"})) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kStatus) & kStatusNeedReset, 0);
}

TEST_F(ControlUnitTest, ResetFiscalTakesTheResetsRefusal) {
    printer_.SetRestartTime(0);
    printer_.SetStatusWords(static_cast<uint16_t>(printer_.StatusWord() | kStatusNeedReset), 0);
    RefuseNext("cr", 1);
    EXPECT_EQ(Result(kResetFiscal), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
}

}  // namespace
