// The control unit and fiscalisation on the virtual printer: the unit's identifier, its
// replacement under its password, its report, the fiscalisation with its password and option
// checks, and all of it through a power cycle and a restart.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "FiscalFixture.h"
#include "PrinterState.h"

namespace {

using emutest::Answer;
using emutest::FS;
using emutest::GS;
using emutest::Parts;
using Fields = std::vector<std::string>;

constexpr uint16_t kUnitPresent = emu::kStatusControlUnitPresent;

class EmuControlUnitTest : public emutest::FiscalFixture {
  protected:
    void LockUnit(emu::UnitLock lock, uint8_t error) {
        printer.ChangeState([&](emu::PrinterState& state) {
            state.unit.lock = lock;
            state.unit.error = error;
            emu::Block(state, emu::kBlockControlUnit);
        });
    }

    // A printer taken out of fiscal mode, between days, with access password 1111.
    void Unfiscalised() {
        printer.SetStatusWords(emu::kStatusJournalPresent, 0);
        printer.ChangeState([](emu::PrinterState& state) { state.reportPassword = "1111"; });
    }

    std::string PaperSince(size_t offset) {
        return testsupport::ReadFileBytes(dir.file("paper.txt")).substr(offset);
    }
    size_t PaperSize() { return testsupport::ReadFileBytes(dir.file("paper.txt")).size(); }

