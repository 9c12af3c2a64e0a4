// The electronic journal on the virtual printer: a day's documents read back in blocks, its
// extent, bounds and checksum, the validation the Z report leaves waiting, its printout, and all
// of it across a power cycle.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>

#include "FiscalFixture.h"
#include "Wire.h"
#include "PrinterState.h"

namespace {

using emutest::Answer;
using Fields = std::vector<std::string>;

using testsupport::Crc32;
using testsupport::HexNumber;

class EmuJournalTest : public emutest::FiscalFixture {
  protected:
    // A day of three sales and a text document, closed by its Z report.
    void ClosedDay() {
        ASSERT_EQ(Error("zb"), 0u);
        SellAndClose("12.00", "20.00");
        ASSERT_EQ(Error("rb", {"0"}), 0u);
        ASSERT_EQ(Error("pt", {W("Ждём вас снова")}), 0u);
        ASSERT_EQ(Error("re"), 0u);
        SellAndClose("7.50", "7.50");
        SellAndClose("100.00", "100.00");
        ASSERT_EQ(Error("ze"), 0u);
    }

    // The day's journal as the driver reads it: its extent, then blocks of at most 512 bytes.
    std::string ReadInBlocks(const std::string& day, size_t* blocks = nullptr) {
        const Answer extent = Send("jz", {day});
        EXPECT_EQ(extent.error, 0u);
        if (extent.fields.size() != 3) {
            ADD_FAILURE() << "jz answered " << extent.fields.size() << " fields";
            return {};
        }
        const size_t start = std::stoul(extent.fields[1], nullptr, 16);
        const size_t length = std::stoul(extent.fields[2], nullptr, 16);
        std::string bytes;
        size_t count = 0;
        while (bytes.size() < length) {
            const size_t want = std::min<size_t>(512, length - bytes.size());
            const Answer block = Send(
                "jg", {extent.fields[0], HexNumber(static_cast<uint32_t>(start + bytes.size())),
                       HexNumber(static_cast<uint32_t>(want))});
            if (block.error != 0 || block.fields.size() != 1 || block.fields[0].empty()) {
                ADD_FAILURE() << "block at " << bytes.size() << ": error " << block.error;
                break;
            }
            bytes += block.fields[0];
            ++count;
        }
        if (blocks) {
            *blocks = count;
        }
        return bytes;
    }

