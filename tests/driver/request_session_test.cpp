// Session and cashier requests through the component after a day of sales, a refund, a
// discount and a surcharge, card and foreign-currency payments, cash income and outcome and a
// cancelled receipt: each result property against what those documents produced, for the open
// day and for the day the Z report closed; the session's dates and its journal.
#include <cstdio>

#include "Brontal.h"
#include "TableRequestSession.h"

namespace tabletest {
namespace {

using receipttest::Printable;
using Strings = std::vector<std::string>;

constexpr LONGLONG Units(LONGLONG whole, LONGLONG hundredths = 0) {
    return whole * kUnit + hundredths * 100;
}

DATE Moment(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    DATE date = 0;
    EXPECT_TRUE(SystemTimeToVariantTime(&time, &date));
    return date;
}

emu::PrinterTime PrinterMoment(int hour, int minute) {
    emu::PrinterTime time;
    time.year = 2026;
    time.month = 12;
    time.day = 7;
    time.hour = hour;
    time.minute = minute;
    time.second = 15;
    return time;
}

std::string FourDigits(unsigned number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u", number);
    return digits;
}

class SessionRequestTest : public TableRequestSession {
  protected:
    void SetUp() override {
        ReceiptSession::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        // The Z report validates the journal without downloading it, and prints no copy.
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings", "PrintEJ", 0);
        WriteSetting("SOFTWARE\\Orvane\\Brontl\\Settings", "DownloadEJ", 0);
        printer_.SetReportTime(0);
        ASSERT_EQ(printer_.SetFixedClock(PrinterMoment(9, 30)), 0);
        Connect();
        if (!HasFatalFailure()) {
            SellTheDay();
        }
    }

    void Line(USHORT department, const std::string& article, LONGLONG price, LONGLONG quantity) {
        PutNumber(kDepartment, department);
        PutText(kArticle, article);
        PutMoney(kPrice, price);
        PutMoney(kQuantity, quantity);
        Run(kSale);
    }
    void Pay(DISPID method, LONGLONG amount) {
        PutMoney(kAmount, amount);
        Run(method);
    }

    // Sales of 25.00 and 30.00 less 5.00 (departments 1 and 2) and 100.00 plus 2.00 (department
    // 3); 20.00 by card, 1.00 USD at 90.00 and 42.00 cash net of the change; 12.50 refunded in
    // cash (department 1); 100.00 in and 30.00 out; one receipt cancelled.
    void SellTheDay() {
        PutNumber(kReceiptType, 1);
        Run(kOpenReceipt);
        Line(1, "Хлеб", Units(12, 50), Units(2));
        Line(2, "Молоко", Units(30), Units(1));
        PutMoney(kCorrectionAmount, Units(5));
        PutText(kCorrectionMnemo, "Скидка");
        Run(kDiscount);
        Run(kCompleteReceipt);
        PutNumber(kNoncashType, 1);
        Pay(kPayNoncash, Units(20));
        Pay(kPayCash, Units(40));
        Run(kCloseReceipt);

        PutNumber(kReceiptType, 1);
        Run(kOpenReceipt);
        Line(3, "Услуга", Units(100), Units(1));
        PutMoney(kCorrectionAmount, Units(2));
        PutText(kCorrectionMnemo, "Надбавка");
        Run(kSurcharge);
        Run(kCompleteReceipt);
        PutText(kAmountCurrency, "USD");
        PutMoney(kAmountCurrencyRate, Units(90));
        Pay(kPayCash, Units(1));
        PutText(kAmountCurrency, "");
        Pay(kPayCash, Units(12));
        Run(kCloseReceipt);

        PutNumber(kReceiptType, 2);
        Run(kOpenReceipt);
        Line(1, "Хлеб", Units(12, 50), Units(1));
        Run(kCompleteReceipt);
        Pay(kRepayCash, Units(12, 50));
        Run(kCloseReceipt);

        Pay(kCashIncome, Units(100));
        Run(kCloseReceipt);
        Pay(kCashOutcome, Units(30));
        Run(kCloseReceipt);

        PutNumber(kReceiptType, 1);
        Run(kOpenReceipt);
        Line(2, "Молоко", Units(30), Units(1));
        Run(kCancelPrint);
        ASSERT_EQ(printer_.StatusWord() & 0x0002, 0);  // nothing left open
        printer_.ClearLog();
    }

