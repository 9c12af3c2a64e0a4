// Control unit operations and fiscalisation through the component: the requests the printer
// receives, the properties the replies fill, what a refusal leaves, and which methods look at
// the printer's status first.
#include <gtest/gtest.h>

#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

using emu::kBlockControlUnit;
using emu::kStatusBlocked;
using emu::kStatusFiscal;
using emu::kStatusNeedReset;

// The unit's status word bits as the virtual printer keeps them.
constexpr USHORT kUnitLocked = 0x0001;
constexpr USHORT kUnitWantsAuth = 0x0004;

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
    void Arrange() override {
        printer_.SetReportTime(0);
        const emu::PrinterTime noon{2026, 3, 14, 12, 5, 9};
        ASSERT_EQ(printer_.SetFixedClock(noon), 0);
        Connect();
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
    ASSERT_EQ(Result(member::ReadTaxAuthoritiesControlUnitStatus), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vr"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitStatus), kUnitLocked | kUnitWantsAuth);

    printer_.ChangeState([](emu::PrinterState& state) { state.unit = emu::ControlUnit(); });
    FailNext("vr", 1);
    EXPECT_EQ(Result(member::ReadTaxAuthoritiesControlUnitStatus),
              static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitStatus), kUnitLocked | kUnitWantsAuth);
    ASSERT_EQ(Result(member::ReadTaxAuthoritiesControlUnitStatus), S_OK);
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitStatus), 0);
}

TEST_F(ControlUnitTest, IdentifierReadFillsTheSessionAndTheIdentifier) {
    emu::DocumentCounters counters;
    counters.document = 40;
    counters.session = 17;
    counters.receipt = 3;
    printer_.SetDocumentCounters(counters);
    printer_.ClearLog();
    ASSERT_EQ(Result(member::ReadTaxAuthoritiesControlUnitUID), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"iv"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::SessionNumber), 17);
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "000123456");

    // A refused read leaves both as they were.
    counters.session = 18;
    printer_.SetDocumentCounters(counters);
    printer_.ChangeState(
        [](emu::PrinterState& state) { state.identity.unitRegisterNumber = "999999999"; });
    FailNext("iv", 1);
    EXPECT_EQ(Result(member::ReadTaxAuthoritiesControlUnitUID), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(D().GetUI2(member::SessionNumber), 17);
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "000123456");
}

// ---- exchanges ----

TEST_F(ControlUnitTest, ExchangesSendTheirModeWordAndFillTheFourOutputs) {
    ASSERT_EQ(Result(member::CommandTaxAuthoritiesControlUnitGetTime), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vw" + kFs + "TIME"}) << Printable(Requests());
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitInfo), "20260314120509");
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitAnswer), "");
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitCRC), CheckWord("20260314120509", ""));
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitStatus), 0);
    // GetTime does not touch the identifier.
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "");

    printer_.ClearLog();
    ASSERT_EQ(Result(member::CommandTaxAuthoritiesControlUnitAuthenticate), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vw" + kFs + "AUTH"}) << Printable(Requests());
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitInfo), "KT00012345");
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitAnswer), "OK");
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitCRC), CheckWord("KT00012345", "OK"));
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "");
}

TEST_F(ControlUnitTest, IdentifierExchangeCopiesTheAnswerIntoTheIdentifier) {
    ASSERT_EQ(Result(member::CommandTaxAuthoritiesControlUnitGetUID), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vw" + kFs + "ID"}) << Printable(Requests());
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitInfo), "SK0004321");
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitAnswer), "000123456");
    EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID),
              TextOf(member::TaxAuthoritiesControlUnitAnswer));
    EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitCRC),
              CheckWord("SK0004321", "000123456"));
}