    // A line of the 48-column roll, in UTF-8: `left` and `right` at its edges.
    static std::string Row(const std::string& left, const std::string& right) {
        return left + std::string(48 - W(left).size() - W(right).size(), ' ') + right + "\n";
    }
    // The parts of a compound reply field, each ended by GS as the printer ends them.
    static std::string Compound(std::initializer_list<std::string> parts) {
        std::string field;
        for (const std::string& part : parts) {
            field += part + GS;
        }
        return field;
    }
};

TEST_F(EmuControlUnitTest, TheIdentifierComesWithTheDaysNumber) {
    EXPECT_TRUE(Replies(
        "iv", std::string("iv") + FS + "00" + FS + "00C00000" + FS + "0" + FS + "000123456" + FS));
    ASSERT_EQ(Error("zb"), 0u);
    EXPECT_EQ(Send("iv", {}).fields, (Fields{"1", "000123456"}));
    // The same identifier that the "ID" exchange answers with.
    const Fields id = Send("vw", {"ID"}).Parts(1);
    ASSERT_EQ(id.size(), 3u);
    EXPECT_EQ(id[1], "000123456");
    EXPECT_EQ(Error("iv", {"1"}), 3u);
    // A unit out of reach cannot say it.
    LockUnit(emu::UnitLock::AfterStatus, 48);
    EXPECT_EQ(Error("iv"), 48u);
}

TEST_F(EmuControlUnitTest, ReplacementAsksForTheUnitsPassword) {
    printer.ChangeState([](emu::PrinterState& state) { state.unitPassword = "7391"; });
    LockUnit(emu::UnitLock::Permanent, 48);
    const emu::PrinterState before = printer.State();
    const size_t paper = PaperSize();
    const Answer wrong = Send("fv", {"7390", Parts({"000777111", "SK0009999", "RKM-204F"})});
    EXPECT_EQ(wrong.error, 15u);
    EXPECT_EQ(Error("fv", {"", Parts({"000777111", "SK0009999"})}), 3u);
    EXPECT_EQ(Error("fv", {"7391", Parts({"", "SK0009999"})}), 3u);
    EXPECT_EQ(Error("fv", {"7391", "000777111"}), 3u);  // the serial number's part is required
    EXPECT_EQ(Error("fv", {"7391", Parts({"1", "2", "3", "4"})}), 3u);
    EXPECT_EQ(Error("fv", {"7391", Parts({"000777111", "SK\x7F"})}), 3u);
    EXPECT_EQ(Error("fv", {"7391"}), 3u);
    EXPECT_EQ(emu::SaveState(printer.State()), emu::SaveState(before));
    EXPECT_EQ(PaperSize(), paper);

    // The right password: the new unit's numbers, unlocked, present.
    const Answer right = Send("fv", {"7391", Parts({"000777111", "SK0009999", "RKM-204F"})});
    EXPECT_EQ(right.error, 0u);
    EXPECT_EQ(right.status, emu::kInitialStatus | kUnitPresent);
    const emu::PrinterState after = printer.State();
    EXPECT_EQ(after.identity.unitRegisterNumber, "000777111");
    EXPECT_EQ(after.identity.unitSerialNumber, "SK0009999");
    EXPECT_EQ(after.unitPrinterName, "RKM-204F");
    EXPECT_EQ(after.identity.modelName, before.identity.modelName);
    EXPECT_EQ(after.unit.lock, emu::UnitLock::None);
    EXPECT_EQ(after.blocking, 0);
    EXPECT_EQ(Send("gm", {}).fields.at(2), Compound({"000777111", "SK0009999", "00RKM-204F"}));
    EXPECT_EQ(Send("vr", {}).fields, Fields{"0"});
    EXPECT_NE(PaperSince(paper).find(W("ЗАМЕНА СКНО")), std::string::npos);
    // The serial number may be empty; the name registered before stays when none is given.
    EXPECT_EQ(Error("fv", {"7391", Parts({"000777112", ""})}), 0u);
    EXPECT_EQ(printer.State().identity.unitSerialNumber, "");
    EXPECT_EQ(printer.State().unitPrinterName, "RKM-204F");
}

TEST_F(EmuControlUnitTest, ReplacementWaitsForTheReceiptAndGoesIntoTheDaysJournal) {
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    EXPECT_EQ(Error("fv", {"any", Parts({"000777111", "SK1"})}), 1u);
    ASSERT_EQ(Error("cp"), 0u);
    // Out of the box the unit has no password: whatever is given passes.
    EXPECT_EQ(Error("fv", {"any", Parts({"000777111", "SK1"})}), 0u);
    EXPECT_NE(printer.SessionJournal(1).find(W("ЗАМЕНА СКНО")), std::string::npos);
}

TEST_F(EmuControlUnitTest, TheUnitsReportOnPaper) {
    ASSERT_EQ(Error("fv", {"0", Parts({"000777111", "SK0009999", "KASSA 1"})}), 0u);
    const size_t paper = PaperSize();
    ASSERT_EQ(Error("zi"), 0u);
    const std::string report = testsupport::Utf8(PaperSince(paper));
    EXPECT_NE(report.find("ОТЧЕТ СКНО\n"), std::string::npos) << report;
    for (const std::string& line :
         {Row("РЕГ. НОМЕР СКНО", "000777111"), Row("ЗАВ. НОМЕР СКНО", "SK0009999"),
          Row("СОСТОЯНИЕ СКНО", "0000"), Row("ККМ", "KASSA 1"), Row("СКНО В ККМ", "ДА")}) {
        EXPECT_NE(report.find(line), std::string::npos) << line << report;
    }
    EXPECT_EQ(Error("zi", {"1"}), 3u);
    LockUnit(emu::UnitLock::AfterStatus, 49);
    EXPECT_EQ(Error("zi"), 49u);
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_EQ(Error("zi"), 1u);
}

TEST_F(EmuControlUnitTest, FiscalisationChecksItsPasswordAndOptions) {
    Unfiscalised();
    const emu::PrinterState before = printer.State();
    const size_t paper = PaperSize();
    for (const std::string& request : {
             emutest::Request("fi", {"0000", "1111", "2222", "190999888"}),
             emutest::Request("fi", {"001", "1111", "2222", "190999888"}),
             emutest::Request("fi", {"00001", "1111", "2222", "190999888"}),
             emutest::Request("fi", {"00G1", "1111", "2222", "190999888"}),
             emutest::Request("fi", {"0001", "", "2222", "190999888"}),
             emutest::Request("fi", {"0001", "1111", "", "190999888"}),
             emutest::Request("fi", {"0001", "1111", "2222", ""}),
             emutest::Request("fi", {"0001", "1111", "2222"}),
             emutest::Request("fi", {"0001", "1111", "2222", "190999888", "x"}),
             // Without bit 9 no control unit fields; with it, the register number is required.
             emutest::Request("fi", {"0001", "1111", "2222", Parts({"190999888", "1", "2"})}),
             emutest::Request("fi", {"0201", "1111", "2222", "190999888"}),
             emutest::Request("fi", {"0201", "1111", "2222", Parts({"190999888", "", "SK1"})}),
             emutest::Request("fi", {"0201", "1111", "2222", Parts({"190999888", "000555"})}),
         }) {
        EXPECT_EQ(Send(request).error, 3u) << Printable(request);
    }
    EXPECT_EQ(Error("fi", {"0001", "1112", "2222", "190999888"}), 15u);
    EXPECT_EQ(emu::SaveState(printer.State()), emu::SaveState(before));
    EXPECT_EQ(PaperSize(), paper);

    const Answer done = Send("fi", {"0001", "1111", "2222", "190999888"});
    EXPECT_EQ(done.error, 0u);
    EXPECT_EQ(done.status, emu::kStatusJournalPresent | emu::kStatusFiscal);
    EXPECT_EQ(Send("gi", {}).fields, (Fields{"2", "0001", "190999888"}));
    // The unit's numbers were not sent and stay as they were; the new password is the one now.
    EXPECT_EQ(printer.State().identity.unitRegisterNumber, before.identity.unitRegisterNumber);
    EXPECT_EQ(printer.State().reportPassword, "2222");
    EXPECT_EQ(Error("fi", {"0001", "1111", "1111", "190999888"}), 15u);
    const std::string printed = testsupport::Utf8(PaperSince(paper));
    EXPECT_NE(printed.find("ФИСКАЛИЗАЦИЯ"), std::string::npos);
    EXPECT_NE(printed.find(Row("НОМЕР ФИСКАЛИЗАЦИИ", "2")), std::string::npos) << printed;
}

TEST_F(EmuControlUnitTest, FiscalisationWithTheControlUnitRegistersIt) {
    Unfiscalised();
    const Answer done = Send(
        "fi", {"0201", "1111", "1111", Parts({"190999888", "000555666", "SK0005555", "KASSA 2"})});
    EXPECT_EQ(done.error, 0u);
    EXPECT_EQ(done.status, emu::kStatusJournalPresent | emu::kStatusFiscal | kUnitPresent);
    EXPECT_EQ(Send("gm", {}).fields.at(2), Compound({"000555666", "SK0005555", "00RKM-204F"}));
    EXPECT_EQ(Send("gi", {}).fields, (Fields{"2", "0201", "190999888"}));
    EXPECT_EQ(printer.State().unitPrinterName, "KASSA 2");
    // The serial number may be empty and the name left out.
    EXPECT_EQ(Error("fi", {"0201", "1111", "1111", Parts({"190999888", "000555667", ""})}), 0u);
    EXPECT_EQ(printer.State().identity.unitSerialNumber, "");
    EXPECT_EQ(printer.State().unitPrinterName, "KASSA 2");
}

TEST_F(EmuControlUnitTest, FiscalisationOnlyBetweenDays) {
    ASSERT_EQ(Error("zb"), 0u);
    EXPECT_EQ(Error("fi", {"0001", "p", "p", "190999888"}), 1u);
    ASSERT_EQ(Error("ze"), 0u);
    // Without an access password any password is taken.
    EXPECT_EQ(Error("fi", {"0001", "p", "p", "190999888"}), 0u);
    EXPECT_EQ(printer.State().identity.initializationNumber, 2u);
    printer.ChangeState(
        [](emu::PrinterState& state) { state.identity.initializationNumber = UINT32_MAX; });
    EXPECT_EQ(Error("fi", {"0001", "p", "p", "190999888"}), 4u);
}

TEST(EmuControlUnitRestart, RegistrationAndPasswordsSurviveAPowerCycleAndARestart) {
    testsupport::TempDir dir;
    const std::string path = dir.file("state.txt");
    {
        emu::VirtualPrinter printer;
        ASSERT_EQ(printer.SetStateFile(path), 0);
        printer.SetReportTime(0);
        ASSERT_EQ(printer.Start(), 0);
        printer.SetStatusWords(emu::kStatusJournalPresent, 0);
        printer.ChangeState([](emu::PrinterState& state) { state.unitPassword = "42"; });
        emutest::LineClient line(printer.DevicePath());
        const std::string fi = emutest::Request(
            "fi", {"0201", "old", "new", Parts({"190999888", "000555666", "SK5", "KASSA 3"})});
        ASSERT_EQ(emutest::ParseReply(line.Exchange('1', fi)).error, 0u);
        ASSERT_EQ(
            emutest::ParseReply(
                line.Exchange('2', emutest::Request("fv", {"42", Parts({"000555777", "SK6"})})))
                .error,
            0u);
    }
    emu::VirtualPrinter printer;
    ASSERT_EQ(printer.SetStateFile(path), 0);
    printer.SetRestartTime(50);
    ASSERT_EQ(printer.Start(), 0);
    emutest::LineClient line(printer.DevicePath());
    ASSERT_TRUE(line.Write(emutest::Frame('1', "c0")));
    emutest::ParsedReply up;
    for (char seq = '2'; seq < '9' && !up.ok; ++seq) {
        up = emutest::ParseReply(line.Exchange(seq, "gs", 300));
    }
    ASSERT_TRUE(up.ok);
    EXPECT_EQ(up.status, emu::kStatusJournalPresent | emu::kStatusFiscal | kUnitPresent);
    const emu::PrinterState state = printer.State();
    EXPECT_EQ(state.identity.unitRegisterNumber, "000555777");
    EXPECT_EQ(state.identity.unitSerialNumber, "SK6");
    EXPECT_EQ(state.identity.taxpayerAccountNumber, "190999888");
    EXPECT_EQ(state.identity.initializationOptions, 0x0201u);
    EXPECT_EQ(state.reportPassword, "new");
    EXPECT_EQ(state.unitPassword, "42");
    EXPECT_EQ(state.unitPrinterName, "KASSA 3");
    // A password the printer could not print is no state it could be in.
    std::string text = testsupport::ReadFileBytes(path);
    const size_t at = text.find("unit-password=42");
    ASSERT_NE(at, std::string::npos);
    text.insert(at + 14, "\\x01");
    emu::PrinterState loaded;
    EXPECT_EQ(emu::LoadState(text, loaded), -EINVAL);
}

}  // namespace