    void Select(DISPID selector, USHORT value) { Put(selector, client::UI2(value)); }

    // Runs `method` for each selection, which must be answered; the amounts that `dispids` read.
    std::vector<LONGLONG> Amounts(DISPID method, const std::vector<DISPID>& dispids) {
        Run(method);
        EXPECT_EQ(ResultCode(), 0);
        std::vector<LONGLONG> amounts;
        for (const DISPID dispid : dispids) {
            amounts.push_back(Money(dispid));
        }
        return amounts;
    }

    // Every session request of the day, asked for session `session` (0: the current one);
    // `documents` counts a Z report that closed it.
    void ExpectTheDay(USHORT session, DWORD documents) {
        using Figures = std::vector<LONGLONG>;
        const emu::PrinterState state = printer_.State();
        Select(kRequestSession, session);
        Run(kRequestSessionDocumentCount);
        EXPECT_EQ(D().GetUI4(kSalesCount), 2u);
        EXPECT_EQ(D().GetUI4(kRefundsCount), 1u);
        EXPECT_EQ(D().GetUI4(kCancellationCount), 1u);
        EXPECT_EQ(D().GetUI4(kDocumentsCount), documents);
        EXPECT_EQ(D().GetUI4(kDocumentNumber), state.sessions.back().lastDocument);
        EXPECT_EQ(D().GetUI4(kDocumentThrougtNumber), state.sessions.back().lastDocument);

        const std::pair<USHORT, LONGLONG> sales[] = {
            {1, Units(25)}, {2, Units(30)}, {3, Units(100)}, {4, 0}, {7, 0}};
        for (const auto& [department, amount] : sales) {
            Select(kRequestDepartment, department);
            EXPECT_EQ(Amounts(kRequestSessionSalesByDepartment, {kSalesAmount}), Figures{amount})
                << "department " << department;
        }
        Select(kRequestDepartment, 1);
        EXPECT_EQ(Amounts(kRequestSessionRefundsByDepartment, {kRefundsAmount}),
                  Figures{Units(12, 50)});
        Select(kRequestDepartment, 2);
        EXPECT_EQ(Amounts(kRequestSessionRefundsByDepartment, {kRefundsAmount}), Figures{0});

        const std::vector<DISPID> cash = {kSalesAmount, kSalesAmountInCurrency, kRefundsAmount,
                                          kRefundsAmountInCurrency};
        PutText(kRequestCurrency, "RUB");
        EXPECT_EQ(Amounts(kRequestSessionCashSalesRefundsByCurrency, cash),
                  (Figures{Units(42), Units(42), Units(12, 50), Units(12, 50)}));
        PutText(kRequestCurrency, "USD");
        EXPECT_EQ(Amounts(kRequestSessionCashSalesRefundsByCurrency, cash),
                  (Figures{Units(90), Units(1), 0, 0}));

        Select(kRequestNoncashFacility, 1);
        EXPECT_EQ(
            Amounts(kRequestSessionNoncashSalesRefundsByFacility, {kSalesAmount, kRefundsAmount}),
            (Figures{Units(20), 0}));
        Select(kRequestNoncashFacility, 2);
        EXPECT_EQ(
            Amounts(kRequestSessionNoncashSalesRefundsByFacility, {kSalesAmount, kRefundsAmount}),
            (Figures{0, 0}));

        EXPECT_EQ(
            Amounts(kRequestSessionDiscountsSurcharges, {kDiscountsAmount, kSurchargesAmount}),
            (Figures{Units(5), Units(2)}));
        EXPECT_EQ(Amounts(kRequestSessionAccumulatedTotals,
                          {kAccumulatedSalesAmount, kAccumulatedRefundsAmount}),
                  (Figures{Units(152), Units(12, 50)}));

        const std::vector<DISPID> collected = {kIncomeAmount, kOutcomeAmount,
                                               kPreviousCollectedAmount, kCollectedAmount};
        PutText(kRequestCurrency, "RUB");
        // 42.00 taken, 12.50 paid back, 100.00 in, 30.00 out.
        EXPECT_EQ(Amounts(kRequestSessionCollectedAmounts, collected),
                  (Figures{Units(100), Units(30), 0, Units(99, 50)}));
        PutText(kRequestCurrency, "USD");
        EXPECT_EQ(Amounts(kRequestSessionCollectedAmounts, collected),
                  (Figures{0, 0, 0, Units(1)}));

        Run(kRequestSessionDateTime);
        EXPECT_EQ(Date(kSessionStartDate), Moment(2026, 12, 7, 9, 30, 15));
    }
};

TEST_F(SessionRequestTest, TheOpenDayAsItsDocumentsLeftIt) {
    ExpectTheDay(0, 6);
    // An open day has no end yet.
    EXPECT_EQ(Date(kSessionEndtDate), 0);
    EXPECT_EQ(D().GetUI2(kRequestSession), printer_.State().counters.session);
}

TEST_F(SessionRequestTest, TheClosedDayAnswersWithTheSameFigures) {
    const USHORT day = static_cast<USHORT>(printer_.State().counters.session);
    ASSERT_EQ(printer_.SetFixedClock(PrinterMoment(21, 5)), 0);
    Run(kPrintZReport);
    ASSERT_EQ(D().GetUI2(kStateDayOpen), 0);
    printer_.ClearLog();
    ExpectTheDay(day, 7);
    EXPECT_EQ(Date(kSessionEndtDate), Moment(2026, 12, 7, 21, 5, 15));
    // Every request named the day with four digits.
    for (const std::string& request : Requests()) {
        EXPECT_EQ(request.substr(2), kFs + FourDigits(day)) << Printable({request});
    }
    EXPECT_EQ(D().GetUI2(kRequestSession), day);
}

TEST_F(SessionRequestTest, TheCurrentSessionGoesAsAnEmptyFieldAndComesBackByNumber) {
    const USHORT day = static_cast<USHORT>(printer_.State().counters.session);
    ASSERT_GT(day, 0);
    Select(kRequestSession, 0);
    Select(kRequestDepartment, 1);
    Run(kRequestSessionSalesByDepartment);
    EXPECT_EQ(Requests(), Strings{"is"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kRequestSession), day);
    printer_.ClearLog();
    Run(kRequestSessionSalesByDepartment);
    EXPECT_EQ(Requests(), Strings{"is" + kFs + FourDigits(day)}) << Printable(Requests());
    EXPECT_EQ(Money(kSalesAmount), Units(25));

    // A day the fiscal memory does not have is the printer's refusal.
    Select(kRequestSession, static_cast<USHORT>(day + 5));
    EXPECT_LT(Outcome(D().Method(kRequestSessionSalesByDepartment)), 0);
    EXPECT_LT(ResultCode(), -9200);
    EXPECT_EQ(Money(kSalesAmount), 0);
}

TEST_F(SessionRequestTest, CurrencyCodesMatchOnlyInTheirOwnCase) {
    PutText(kRequestCurrency, "rub");
    Run(kRequestSessionCollectedAmounts);
    EXPECT_EQ(ResultCode(), 0);
    for (const DISPID dispid :
         {kIncomeAmount, kOutcomeAmount, kPreviousCollectedAmount, kCollectedAmount}) {
        EXPECT_EQ(Money(dispid), 0) << "DISPID " << dispid;
    }
}

TEST_F(SessionRequestTest, TheCashierHasNoCashFromBefore) {
    PutText(kRequestCurrency, "RUB");
    Run(kRequestSessionCollectedAmounts);
    ASSERT_EQ(Money(kIncomeAmount), Units(100));
    // A cashier row's amounts: in, out and what is in the drawer by that cashier.
    Run(kRequestCashierCollectedAmounts);
    EXPECT_EQ(Requests().back(), "wc") << Printable(Requests());
    EXPECT_EQ(Money(kIncomeAmount), Units(100));
    EXPECT_EQ(Money(kOutcomeAmount), Units(30));
    EXPECT_EQ(Money(kCollectedAmount), Units(99, 50));
    EXPECT_EQ(Money(kPreviousCollectedAmount), 0);
    PutText(kRequestCurrency, "USD");
    Run(kRequestCashierCollectedAmounts);
    EXPECT_EQ(Money(kCollectedAmount), Units(1));
    EXPECT_EQ(Money(kIncomeAmount), 0);

    Select(kRequestNoncashFacility, 1);
    Run(kRequestCashierNoncashPaymentsByFacility);
    EXPECT_EQ(Money(kPaymentAmount), Units(20));
    Select(kRequestNoncashFacility, 2);
    Run(kRequestCashierNoncashPaymentsByFacility);
    EXPECT_EQ(Money(kPaymentAmount), 0);
}

TEST_F(SessionRequestTest, TheJournalOfTheOpenDayIsMeasuredAndOfAClosedDayTaken) {
    const emu::PrinterState open = printer_.State();
    const DWORD written = static_cast<DWORD>(printer_.SessionJournal(open.counters.session).size());
    ASSERT_GT(written, 0u);
    Put(kElectronicJournalCRC, client::UI4(0x1234));
    Run(kRequestSessionElectronicJournalInfo);
    EXPECT_EQ(Requests(), (Strings{"ij", "gn", "jb"})) << Printable(Requests());
    EXPECT_EQ(D().GetUI4(kElectronicJournalSize), written);
    EXPECT_EQ(D().GetUI4(kElectronicJournalCRC), 0u);
    EXPECT_EQ(D().GetUI2(kRequestSession), open.counters.session);

    const USHORT day = static_cast<USHORT>(open.counters.session);
    Run(kPrintZReport);
    const std::string journal = printer_.SessionJournal(day);
    const DWORD crc = CBrontal::Crc32(reinterpret_cast<const BYTE*>(journal.data()),
                                      static_cast<DWORD>(journal.size()));
    ASSERT_NE(crc, 0u);
    printer_.ClearLog();
    Select(kRequestSession, day);
    Run(kRequestSessionElectronicJournalInfo);
    // A closed day: the printer's figures as they are.
    EXPECT_EQ(Requests(), Strings{"ij" + kFs + FourDigits(day)}) << Printable(Requests());
    EXPECT_EQ(D().GetUI4(kElectronicJournalSize), journal.size());
    EXPECT_EQ(D().GetUI4(kElectronicJournalCRC), crc);

    // A failing "jb" is the method's result; what "ij" said stays.
    ASSERT_EQ(printer_.SetFixedClock(PrinterMoment(22, 0)), 0);
    Run(kOpenDay);
    Select(kRequestSession, 0);
    FailNext("jb", 3);
    printer_.ClearLog();
    EXPECT_EQ(Outcome(D().Method(kRequestSessionElectronicJournalInfo)), Failure(-9203));
    EXPECT_EQ(Requests(), (Strings{"ij", "gn", "jb"})) << Printable(Requests());
    const std::string next = printer_.SessionJournal(day + 1u);
    EXPECT_EQ(D().GetUI4(kElectronicJournalSize), next.size());
    EXPECT_EQ(D().GetUI4(kElectronicJournalCRC),
              CBrontal::Crc32(reinterpret_cast<const BYTE*>(next.data()),
                              static_cast<DWORD>(next.size())));
}

TEST_F(SessionRequestTest, ReadDocumentNumberTakesTheCountersAndTheOpenType) {
    const emu::PrinterState state = printer_.State();
    Run(kReadDocumentNumber);
    EXPECT_EQ(Requests(), Strings{"gn"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI4(kDocumentNumber), state.counters.document);
    EXPECT_EQ(D().GetUI2(kSessionNumber), state.counters.session);
    EXPECT_EQ(D().GetUI2(kReceiptNumber), state.counters.receipt);

    // With a document open its type comes too; a failed read leaves everything as it was.
    PutNumber(kReceiptType, 2);
    Run(kOpenReceipt);
    PutNumber(kReceiptType, 0);
    Run(kReadDocumentNumber);
    EXPECT_EQ(D().GetUI2(kReceiptType), 2);
    PutNumber(kReceiptType, 9);
    FailNext("gn", 1);
    EXPECT_EQ(Outcome(D().Method(kReadDocumentNumber)), Failure(-9201));
    EXPECT_EQ(D().GetUI2(kReceiptType), 9);
    EXPECT_EQ(D().GetUI4(kDocumentNumber), state.counters.document);
    Run(kCancelPrint);
}

}  // namespace
}  // namespace tabletest
