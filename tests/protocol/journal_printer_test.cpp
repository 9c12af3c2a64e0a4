// The electronic journal on the virtual printer: a day of receipts closed by a Z report, its
// extent and blocks read back, and the checksum the command layer computes accepted by the
// printer, whose own computation is independent of ours.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "FiscalState.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

const std::string FS(1, '\x1C');

class JournalOnPrinter : public PrinterFixture {
  protected:
    void SetUp() override {
        PrinterFixture::SetUp();
        ASSERT_EQ(printer.SetDepartments({{1, 'A', "Bakery"}}), 0);
        printer.SetReportTime(0);
        AttachAndClear();
    }
    void Receipt(LONGLONG price) {
        ASSERT_EQ(layer.BeginReceipt(1), 0);
        ASSERT_EQ(layer.SellArticle({.price = {price, 1}, .name = "Bread", .department = 1}), 0);
        LONGLONG total = price;
        DWORD scale = 1;
        ASSERT_EQ(layer.CompleteReceipt(&total, &scale), 0);
        ASSERT_EQ(layer.PayCash(TRUE, price, 1), 0);
        ASSERT_EQ(layer.EndReceipt(), 0);
    }
    // The closed day's journal as the command layer reads it.
    std::string ReadDay(DWORD* journal) {
        DWORD offset = 1;
        DWORD length = 0;
        EXPECT_EQ(layer.ReadJournalExtent(journal, &offset, &length), 0);
        EXPECT_EQ(offset, 0U);
        std::vector<char> buffer(length + 1, '\0');
        EXPECT_EQ(layer.ReadJournal(*journal, offset, buffer.data(), length + 1, length, nullptr,
                                    nullptr),
                  0);
        return std::string(buffer.data(), length);
    }
};

TEST_F(JournalOnPrinter, AClosedDayIsReadInBlocksAndValidatedByItsChecksum) {
    ASSERT_EQ(layer.OpenDay(), 0);
    // Enough receipts for the day to need more than one 512-byte block.
    for (LONGLONG price = 10; price <= 60; price += 10) {
        Receipt(price);
    }
    EXPECT_EQ(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);
    ASSERT_EQ(layer.CloseDay(), 0);
    WORD status = 0;
    ASSERT_EQ(layer.GetStatus(&status, nullptr), 0);
    ASSERT_NE(status & kStatusJournalNeedValidate, 0);

    printer.ClearLog();
    DWORD journal = 0;
    const std::string day = ReadDay(&journal);
    EXPECT_EQ(journal, 1U);
    ASSERT_GT(day.size(), 1024U);
    EXPECT_EQ(day, printer.SessionJournal(1));
    const std::vector<std::string> requests = printer.Requests();
    const size_t blocks = (day.size() + 511) / 512;
    ASSERT_EQ(requests.size(), 1 + blocks);
    EXPECT_EQ(requests[0], "jz");
    EXPECT_EQ(requests[1], "jg" + FS + "1" + FS + "0" + FS + "200");
    EXPECT_EQ(requests[2], "jg" + FS + "1" + FS + "200" + FS + "200");

    // A byte changed on the way: the printer refuses the checksum and still waits.
    std::string corrupted = day;
    corrupted[day.size() / 2] ^= 0x01;
    printer.ClearLog();
    EXPECT_EQ(layer.ValidateJournalData(reinterpret_cast<const BYTE*>(corrupted.data()),
                                        static_cast<DWORD>(corrupted.size())),
              -3 - 9200);
    EXPECT_NE(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);

    ASSERT_EQ(layer.ValidateJournalData(reinterpret_cast<const BYTE*>(day.data()),
                                        static_cast<DWORD>(day.size())),
              0);
    EXPECT_EQ(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);
    const std::vector<std::string> validations = printer.Requests();
    ASSERT_EQ(validations.size(), 2U);
    EXPECT_EQ(validations[0].substr(0, 3), "jv" + FS);
    EXPECT_NE(validations[0], validations[1]);

    // Read again, the closed day's bytes are the same.
    EXPECT_EQ(ReadDay(&journal), day);
}

TEST_F(JournalOnPrinter, AForcedWrongChecksumIsRefusedAndValidClearsTheBit) {
    ASSERT_EQ(layer.OpenDay(), 0);
    Receipt(25);
    ASSERT_EQ(layer.CloseDay(), 0);
    EXPECT_EQ(layer.ForceValidateJournal(0x1234), -3 - 9200);
    EXPECT_NE(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);
    ASSERT_EQ(layer.ForceValidateJournal(0), 0);
    EXPECT_EQ(layer.GetStatusWords(nullptr) & kStatusJournalNeedValidate, 0);
    const std::vector<std::string> requests = printer.Requests();
    ASSERT_GE(requests.size(), 2U);
    EXPECT_EQ(requests[requests.size() - 1], "jv" + FS + "VALID");
}

}  // namespace
}  // namespace prottest