    uint16_t Status() { return Send("gs", {}).status; }
};

TEST_F(EmuJournalTest, TheDayReadBackInBlocksIsWhatWasPrintedAndItsChecksum) {
    ClosedDay();
    size_t blocks = 0;
    const std::string journal = ReadInBlocks("1", &blocks);
    EXPECT_EQ(journal, printer.SessionJournal(1));
    EXPECT_EQ(blocks, (journal.size() + 511) / 512);
    ASSERT_GT(blocks, 2u);
    // Every document of the day, in the order printed, and all of them on the paper too.
    size_t last = 0;
    for (const char* piece : {"ОТКРЫТИЕ СМЕНЫ 1", "ДОК. 1", "Ждём вас снова", "ДОК. 3", "ДОК. 4",
                              "Z-ОТЧЕТ", "СМЕНА 1 ЗАКРЫТА"}) {
        const size_t at = journal.find(W(piece), last);
        ASSERT_NE(at, std::string::npos) << piece;
        last = at;
    }
    EXPECT_NE(testsupport::ReadFileBytes(dir.file("paper.txt")).find(journal), std::string::npos);
    // The day's size and checksum, with the number asked for or for the current day.
    const Fields info{"1", std::to_string(journal.size()), HexNumber(Crc32(journal))};
    EXPECT_EQ(Send("ij", {"0001"}).fields, info);
    EXPECT_EQ(Send("ij", {}).fields, info);
    // The current day's extent is the same without a number, and "0" names it too.
    EXPECT_EQ(Send("jz", {}).fields, Send("jz", {"1"}).fields);
    EXPECT_EQ(ReadInBlocks("0"), journal);
}

TEST_F(EmuJournalTest, BlocksAtTheirBoundsAndRefusedRequests) {
    ClosedDay();
    const std::string journal = printer.SessionJournal(1);
    const std::string end = HexNumber(static_cast<uint32_t>(journal.size()));
    // The last byte alone, and a block running past the end gives what there is.
    EXPECT_EQ(Send("jg", {"1", HexNumber(static_cast<uint32_t>(journal.size() - 1)), "200"}).fields,
              Fields{journal.substr(journal.size() - 1)});
    EXPECT_EQ(Send("jg", {"1", "0", "1"}).fields, Fields{journal.substr(0, 1)});
    EXPECT_EQ(Send("jg", {"1", "1f", "a"}).fields, Fields{journal.substr(0x1F, 10)});
    EXPECT_EQ(Error("jg", {"1", end, "1"}), 3u);  // nothing left: an empty block would mislead
    EXPECT_EQ(Error("jg", {"1", "0", "201"}), 3u);
    EXPECT_EQ(Error("jg", {"1", "0", "0"}), 3u);
    EXPECT_EQ(Error("jg", {"1", "x", "10"}), 3u);
    EXPECT_EQ(Error("jg", {"1", "123456789", "10"}), 3u);
    EXPECT_EQ(Error("jg", {"", "0", "10"}), 3u);
    EXPECT_EQ(Error("jg", {"1", "0"}), 3u);
    EXPECT_EQ(Error("jg", {"2", "0", "10"}), 38u);  // no such day
    EXPECT_EQ(Error("jz", {"2"}), 38u);
    EXPECT_EQ(Error("jz", {"-1"}), 3u);
    EXPECT_EQ(Error("jz", {"1", "2"}), 3u);
    EXPECT_EQ(Error("jb", {"1"}), 3u);
    EXPECT_EQ(printer.SessionJournal(1), journal);
}

TEST_F(EmuJournalTest, ThePrinterOutOfTheBoxHasAnEmptyJournal) {
    EXPECT_EQ(Send("jz", {}).fields, (Fields{"0", "0", "0"}));
    EXPECT_EQ(Send("jb", {}).fields, (Fields{"0", "0"}));
    EXPECT_EQ(Error("jg", {"0", "0", "10"}), 3u);
    EXPECT_EQ(Error("jv", {HexNumber(Crc32(""))}), 0u);
}

TEST_F(EmuJournalTest, DayBoundsFollowTheDaysBeforeIt) {
    ClosedDay();
    const size_t first = printer.SessionJournal(1).size();
    EXPECT_EQ(Send("jb", {}).fields, (Fields{"0", std::to_string(first)}));
    ASSERT_EQ(Error("zb"), 0u);
    SellAndClose("1.00", "1.00");
    const size_t second = printer.SessionJournal(2).size();
    EXPECT_EQ(Send("jb", {}).fields,
              (Fields{std::to_string(first), std::to_string(first + second)}));
    // The open day's extent grows with its documents; each day is addressed from its own start.
    EXPECT_EQ(Send("jz", {}).fields, (Fields{"2", "0", HexNumber(static_cast<uint32_t>(second))}));
    EXPECT_EQ(ReadInBlocks("2"), printer.SessionJournal(2));
}

TEST_F(EmuJournalTest, TheZReportLeavesTheJournalToBeValidatedByItsChecksum) {
    ASSERT_EQ(Error("zb"), 0u);
    SellAndClose("3.00", "3.00");
    EXPECT_EQ(Status() & emu::kStatusJournalNeedValidate, 0);
    ASSERT_EQ(Error("ze"), 0u);
    const uint16_t waiting = Status();
    EXPECT_NE(waiting & emu::kStatusJournalNeedValidate, 0);
    const std::string journal = ReadInBlocks("");
    const uint32_t crc = Crc32(journal);

    // A wrong checksum is refused and changes nothing, nor does a request that says none.
    EXPECT_EQ(Error("jv", {HexNumber(crc ^ 1)}), 3u);
    EXPECT_EQ(Error("jv", {HexNumber(Crc32(journal.substr(1)))}), 3u);
    EXPECT_EQ(Error("jv", {""}), 3u);
    EXPECT_EQ(Error("jv", {"valid"}), 3u);
    EXPECT_EQ(Error("jv", {"123456789"}), 3u);
    EXPECT_EQ(Error("jv"), 3u);
    EXPECT_EQ(Status(), waiting);

    // The right one clears it, in either case of its digits and with leading zeros.
    char padded[16];  // "%010x" of 32 bits and the terminator
    std::snprintf(padded, sizeof padded, "%08x", crc);
    EXPECT_EQ(Error("jv", {padded}), 0u);
    EXPECT_EQ(Status(), waiting & ~emu::kStatusJournalNeedValidate);
    // A day's journal can be confirmed again; a wrong checksum is still wrong.
    EXPECT_EQ(Error("jv", {HexNumber(crc)}), 0u);
    EXPECT_EQ(Error("jv", {HexNumber(crc + 1)}), 3u);
}

TEST_F(EmuJournalTest, ValidSkipsTheCheckAndTheBitCanBeSetByHand) {
    ClosedDay();
    EXPECT_EQ(Error("jv", {"VALID"}), 0u);
    EXPECT_EQ(Status() & emu::kStatusJournalNeedValidate, 0);
    printer.SetStatusWords(printer.StatusWord() | emu::kStatusJournalNeedValidate, 0);
    EXPECT_NE(Status() & emu::kStatusJournalNeedValidate, 0);
    EXPECT_EQ(Error("jv", {HexNumber(Crc32(printer.SessionJournal(1)))}), 0u);
    EXPECT_EQ(Status() & emu::kStatusJournalNeedValidate, 0);
}

TEST_F(EmuJournalTest, AJournalOfTheTestsMakingIsCheckedByItsOwnBytes) {
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("ze"), 0u);
    ASSERT_EQ(printer.SetSessionJournal(1, "abc"), 0);
    EXPECT_EQ(Send("ij", {}).fields, (Fields{"1", "3", "352441C2"}));
    EXPECT_EQ(Error("jv", {"352441C2"}), 0u);
    // A zero byte travels; bytes that would end the frame or the field are refused.
    const std::string zero("a\0b", 3);
    ASSERT_EQ(printer.SetSessionJournal(1, zero), 0);
    EXPECT_EQ(Send("jg", {"1", "0", "3"}).fields, Fields{zero});
    for (const char bad : {'\x02', '\x03', '\x1C'}) {
        EXPECT_EQ(printer.SetSessionJournal(1, std::string("x") + bad), -EINVAL);
    }
    EXPECT_EQ(printer.SetSessionJournal(2, "abc"), -EINVAL);  // no such day
    EXPECT_EQ(printer.SessionJournal(1), zero);
}

