// A whole fiscal day at the command level on the virtual printer: the tables and the clock, the
// day opened, a sale with a discount, a mixed payment and change, a refund, cash income and
// outcome, every information request against the amounts those documents produced, the X and
// the Z report, and the requests again for the session the Z report closed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "Brontal.h"
#include "PrinterFixture.h"

namespace prottest {
namespace {

// An amount in ten-thousandths, whatever decimals the printer wrote it with.
LONGLONG Money(const DecimalPair& amount) {
    LONGLONG value = amount.value * 10000;
    for (DWORD scale = amount.scale; scale > 1; scale /= 10) {
        value /= 10;
    }
    return value;
}

constexpr LONGLONG Units(double amount) {
    return static_cast<LONGLONG>(amount * 10000 + (amount < 0 ? -0.5 : 0.5));
}

const DepartmentTotals* Department(const DepartmentTotals* rows, int count, LONG number) {
    for (int i = 0; i < count; ++i) {
        if (rows[i].number == number) {
            return &rows[i];
        }
    }
    return nullptr;
}

const CurrencyTotals* Currency(const CurrencyTotals* rows, int count, const char* code) {
    for (int i = 0; i < count; ++i) {
        if (std::strcmp(rows[i].code, code) == 0) {
            return &rows[i];
        }
    }
    return nullptr;
}

const FacilityTotals* Facility(const FacilityTotals* rows, int count, LONG number) {
    for (int i = 0; i < count; ++i) {
        if (rows[i].number == number) {
            return &rows[i];
        }
    }
    return nullptr;
}

class FullDay : public PrinterFixture {
  protected:
    void SetUp() override {
        PrinterFixture::SetUp();
        AttachAndClear();
    }

