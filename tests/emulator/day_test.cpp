// Days on the virtual printer: numbering, reports, a full day whose information requests add
// up to the documents it held, the journal, and the fiscal memory across restarts.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>

#include "FiscalFixture.h"
#include "Wire.h"
#include "PrinterState.h"

namespace {

using emutest::Answer;
using emutest::Parts;
using Fields = std::vector<std::string>;

class EmuDayTest : public emutest::FiscalFixture {
  protected:
    // One line of the 48-character roll: `left` and `right` at its edges.
    static std::string Row(const std::string& left, const std::string& right) {
        const std::string l = W(left);
        const std::string r = W(right);
        return l + std::string(48 - l.size() - r.size(), ' ') + r + "\n";
    }
    static std::string Centered(const std::string& text) {
        const std::string t = W(text);
        return std::string((48 - t.size()) / 2, ' ') + t + "\n";
    }

    // A day of every kind of document, under cashier Петрова.
    void FullDay() {
        ASSERT_EQ(Error("wi", {W("Петрова")}), 0u);
        ASSERT_EQ(Error("zb"), 0u);
        // 1: a sale with a discount, paid partly by card, with change.
        ASSERT_EQ(Error("rb", {"1"}), 0u);
        ASSERT_EQ(Error("as", {"A", "100.00", "1"}), 0u);
        ASSERT_EQ(Error("as", {"B", "25.00", "2", "2", "50.00"}), 0u);
        ASSERT_EQ(Error("ad", {"B", "10.00", "2"}), 0u);
        ASSERT_EQ(Error("rt", {"140.00"}), 0u);
        ASSERT_EQ(Error("rn", {"40.00", "1"}), 0u);
        ASSERT_EQ(Error("rc", {"200.00"}), 0u);
        ASSERT_EQ(Error("re"), 0u);
        // 2: a refund paid out in cash.
        ASSERT_EQ(Error("rb", {"2"}), 0u);
        ASSERT_EQ(Error("as", {"A", "30.00", "1"}), 0u);
        ASSERT_EQ(Error("rt", {"-30.00"}), 0u);
        ASSERT_EQ(Error("rc", {"-30.00"}), 0u);
        ASSERT_EQ(Error("re"), 0u);
        // 3: a sale paid with one dollar.
        ASSERT_EQ(Error("rb", {"1"}), 0u);
        ASSERT_EQ(Error("as", {"C", "92.50", "3"}), 0u);
        ASSERT_EQ(Error("rt", {"92.50"}), 0u);
        ASSERT_EQ(Error("rc", {"92.50", "USD", "1.00", "92.50"}), 0u);
        ASSERT_EQ(Error("re"), 0u);
        // 4: cash income and outcome.
        ASSERT_EQ(Error("rb", {"3"}), 0u);
        ASSERT_EQ(Error("ri", {"500.00"}), 0u);
        ASSERT_EQ(Error("ri", {"-100.00"}), 0u);
        ASSERT_EQ(Error("re"), 0u);
        // 5: an annulment of part of the first sale, paid back to the card.
        ASSERT_EQ(Error("rb", {Parts({"5", "1"})}), 0u);
        ASSERT_EQ(Error("rt", {"-20.00"}), 0u);
        ASSERT_EQ(Error("rn", {"-20.00", "2"}), 0u);
        ASSERT_EQ(Error("re"), 0u);
        ASSERT_EQ(printer.SetFixedClock({2026, 12, 7, 22, 15, 0}), 0);
    }