TEST_F(ControlUnitTest, ARefusedExchangeLeavesEveryOutput) {
    ASSERT_EQ(Result(member::CommandTaxAuthoritiesControlUnitGetUID), S_OK);
    const USHORT crc = D().GetUI2(member::TaxAuthoritiesControlUnitCRC);
    printer_.ChangeState([](emu::PrinterState& state) {
        state.identity.unitSerialNumber = "SK0000000";
        state.unit.lock = emu::UnitLock::AfterAuth;
    });
    for (Member exchange : {member::CommandTaxAuthoritiesControlUnitGetTime,
                            member::CommandTaxAuthoritiesControlUnitGetUID,
                            member::CommandTaxAuthoritiesControlUnitAuthenticate}) {
        FailNext("vw", 1);
        EXPECT_EQ(Result(exchange), static_cast<HRESULT>(0x800423F1)) << exchange;
        EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitInfo), "SK0004321") << exchange;
        EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitAnswer), "000123456") << exchange;
        EXPECT_EQ(TextOf(member::TaxAuthoritiesControlUnitUID), "000123456") << exchange;
        EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitCRC), crc) << exchange;
        EXPECT_EQ(D().GetUI2(member::TaxAuthoritiesControlUnitStatus), 0) << exchange;
    }
}

// ---- unlocking, the report, the status refresh before them ----

TEST_F(ControlUnitTest, UnlockLiftsTheUnitsBlock) {
    printer_.ChangeState([](emu::PrinterState& state) {
        state.unit.lock = emu::UnitLock::Unlock;
        state.blocking = kBlockControlUnit;
        state.status = static_cast<uint16_t>(state.status | kStatusBlocked);
    });
    SetStatus(printer_.StatusWord());
    EXPECT_EQ(D().GetUI2(member::StateBlockedTaxAuthoritiesControlUnit), 1);
    ASSERT_EQ(Result(member::UnlockTaxAuthoritiesControlUnit), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"vc"}) << Printable(Requests());
    // The closing refresh took the words of the unlock's own reply.
    EXPECT_EQ(D().GetUI2(member::StateBlockedTaxAuthoritiesControlUnit), 0);
    EXPECT_EQ(D().GetUI2(member::StatusBlocked) & kBlockControlUnit, 0);
}

TEST_F(ControlUnitTest, UnlockIsTriedWhenTheStatusCannotBeReadButTheReportIsNot) {
    // A lost "vr" reply leaves the driver without fresh words; from then on "gs" goes unanswered.
    SilenceNext("vr", 1);
    SilenceNext("gs", 1000);
    EXPECT_EQ(Result(member::ReadTaxAuthoritiesControlUnitStatus), E_FAIL);

    printer_.ClearLog();
    EXPECT_EQ(Result(member::PrintTaxAuthoritiesControlUnitReport), E_FAIL);
    EXPECT_LT(ResultCode(), -8100);
    EXPECT_GT(ResultCode(), -8200);
    for (const std::string& request : Requests()) {
        EXPECT_EQ(request, "gs");
    }

    printer_.ClearLog();
    ASSERT_EQ(Result(member::UnlockTaxAuthoritiesControlUnit), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"gs", "vc"})) << Printable(Requests());
    EXPECT_EQ(ResultCode(), 0);
}

TEST_F(ControlUnitTest, ReportSendsZiAndReportsARefusal) {
    ASSERT_EQ(Result(member::PrintTaxAuthoritiesControlUnitReport), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"zi"}) << Printable(Requests());
    FailNext("zi", 1);
    EXPECT_EQ(Result(member::PrintTaxAuthoritiesControlUnitReport),
              static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Description(), "ФБ: ошибка очередности вызова команд");
}

// ---- replacing the unit ----