TEST_F(EmuJournalTest, APrinterWithoutAJournalKnowsNoneOfItsCommands) {
    printer.SetStatusWords(emu::kStatusFiscal, 0);
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("ze"), 0u);
    EXPECT_EQ(Status(), emu::kStatusFiscal);  // no validation to wait for
    for (const char* code : {"jz", "jb", "jp"}) {
        EXPECT_EQ(Error(code), 2u) << code;
    }
    EXPECT_EQ(Error("jg", {"1", "0", "10"}), 2u);
    EXPECT_EQ(Error("jv", {"VALID"}), 2u);
}

TEST_F(EmuJournalTest, ThePrintoutWithAndWithoutItsArgument) {
    ClosedDay();
    const std::string journal = printer.SessionJournal(1);
    const std::string before = testsupport::ReadFileBytes(dir.file("paper.txt"));
    ASSERT_EQ(Error("jp"), 0u);
    const std::string once = testsupport::ReadFileBytes(dir.file("paper.txt"));
    ASSERT_GT(once.size(), before.size());
    const std::string printed = once.substr(before.size());
    const std::string rule = std::string(48, '-') + "\n";
    const std::string heading = std::string(15, ' ') + W("ЭЛЕКТРОННЫЙ ЖУРНАЛ") + "\n" +
                                W("СМЕНА 1") + std::string(25, ' ') + "07.12.2026 10:30\n" + rule;
    const std::string closing = rule + std::string(17, ' ') + W("КОНЕЦ ЖУРНАЛА") + "\n\n";
    EXPECT_EQ(printed, heading + journal + closing) << Paper();
    // A copy: the journal itself does not grow.
    EXPECT_EQ(printer.SessionJournal(1), journal);

    ASSERT_EQ(Error("jp", {"PRINT"}), 0u);
    EXPECT_EQ(testsupport::ReadFileBytes(dir.file("paper.txt")), once + printed);
    EXPECT_EQ(Error("jp", {"print"}), 3u);
    EXPECT_EQ(Error("jp", {"PRINT", "1"}), 3u);
    // Not inside a document.
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_EQ(Error("jp"), 1u);
}