    // What the requests of day 1 answer once it is closed.
    void ExpectClosedDayOne(const std::string& asked) {
        auto ask = [&](const char* code) {
            return asked.empty() ? Send(code, {}) : Send(code, {asked});
        };
        EXPECT_EQ(ask("in").fields, (Fields{"1", "6", "2", "1", "6", "1"}));
        EXPECT_EQ(ask("it").fields,
                  (Fields{"1", Parts({"20261207", "103000"}), Parts({"20261207", "221500"})}));
        const Answer sales = ask("is");
        ASSERT_EQ(sales.fields.size(), 5u);
        EXPECT_EQ(sales.Parts(1), (Fields{"1", "A", "100.00", "100.00"}));
        EXPECT_EQ(sales.Parts(2), (Fields{"2", "A", "50.00", "40.00"}));
        EXPECT_EQ(sales.Parts(3), (Fields{"3", "B", "92.50", "92.50"}));
        EXPECT_EQ(sales.Parts(4), (Fields{"4", "C", "0.00", "0.00"}));
        EXPECT_EQ(ask("ir").Parts(1), (Fields{"1", "A", "30.00", "30.00"}));
        const Answer cash = ask("ic");
        ASSERT_EQ(cash.fields.size(), 4u);
        EXPECT_EQ(cash.Parts(1), (Fields{"RUB", "100.00", "100.00", "30.00", "30.00"}));
        EXPECT_EQ(cash.Parts(2), (Fields{"USD", "92.50", "1.00", "0.00", "0.00"}));
        EXPECT_EQ(cash.Parts(3), (Fields{"EUR", "0.00", "0.00", "0.00", "0.00"}));
        const Answer noncash = ask("ip");
        EXPECT_EQ(noncash.Parts(1), (Fields{"1", "40.00", "0.00"}));
        EXPECT_EQ(noncash.Parts(2), (Fields{"2", "0.00", "20.00"}));
        EXPECT_EQ(ask("ix").fields, (Fields{"1", "10.00", "0.00"}));
        EXPECT_EQ(ask("ig").fields, (Fields{"1", "232.50", "30.00", "20.00"}));
        const Answer collected = ask("ii");
        EXPECT_EQ(collected.Parts(1), (Fields{"RUB", "500.00", "100.00", "0.00", "470.00"}));
        EXPECT_EQ(collected.Parts(2), (Fields{"USD", "0.00", "0.00", "0.00", "1.00"}));
        EXPECT_EQ(ask("il").fields, (Fields{Parts({"0.00", "0"}), Parts({"0.00", "0"})}));
    }
};

TEST_F(EmuDayTest, DaysAreNumberedAndTheReceiptNumberStartsAgain) {
    ASSERT_EQ(Error("zb"), 0u);
    EXPECT_EQ(Send("gn", {}).fields, (Fields{"0", "1/0", "0"}));
    SellAndClose("1.00", "1.00");
    SellAndClose("2.00", "2.00");
    EXPECT_EQ(Send("gn", {}).fields, (Fields{"2", "1/2", "1"}));
    const Answer z = Send("ze", {});
    ASSERT_EQ(z.error, 0u);
    EXPECT_EQ(z.status & 0x0001, 0);
    // The Z report is a document of its day; the day's number stays until the next one opens.
    EXPECT_EQ(Send("gn", {}).fields, (Fields{"3", "1/2", "1"}));
    EXPECT_EQ(Send("in", {}).fields, (Fields{"1", "3", "2", "0", "3", "0"}));
    ASSERT_EQ(Error("zb"), 0u);
    EXPECT_EQ(Send("gn", {}).fields, (Fields{"3", "2/0", "1"}));
    SellAndClose("3.00", "3.00");
    EXPECT_EQ(Send("gn", {}).fields, (Fields{"4", "2/1", "1"}));
}

TEST_F(EmuDayTest, AFullDayAddsUpInEveryRequestBeforeAndAfterItCloses) {
    FullDay();
    // While the day is open the cashier's figures and the drawer are live.
    const Answer cashier = Send("wc", {});
    ASSERT_EQ(cashier.fields.size(), 2u);
    EXPECT_EQ(cashier.Parts(0), (Fields{"RUB", "500.00", "100.00", "470.00"}));
    EXPECT_EQ(cashier.Parts(1), (Fields{"USD", "0.00", "0.00", "1.00"}));
    EXPECT_EQ(Send("wp", {}).fields, (Fields{Parts({"1", "40.00"}), Parts({"2", "-20.00"})}));
    EXPECT_EQ(Send("wg", {}).fields, (Fields{"1", Parts({"20261207103000", W("Петрова")})}));
    EXPECT_EQ(Send("in", {}).fields, (Fields{"1", "5", "2", "1", "5", "1"}));

    ASSERT_EQ(Error("ze"), 0u);
    EXPECT_EQ(Send("gn", {}).fields, (Fields{"6", "1/5", "5"}));
    ExpectClosedDayOne("");
    ExpectClosedDayOne("0001");

    // The next day starts with the cash the last one left, and asks about the old day still
    // answer from the fiscal memory.
    ASSERT_EQ(Error("zb"), 0u);
    EXPECT_EQ(Send("in", {}).fields, (Fields{"2", "0", "0", "0", "0", "0"}));
    EXPECT_EQ(Send("ii", {}).Parts(1), (Fields{"RUB", "0.00", "0.00", "470.00", "470.00"}));
    EXPECT_EQ(Send("ig", {}).fields, (Fields{"2", "232.50", "30.00", "20.00"}));
    EXPECT_EQ(Send("it", {}).fields, (Fields{"2", Parts({"20261207", "221500"}), Parts({"", ""})}));
    ExpectClosedDayOne("0001");
    EXPECT_EQ(Error("in", {"0003"}), 38u);
    EXPECT_EQ(Error("is", {"12345"}), 3u);
    EXPECT_EQ(Error("is", {"x"}), 3u);
    EXPECT_TRUE(Send("wc", {}).fields.empty());  // Петрова took nothing yet today
}

TEST_F(EmuDayTest, TheJournalHoldsTheDaysDocumentsInTheOrderPrinted) {
    FullDay();
    ASSERT_EQ(Error("ze"), 0u);
    const std::string journal = printer.SessionJournal(1);
    size_t last = 0;
    for (const char* piece :
         {"ОТКРЫТИЕ СМЕНЫ 1", "ДОК. 1", "ЧЕК ВОЗВРАТА", "ДОК. 3", "ВНЕСЕНИЕ RUB",
          "АННУЛИРУЕТСЯ ДОК. 1", "Z-ОТЧЕТ", "СМЕНА 1 ЗАКРЫТА"}) {
        const size_t at = journal.find(W(piece), last);
        ASSERT_NE(at, std::string::npos) << piece;
        last = at;
    }
    // The paper has the same documents after the power-on line.
    const std::string paper = testsupport::ReadFileBytes(dir.file("paper.txt"));
    EXPECT_NE(paper.find(journal), std::string::npos);

    char hex[16];  // eight digits and the terminator
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(testsupport::Crc32(journal)));
    EXPECT_EQ(Send("ij", {"0001"}).fields, (Fields{"1", std::to_string(journal.size()), hex}));
    EXPECT_EQ(Send("ij", {"0002"}).error, 38u);
}