    // What the day's documents leave in the session, asked for session `session` (0: the
    // current one); `session` receives the number the printer reports.
    void ExpectSessionTotals(DWORD* session) {
        SessionDocumentCounts counts = {};
        ASSERT_EQ(layer.ReadSessionDocumentCounts(session, &counts), 0);
        EXPECT_EQ(counts.salesCount, 1U);
        EXPECT_EQ(counts.refundsCount, 1U);

        DepartmentTotals departments[16];
        int count = 0;
        ASSERT_EQ(layer.ReadSessionSalesByDepartment(session, departments, 16, &count), 0);
        const DepartmentTotals* bakery = Department(departments, count, 1);
        const DepartmentTotals* dairy = Department(departments, count, 2);
        ASSERT_NE(bakery, nullptr);
        ASSERT_NE(dairy, nullptr);
        EXPECT_EQ(Money(bakery->first), Units(25.00));
        EXPECT_EQ(Money(dairy->first), Units(30.00));
        ASSERT_EQ(layer.ReadSessionRefundsByDepartment(session, departments, 16, &count), 0);
        bakery = Department(departments, count, 1);
        ASSERT_NE(bakery, nullptr);
        EXPECT_EQ(Money(bakery->first), Units(12.50));
        // Departments without refunds may be listed, with nothing in them.
        const DepartmentTotals* none = Department(departments, count, 2);
        EXPECT_TRUE(none == nullptr || Money(none->first) == 0);

        CurrencyTotals currencies[8];
        ASSERT_EQ(layer.ReadSessionCashByCurrency(session, currencies, 8, &count), 0);
        const CurrencyTotals* rub = Currency(currencies, count, "RUB");
        ASSERT_NE(rub, nullptr);
        // Cash taken less the change given, and the cash paid back on the refund.
        EXPECT_EQ(Money(rub->amounts[0]), Units(30.00));
        EXPECT_EQ(Money(rub->amounts[2]), Units(12.50));

        FacilityTotals facilities[8];
        ASSERT_EQ(layer.ReadSessionNoncashByFacility(session, facilities, 8, &count), 0);
        const FacilityTotals* card = Facility(facilities, count, 1);
        ASSERT_NE(card, nullptr);
        EXPECT_EQ(Money(card->amounts[0]), Units(20.00));
        EXPECT_EQ(Money(card->amounts[1]), 0);

        DecimalPair discounts = {};
        DecimalPair surcharges = {};
        ASSERT_EQ(layer.ReadSessionDiscountsSurcharges(session, &discounts, &surcharges), 0);
        EXPECT_EQ(Money(discounts), Units(5.00));
        EXPECT_EQ(Money(surcharges), 0);

        DecimalPair sales = {};
        DecimalPair refunds = {};
        DecimalPair third = {};
        ASSERT_EQ(layer.ReadSessionAccumulatedTotals(session, &sales, &refunds, &third), 0);
        EXPECT_EQ(Money(sales), Units(50.00));
        EXPECT_EQ(Money(refunds), Units(12.50));

        ASSERT_EQ(layer.ReadSessionCollectedAmounts(session, currencies, 8, &count), 0);
        rub = Currency(currencies, count, "RUB");
        ASSERT_NE(rub, nullptr);
        EXPECT_EQ(Money(rub->amounts[0]), Units(100.00));  // income
        EXPECT_EQ(Money(rub->amounts[1]), Units(30.00));   // outcome
        EXPECT_EQ(Money(rub->amounts[2]), 0);              // collected before the day
        EXPECT_EQ(Money(rub->amounts[3]), Units(87.50));   // 30 - 12.50 + 100 - 30

        SessionDateTime dates = {};
        ASSERT_EQ(layer.ReadSessionDateTime(session, &dates), 0);
        EXPECT_EQ(std::string(dates.startDate), "20261207");
    }
};

TEST_F(FullDay, FromTheTablesToTheClosedSession) {
    // Tables and clock.
    const DepartmentEntry departments[] = {{1, 'N', "Bakery"}, {2, 'N', "Dairy"}};
    ASSERT_EQ(layer.WriteDepartments(departments, 2), 0);
    const PaymentFacilityEntry facilities[] = {{1, "Card"}};
    ASSERT_EQ(layer.WritePaymentFacilities(facilities, 1), 0);
    const SYSTEMTIME now = SystemTime(2026, 12, 7, 1, 52, 7);
    ASSERT_EQ(layer.SetDateTime(&now), 0);

    DepartmentEntry readDepartments[16];
    LONG start = 0;
    int count = 0;
    ASSERT_EQ(layer.ReadDepartments(&start, readDepartments, 16, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(readDepartments[1].name, "Dairy");
    char name[32] = "";
    ASSERT_EQ(layer.ReadDepartmentName(1, name, sizeof name), 0);
    EXPECT_STREQ(name, "Bakery");
    ASSERT_EQ(layer.LoadCurrencyTable(), 0);
    ASSERT_NE(layer.Currency(layer.CurrentCurrency()), nullptr);
    EXPECT_STREQ(layer.Currency(layer.CurrentCurrency())->name, "RUB");

    // The day and its cashier.
    ASSERT_EQ(layer.OpenDay(), 0);
    EXPECT_TRUE(layer.GetStatusWords(nullptr) & kStatusDayOpen);
    const std::string cashier = testsupport::Cp1251("Иванова");
    ASSERT_EQ(layer.CashierLogin(cashier.c_str()), 0);
    ASSERT_EQ(layer.ReadCashier(name, sizeof name), 0);
    EXPECT_EQ(std::string(name), cashier);

    // A sale: 2 x 12.50 of bread, milk at 30.00 less 5.00, paid 20.00 by card and 40.00 in
    // cash, 10.00 given back.
    ASSERT_EQ(layer.BeginReceipt(1), 0);
    EXPECT_TRUE(layer.GetStatusWords(nullptr) & kStatusReceiptOpen);
    ASSERT_EQ(layer.SellArticle(
                  {.price = {1250, 100}, .name = "Bread", .department = 1, .quantity = {2, 1}}),
              0);
    // No name: the department's.
    ASSERT_EQ(layer.SellArticle({.price = {30, 1}, .name = "", .department = 2}), 0);
    ASSERT_EQ(layer.ArticleDiscount(TRUE, 5, 1, "Promo", nullptr, 2), 0);
    EXPECT_EQ(layer.Total().amount, 5000);
    EXPECT_EQ(layer.Total().scale, 100U);

    DepartmentTotals lines[16];
    ASSERT_EQ(layer.ReadReceiptSalesByDepartment(lines, 16, &count), 0);
    ASSERT_NE(Department(lines, count, 1), nullptr);
    EXPECT_EQ(Money(Department(lines, count, 1)->first), Units(25.00));
    DecimalPair discounts = {};
    DecimalPair surcharges = {};
    ASSERT_EQ(layer.ReadReceiptDiscountsSurcharges(&discounts, &surcharges), 0);
    EXPECT_EQ(Money(discounts), Units(5.00));
    EXPECT_EQ(Money(surcharges), 0);

    LONGLONG total = 5000;
    DWORD totalScale = 100;
    ASSERT_EQ(layer.CompleteReceipt(&total, &totalScale), 0);
    EXPECT_EQ(Money({total, totalScale}), Units(50.00));
    EXPECT_TRUE(layer.GetStatusWords(nullptr) & kStatusReadyForTotal);
    ASSERT_EQ(layer.PayNoncash(TRUE, 20, 1, 1), 0);
    ASSERT_EQ(layer.PayCash(TRUE, 40, 1), 0);

    DecimalPair sales = {};
    DecimalPair paid = {};
    ASSERT_EQ(layer.ReadReceiptTotals(&sales, &paid), 0);
    EXPECT_EQ(Money(sales), Units(50.00));
    EXPECT_EQ(Money(paid), Units(60.00));
    CurrencyTotals cash[8];
    ASSERT_EQ(layer.ReadReceiptCashByCurrency(cash, 8, &count), 0);
    ASSERT_NE(Currency(cash, count, "RUB"), nullptr);
    EXPECT_EQ(Money(Currency(cash, count, "RUB")->amounts[0]), Units(40.00));
    FacilityTotals noncash[8];
    ASSERT_EQ(layer.ReadReceiptNoncashByFacility(noncash, 8, &count), 0);
    ASSERT_NE(Facility(noncash, count, 1), nullptr);
    EXPECT_EQ(Money(Facility(noncash, count, 1)->amounts[0]), Units(20.00));

    ASSERT_EQ(layer.PayCash(FALSE, 10, 1), 0);
    ASSERT_EQ(layer.EndReceipt(), 0);
    EXPECT_FALSE(layer.GetStatusWords(nullptr) & kStatusReceiptOpen);

    // A refund of one bread, paid back in cash.
    ASSERT_EQ(layer.BeginReceipt(2), 0);
    ASSERT_EQ(layer.SellArticle({.price = {1250, 100}, .name = "Bread", .department = 1}), 0);
    total = 1250;
    totalScale = 100;
    ASSERT_EQ(layer.CompleteReceipt(&total, &totalScale), 0);
    ASSERT_EQ(layer.PayCash(FALSE, 1250, 100), 0);
    ASSERT_EQ(layer.EndReceipt(), 0);

    // Cash income and outcome, each its own document.
    ASSERT_EQ(layer.BeginReceipt(3), 0);
    ASSERT_EQ(layer.CashInOut(TRUE, 100, 1), 0);
    ASSERT_EQ(layer.EndReceipt(), 0);
    ASSERT_EQ(layer.BeginReceipt(3), 0);
    ASSERT_EQ(layer.CashInOut(FALSE, 30, 1), 0);
    ASSERT_EQ(layer.EndReceipt(), 0);

    CurrencyTotals collected[8];
    ASSERT_EQ(layer.ReadCashierCollectedAmounts(collected, 8, &count), 0);
    const CurrencyTotals* rub = Currency(collected, count, "RUB");
    ASSERT_NE(rub, nullptr);
    EXPECT_EQ(Money(rub->amounts[0]), Units(100.00));
    EXPECT_EQ(Money(rub->amounts[1]), Units(30.00));
    EXPECT_EQ(Money(rub->amounts[2]), Units(87.50));
    ASSERT_EQ(layer.ReadCashierNoncashByFacility(noncash, 8, &count), 0);
    ASSERT_NE(Facility(noncash, count, 1), nullptr);
    EXPECT_EQ(Money(Facility(noncash, count, 1)->amounts[0]), Units(20.00));

    // The session so far.
    DWORD session = 0;
    ExpectSessionTotals(&session);
    ASSERT_GT(session, 0U);
    DWORD before = 0;
    DWORD documentNumber = 0;
    ASSERT_EQ(layer.ReadDocumentNumbers(&documentNumber, &before, nullptr, nullptr), 0);
    EXPECT_EQ(before, session);

    // The X report leaves the day open; the Z report closes it.
    ASSERT_EQ(layer.PrintXReport(), 0);
    EXPECT_TRUE(layer.GetStatusWords(nullptr) & kStatusDayOpen);
    ASSERT_EQ(layer.CloseDay(), 0);
    EXPECT_FALSE(layer.GetStatusWords(nullptr) & kStatusDayOpen);

    // The closed session answers from the fiscal memory with the same amounts.
    DWORD closed = session;
    ExpectSessionTotals(&closed);
    EXPECT_EQ(closed, session);
    const std::string asked = "is" + std::string(1, '\x1C') + [&] {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(session));
        return std::string(digits);
    }();
    bool sent = false;
    for (const std::string& request : printer.Requests()) {
        sent = sent || request == asked;
    }
    EXPECT_TRUE(sent);
}

}  // namespace
}  // namespace prottest