TEST_F(EmuJournalTest, JournalPrintKeepsThePrinterBusyLikeAReport) {
    ClosedDay();
    printer.SetReportTime(700);
    const std::string answer = Ask("jp", 3000);
    EXPECT_GE(emutest::CountOf(answer, emutest::SYN), 2u);
    EXPECT_TRUE(emutest::ParseReply(answer).ok);
}

class EmuJournalRestartTest : public ::testing::Test {
  protected:
    struct Running {
        emu::VirtualPrinter printer;
        std::unique_ptr<emutest::LineClient> line;
        char sequence = '0';

        emutest::ParsedReply Ask(const std::string& payload) {
            sequence = sequence == '9' ? '0' : static_cast<char>(sequence + 1);
            return emutest::ParseReply(line->Exchange(sequence, payload));
        }
    };

    std::unique_ptr<Running> PowerOn() {
        auto running = std::make_unique<Running>();
        EXPECT_EQ(running->printer.SetStateFile(dir.file("state.txt")), 0);
        running->printer.SetReportTime(0);
        EXPECT_EQ(running->printer.SetFixedClock({2026, 12, 8, 9, 0, 0}), 0);
        EXPECT_EQ(running->printer.Start(), 0);
        running->line = std::make_unique<emutest::LineClient>(running->printer.DevicePath());
        return running;
    }

    testsupport::TempDir dir;
};

TEST_F(EmuJournalRestartTest, TheJournalAndItsPendingValidationSurviveAPowerCycle) {
    std::string journal;
    {
        auto a = PowerOn();
        for (const char* payload : {"zb", "ze"}) {
            ASSERT_EQ(a->Ask(payload).error, 0u) << payload;
        }
        journal = a->printer.SessionJournal(1);
    }
    auto b = PowerOn();
    const emutest::ParsedReply status = b->Ask("gs");
    EXPECT_NE(status.status & emu::kStatusJournalNeedValidate, 0);
    EXPECT_EQ(b->printer.SessionJournal(1), journal);
    EXPECT_EQ(b->Ask(std::string("jv") + emutest::FS + HexNumber(Crc32(journal) ^ 0x80)).error, 3u);
    EXPECT_EQ(b->Ask(std::string("jv") + emutest::FS + HexNumber(Crc32(journal))).error, 0u);
    EXPECT_EQ(b->Ask("gs").status & emu::kStatusJournalNeedValidate, 0);
    // A state file whose journal holds a byte no block could carry is refused.
    std::string text = testsupport::ReadFileBytes(dir.file("state.txt"));
    const size_t at = text.find("journal.1=");
    ASSERT_NE(at, std::string::npos);
    text.insert(at + 10, "\\x03");
    emu::PrinterState state;
    EXPECT_EQ(emu::LoadState(text, state), -EINVAL);
}

}  // namespace