TEST_F(ControlUnitTest, ReplacementCarriesPasswordNumbersAndPrinterName) {
    PutText(member::TaxAuthoritiesControlUnitPassword, "1234");
    PutText(member::TaxAuthoritiesControlUnitRegisterNumber, "R77");
    PutText(member::TaxAuthoritiesControlUnitSerialNumber, "S88");
    // Connect took the printer's name from "gm", without its leading zeros.
    ASSERT_EQ(TextOf(member::PrinterName), "RKM-204F");
    ASSERT_EQ(Result(member::ReplaceTaxAuthoritiesControlUnit), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fv" + kFs + "1234" + kFs + "R77" + kGs + "S88" + kGs + "RKM-204F"})
        << Printable(Requests());
    EXPECT_EQ(printer_.State().identity.unitRegisterNumber, "R77");

    // Without a printer name its part is left out.
    PutText(member::PrinterName, "");
    printer_.ClearLog();
    ASSERT_EQ(Result(member::ReplaceTaxAuthoritiesControlUnit), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"fv" + kFs + "1234" + kFs + "R77" + kGs + "S88"})
        << Printable(Requests());
}

TEST_F(ControlUnitTest, ReplacementWithoutPasswordOrWithTheWrongOneFails) {
    PutText(member::TaxAuthoritiesControlUnitRegisterNumber, "R77");
    PutText(member::TaxAuthoritiesControlUnitSerialNumber, "S88");
    EXPECT_EQ(Result(member::ReplaceTaxAuthoritiesControlUnit), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());

    printer_.ChangeState([](emu::PrinterState& state) { state.unitPassword = "9999"; });
    PutText(member::TaxAuthoritiesControlUnitPassword, "1234");
    EXPECT_EQ(Result(member::ReplaceTaxAuthoritiesControlUnit), static_cast<HRESULT>(0x800423FF));
    EXPECT_EQ(ResultCode(), -9215);
    EXPECT_EQ(printer_.State().identity.unitRegisterNumber, "000123456");

    // A field text of 128 bytes or more does not fit the request.
    PutText(member::TaxAuthoritiesControlUnitPassword, "9999");
    PutText(member::TaxAuthoritiesControlUnitSerialNumber, std::string(120, 'S'));
    printer_.ClearLog();
    EXPECT_EQ(Result(member::ReplaceTaxAuthoritiesControlUnit), static_cast<HRESULT>(0x8004232A));
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

// ---- fiscalisation ----

class FiscalisationTest : public ControlUnitTest {
  protected:
    void Arrange() override {
        ControlUnitTest::Arrange();
        if (HasFatalFailure()) {
            return;
        }
        printer_.ChangeState([](emu::PrinterState& state) {
            state.reportPassword = "0000";
            state.status = static_cast<uint16_t>(state.status & ~kStatusFiscal);
        });
        SetStatus(printer_.StatusWord());
        ASSERT_EQ(TextOf(member::TaxpayerAccountNumber), "190123456");
        printer_.ClearLog();
    }
};

TEST_F(FiscalisationTest, ZeroOptionsAreRefusedBeforeAnythingIsSent) {
    D().Put(member::InitializationOptions, client::UI2(0));
    PutText(member::InitializationPassword, "0000");
    EXPECT_EQ(Result(member::InitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

TEST_F(FiscalisationTest, AWrongPasswordIsRefusedAndTheRightOneFiscalises) {
    Put(member::InitializationOptions, UI2(0x0001));
    PutText(member::InitializationPassword, "1111");
    const Call wrong = D().Method(member::InitializeFiscalPrinter);
    EXPECT_EQ(Outcome(wrong), static_cast<HRESULT>(0x800423FF));
    EXPECT_EQ(ResultCode(), -9215);
    EXPECT_FALSE(wrong.description.empty());
    // No new password: the current one goes twice.
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0001" + kFs + "1111" + kFs + "1111" + kFs + "190123456"})
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateFiscal), 0);

    PutText(member::InitializationPassword, "0000");
    PutText(member::InitializationNewPassword, "5555");
    printer_.ClearLog();
    ASSERT_EQ(Result(member::InitializeFiscalPrinter), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0001" + kFs + "0000" + kFs + "5555" + kFs + "190123456"})
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateFiscal), 1);
    EXPECT_EQ(printer_.State().reportPassword, "5555");
}

TEST_F(FiscalisationTest, ControlUnitFieldsGoOnlyWithOptionBit9) {
    PutText(member::InitializationPassword, "0000");
    PutText(member::TaxAuthoritiesControlUnitRegisterNumber, "R77");
    PutText(member::TaxAuthoritiesControlUnitSerialNumber, "S88");
    PutText(member::PrinterName, "Касса 1");
    Put(member::InitializationOptions, UI2(0x0001));
    ASSERT_EQ(Result(member::InitializeFiscalPrinter), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0001" + kFs + "0000" + kFs + "0000" + kFs + "190123456"})
        << Printable(Requests());

    Put(member::InitializationOptions, UI2(0x0201));
    printer_.ClearLog();
    ASSERT_EQ(Result(member::InitializeFiscalPrinter), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"fi" + kFs + "0201" + kFs + "0000" + kFs + "0000" + kFs + "190123456" + kGs +
                      "R77" + kGs + "S88" + kGs + Cp1251("Касса 1")})
        << Printable(Requests());
    EXPECT_EQ(printer_.State().identity.unitSerialNumber, "S88");
}

TEST_F(FiscalisationTest, MissingTaxpayerNumberOrAnOverlongRequestSendsNothing) {
    Put(member::InitializationOptions, UI2(0x0201));
    PutText(member::InitializationPassword, "0000");
    PutText(member::TaxpayerAccountNumber, "");
    EXPECT_EQ(Result(member::InitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    PutText(member::TaxpayerAccountNumber, "190123456");
    PutText(member::TaxAuthoritiesControlUnitRegisterNumber, std::string(240, 'R'));
    PutText(member::TaxAuthoritiesControlUnitSerialNumber, "S88");
    EXPECT_EQ(Result(member::InitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

TEST_F(FiscalisationTest, AControlUnitWithoutItsSerialNumberIsRefusedUnsent) {
    PutText(member::InitializationPassword, "1111");
    PutText(member::TaxAuthoritiesControlUnitRegisterNumber, "R77");
    PutText(member::TaxAuthoritiesControlUnitSerialNumber, "");
    Put(member::InitializationOptions, UI2(0x0201));
    EXPECT_EQ(Result(member::InitializeFiscalPrinter), static_cast<HRESULT>(0x8004232A));
    EXPECT_EQ(ResultCode(), -9002);
    EXPECT_TRUE(Commands().empty()) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::StateFiscal), 0);

    // Without the unit's fields the serial number is not asked for (the wrong password keeps
    // the printer as it was).
    Put(member::InitializationOptions, UI2(0x0001));
    printer_.ClearLog();
    EXPECT_EQ(Result(member::InitializeFiscalPrinter), static_cast<HRESULT>(0x800423FF));
    EXPECT_EQ(Commands(),
              Strings{"fi" + kFs + "0001" + kFs + "1111" + kFs + "1111" + kFs + "190123456"})
        << Printable(Requests());
}

// ---- reset of the fiscal state ----

TEST_F(ControlUnitTest, ResetFiscalRestartsAsksTheStatusAndResetsWhenAsked) {
    printer_.SetRestartTime(0);
    ASSERT_EQ(Result(member::ResetFiscal), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"c0", "gs"})) << Printable(Requests());

    printer_.SetStatusWords(static_cast<uint16_t>(printer_.StatusWord() | kStatusNeedReset), 0);
    printer_.ClearLog();
    ASSERT_EQ(Result(member::ResetFiscal), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"c0", "gs", "cr"})) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::Status) & kStatusNeedReset, 0);
}

TEST_F(ControlUnitTest, ResetFiscalTakesTheResetsRefusal) {
    printer_.SetRestartTime(0);
    printer_.SetStatusWords(static_cast<uint16_t>(printer_.StatusWord() | kStatusNeedReset), 0);
    FailNext("cr", 1);
    EXPECT_EQ(Result(member::ResetFiscal), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
}

}  // namespace