TEST_F(EmuDayTest, TheReceiptAndTheZReportOnPaper) {
    ASSERT_EQ(Error("wi", {W("Иванова")}), 0u);
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    ASSERT_EQ(Error("as", {W("Хлеб"), "2.50", "1", "2", "5.00"}), 0u);
    ASSERT_EQ(Error("rt", {"5.00"}), 0u);
    ASSERT_EQ(Error("rc", {"10.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    const std::string rule = std::string(48, '-') + "\n";
    const std::string receipt =
        Centered("ООО \"ВИРТУАЛЬНЫЙ МАГАЗИН\"") + Centered("г. Минск, ул. Тестовая, 1") +
        Centered("ЧЕК ПРОДАЖИ") + Row("ДОК. 1", "ЧЕК 1") + Row("СМЕНА 1", "07.12.2026 10:30") +
        W("КАССИР Иванова\n") + rule + W("Хлеб\n") + Row("  2 x 2.50 ОТД.1", "=5.00") + rule +
        Row("ИТОГ", "=5.00") + Row("НАЛИЧНЫМИ", "10.00") + Row("СДАЧА", "5.00") + rule +
        Centered("СПАСИБО ЗА ПОКУПКУ!") + Centered("ФИСКАЛЬНЫЙ ДОКУМЕНТ") + "\n";
    const std::string paper = testsupport::ReadFileBytes(dir.file("paper.txt"));
    EXPECT_NE(paper.find(receipt), std::string::npos) << Paper();

    ASSERT_EQ(Error("ze"), 0u);
    const std::string z =
        Centered("Z-ОТЧЕТ") + Row("ДОК. 2", "07.12.2026 10:30") +
        Row("СМЕНА 1", "ОТКРЫТА 07.12.2026 10:30") + Row("", "ЗАКРЫТА 07.12.2026 10:30") + rule +
        Row("ЧЕКОВ ПРОДАЖИ", "1") + Row("ЧЕКОВ ВОЗВРАТА", "0") + Row("АННУЛИРОВАНО", "0") +
        Row("ДОКУМЕНТОВ", "2") + Centered("ПО ОТДЕЛАМ") + Row("ОТДЕЛ 1 A ПРОДАЖИ", "5.00") +
        Row("СКИДКИ", "0.00") + Row("НАДБАВКИ", "0.00") + Centered("НАЛИЧНЫЕ") +
        Row("RUB ПРОДАЖИ", "5.00") + Row("RUB ВОЗВРАТЫ", "0.00") + Row("RUB ВНЕСЕНО", "0.00") +
        Row("RUB ИЗЪЯТО", "0.00") + Row("RUB В КАССЕ", "5.00") + rule +
        Row("НАКОПЛЕНО ПРОДАЖ", "5.00");
    EXPECT_NE(testsupport::ReadFileBytes(dir.file("paper.txt")).find(z), std::string::npos)
        << Paper();
}

TEST_F(EmuDayTest, ReportsKeepThePrinterBusyWithSyn) {
    ASSERT_EQ(Error("zb"), 0u);
    printer.SetReportTime(700);
    const std::string answer = Ask("zx", 3000);
    EXPECT_GE(emutest::CountOf(answer, emutest::SYN), 2u);
    EXPECT_TRUE(emutest::ParseReply(answer).ok);
    printer.SetReportTime(0);
    EXPECT_EQ(emutest::CountOf(Ask("zx"), emutest::SYN), 0u);
    // The X reports are documents of the day, and change nothing else.
    EXPECT_EQ(Send("in", {}).fields, (Fields{"1", "2", "0", "0", "2", "0"}));
    EXPECT_NE(Paper().find("X-ОТЧЕТ"), std::string::npos);
}

TEST_F(EmuDayTest, FiscalMemoryReportsByNumberAndByDate) {
    EXPECT_EQ(Error("zz", {"1", "0001"}), 38u);  // no day closed yet
    ASSERT_EQ(Error("zb"), 0u);
    SellAndClose("4.00", "4.00");
    EXPECT_EQ(Error("zz", {"1", "0001"}), 38u);  // the open day is not in the fiscal memory
    ASSERT_EQ(Error("ze"), 0u);
    EXPECT_EQ(Error("zz", {"1", "0001"}), 0u);
    EXPECT_EQ(Error("zz", {"0", "0001", "0005"}), 0u);
    EXPECT_EQ(Error("zz", {"1", "0002"}), 38u);
    EXPECT_EQ(Error("zz", {"1", "0002", "0001"}), 3u);
    EXPECT_EQ(Error("zz", {"2", "0001"}), 3u);
    EXPECT_EQ(Error("zz", {"1", "1"}), 3u);
    EXPECT_EQ(Error("zz", {"1"}), 3u);
    EXPECT_EQ(Error("zd", {"1", "20261201", "20261231"}), 0u);
    EXPECT_EQ(Error("zd", {"1", "20261207"}), 0u);
    EXPECT_EQ(Error("zd", {"1", "20261208"}), 38u);
    EXPECT_EQ(Error("zd", {"1", "20261231", "20261201"}), 3u);
    EXPECT_EQ(Error("zd", {"1", "20261340"}), 3u);
    const std::string paper = Paper();
    EXPECT_NE(paper.find("ОТЧЕТ ПО НОМЕРАМ"), std::string::npos);
    EXPECT_NE(paper.find("Z-ОТЧЕТ 1"), std::string::npos);
    EXPECT_NE(paper.find("ОТЧЕТ ПО ДАТАМ"), std::string::npos);

    printer.ChangeState([](emu::PrinterState& s) { s.reportPassword = "1234"; });
    EXPECT_EQ(Error("zz", {"1", "0001"}), 15u);
    EXPECT_EQ(Error("zz", {Parts({"1", "9999"}), "0001"}), 15u);
    EXPECT_EQ(Error("zz", {Parts({"1", "1234"}), "0001"}), 0u);
    EXPECT_EQ(Error("zd", {Parts({"0", "1234"}), "20261207"}), 0u);
}

TEST_F(EmuDayTest, TheOtherReportsPrintAndChangeNothing) {
    ASSERT_EQ(Error("zb"), 0u);
    const std::string before = emu::SaveState(printer.State());
    for (const char* code : {"zv", "zw", "zs", "zg", "hc"}) {
        EXPECT_EQ(Error(code), 0u) << code;
    }
    EXPECT_EQ(emu::SaveState(printer.State()), before);
    const std::string paper = Paper();
    for (const char* title : {"НАЛОГОВЫЕ ГРУППЫ", "ГРУППА A", "ОТЧЕТ ПО КАССИРАМ",
                              "ТАБЛИЦЫ НАСТРОЕК", "ОПЕРАЦИОННЫЕ РЕГИСТРЫ", "САМОТЕСТИРОВАНИЕ"}) {
        EXPECT_NE(paper.find(title), std::string::npos) << title;
    }
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    for (const char* code : {"zv", "zw", "zs", "zg", "hc"}) {
        EXPECT_EQ(Error(code), 1u) << code;
    }
}

TEST_F(EmuDayTest, ADayOfMoreThan24HoursTakesNoMoreReceipts) {
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(printer.SetFixedClock({2026, 12, 8, 10, 30, 0}), 0);  // exactly 24 hours
    SellAndClose("1.00", "1.00");
    ASSERT_EQ(printer.SetFixedClock({2026, 12, 8, 10, 30, 1}), 0);
    EXPECT_EQ(Error("rb", {"1"}), 14u);
    EXPECT_EQ(Error("rb", {"0"}), 0u);  // a text document is no receipt
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(Error("ze"), 0u);
    ASSERT_EQ(Error("zb"), 0u);
    EXPECT_EQ(Error("rb", {"1"}), 0u);
}

class EmuFiscalMemoryTest : public ::testing::Test {
  protected:
    // A printer on the state file, with its line open.
    struct Running {
        emu::VirtualPrinter printer;
        std::unique_ptr<emutest::LineClient> line;
        char sequence = 'Y';

        Answer Send(const std::string& payload) {
            sequence = sequence == 'Z' ? '0' : static_cast<char>(sequence + 1);
            const emutest::ParsedReply reply =
                emutest::ParseReply(line->Exchange(sequence, payload));
            Answer answer;
            answer.ok = reply.ok;
            answer.error = reply.error;
            answer.status = reply.status;
            if (reply.hasData) {
                answer.fields = emutest::Pieces(reply.data, emutest::FS);
            }
            return answer;
        }
    };

    std::unique_ptr<Running> PowerOn() {
        auto running = std::make_unique<Running>();
        EXPECT_EQ(running->printer.SetStateFile(dir.file("state.txt")), 0);
        running->printer.SetReportTime(0);
        running->printer.SetRestartTime(50);
        EXPECT_EQ(running->printer.Start(), 0);
        running->line = std::make_unique<emutest::LineClient>(running->printer.DevicePath());
        return running;
    }

    testsupport::TempDir dir;
};

TEST_F(EmuFiscalMemoryTest, DaysTablesAndTheOpenReceiptSurviveARestartAndC0) {
    using emutest::Request;
    std::string journal;
    {
        auto a = PowerOn();
        ASSERT_EQ(a->printer.SetFixedClock({2026, 12, 7, 10, 30, 0}), 0);
        for (const std::string& payload :
             {Request("sd", {Parts({"7", "B", "Drinks"})}), std::string("zb"), Request("rb", {"1"}),
              Request("as", {"Tea", "3.00", "7"}), Request("rt", {"3.00"}), Request("rc", {"3.00"}),
              std::string("re"), std::string("ze"), std::string("zb"), Request("rb", {"1"}),
              Request("as", {"Tea", "3.00", "7", "2", "6.00"})}) {
            ASSERT_EQ(a->Send(payload).error, 0u) << payload;
        }
        journal = a->printer.SessionJournal(1);
        ASSERT_FALSE(journal.empty());
    }
    auto b = PowerOn();
    // Day 1 was closed and its journal never confirmed: it still waits for that.
    EXPECT_EQ(b->Send("gs").status, 0x10C3);
    EXPECT_EQ(b->Send(Request("is", {"0001"})).Parts(1), (Fields{"7", "B", "3.00", "3.00"}));
    EXPECT_EQ(b->Send("kg").fields, (Fields{"6.00", "0.00"}));
    EXPECT_EQ(b->printer.SessionJournal(1), journal);
    EXPECT_EQ(b->Send("gd").fields, (Fields{"7", Parts({"7", "B", "Drinks"})}));

    // A restart keeps the fiscal memory and the document; only the line goes deaf a while.
    ASSERT_TRUE(b->line->Write(emutest::Frame('0', "c0")));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(b->Send("kg").fields, (Fields{"6.00", "0.00"}));
    ASSERT_EQ(b->Send(Request("rt", {"6.00"})).error, 0u);
    ASSERT_EQ(b->Send(Request("rc", {"6.00"})).error, 0u);
    ASSERT_EQ(b->Send("re").error, 0u);
    EXPECT_EQ(b->Send("in").fields, (Fields{"2", "3", "1", "0", "1", "0"}));
    EXPECT_EQ(b->Send(Request("in", {"0001"})).fields, (Fields{"1", "2", "1", "0", "2", "0"}));
}

TEST_F(EmuFiscalMemoryTest, ADamagedDayIsRefusedAndTheFileKept) {
    {
        auto a = PowerOn();
        ASSERT_EQ(a->Send("zb").error, 0u);
        ASSERT_EQ(a->Send("ze").error, 0u);
    }
    const std::string path = dir.file("state.txt");
    const std::string good = testsupport::ReadFileBytes(path);
    const size_t at = good.find("session.0=");
    ASSERT_NE(at, std::string::npos);
    for (const std::string& damage : {std::string("session.0=1\\x1Fbroken"),
                                      std::string("sessions=2"), std::string("session.0=") + "x"}) {
        std::string bad = good;
        if (damage.rfind("sessions=", 0) == 0) {
            bad.replace(bad.find("sessions=1"), 10, damage);
        } else {
            bad.replace(at, good.find('\n', at) - at, damage);
        }
        testsupport::WriteFileBytes(path, bad);
        emu::VirtualPrinter printer;
        EXPECT_EQ(printer.SetStateFile(path), -EINVAL) << damage;
        printer.SetStatusWords(0x0001, 0);  // a change that would be saved, were the file used
        EXPECT_EQ(testsupport::ReadFileBytes(path), bad);
    }
}

}  // namespace
