// Session and cashier requests through the component after a day of sales, a refund, a
// discount and a surcharge, card and foreign-currency payments, cash income and outcome and a
// cancelled receipt: each result property against what those documents produced, for the open
// day and for the day the Z report closed; the session's dates and its journal.
#include <cstdio>

#include "Brontal.h"
#include "PrinterSession.h"
#include "Registry.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr LONGLONG Units(LONGLONG whole, LONGLONG hundredths = 0) {
    return whole * kUnit + hundredths * 100;
}

emu::PrinterTime PrinterMoment(int hour, int minute) {
    const emu::PrinterTime time{2026, 12, 7, hour, minute, 15};
    return time;
}

std::string FourDigits(unsigned number) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04u", number);
    return digits;
}

class SessionRequestTest : public PrinterSession {
  protected:
    void Arrange() override {
        // The Z report validates the journal without downloading it, and prints no copy.
        WriteSetting("", "PrintEJ", 0);
        WriteSetting("", "DownloadEJ", 0);
        printer_.SetReportTime(0);
        ASSERT_EQ(printer_.SetFixedClock(PrinterMoment(9, 30)), 0);
        Connect();
        if (!HasFatalFailure()) {
            SellTheDay();
        }
    }

    void Line(USHORT department, const std::string& article, LONGLONG price, LONGLONG quantity) {
        PutNumber(member::Department, department);
        PutText(member::Article, article);
        PutMoney(member::Price, price);
        PutMoney(member::Quantity, quantity);
        Run(member::Sale);
    }
    void Pay(Member method, LONGLONG amount) {
        PutMoney(member::Amount, amount);
        Run(method);
    }

    // Sales of 25.00 and 30.00 less 5.00 (departments 1 and 2) and 100.00 plus 2.00 (department
    // 3); 20.00 by card, 1.00 USD at 90.00 and 42.00 cash net of the change; 12.50 refunded in
    // cash (department 1); 100.00 in and 30.00 out; one receipt cancelled.
    void SellTheDay() {
        PutNumber(member::ReceiptType, 1);
        Run(member::OpenReceipt);
        Line(1, "Хлеб", Units(12, 50), Units(2));
        Line(2, "Молоко", Units(30), Units(1));
        PutMoney(member::CorrectionAmount, Units(5));
        PutText(member::CorrectionMnemo, "Скидка");
        Run(member::Discount);
        Run(member::CompleteReceipt);
        PutNumber(member::NoncashType, 1);
        Pay(member::PayNoncash, Units(20));
        Pay(member::PayCash, Units(40));
        Run(member::CloseReceipt);

        PutNumber(member::ReceiptType, 1);
        Run(member::OpenReceipt);
        Line(3, "Услуга", Units(100), Units(1));
        PutMoney(member::CorrectionAmount, Units(2));
        PutText(member::CorrectionMnemo, "Надбавка");
        Run(member::Surcharge);
        Run(member::CompleteReceipt);
        PutText(member::AmountCurrency, "USD");
        PutMoney(member::AmountCurrencyRate, Units(90));
        Pay(member::PayCash, Units(1));
        PutText(member::AmountCurrency, "");
        Pay(member::PayCash, Units(12));
        Run(member::CloseReceipt);

        PutNumber(member::ReceiptType, 2);
        Run(member::OpenReceipt);
        Line(1, "Хлеб", Units(12, 50), Units(1));
        Run(member::CompleteReceipt);
        Pay(member::RepayCash, Units(12, 50));
        Run(member::CloseReceipt);

        Pay(member::CashIncome, Units(100));
        Run(member::CloseReceipt);
        Pay(member::CashOutcome, Units(30));
        Run(member::CloseReceipt);

        PutNumber(member::ReceiptType, 1);
        Run(member::OpenReceipt);
        Line(2, "Молоко", Units(30), Units(1));
        Run(member::CancelPrint);
        ASSERT_EQ(printer_.StatusWord() & 0x0002, 0);  // nothing left open
        printer_.ClearLog();
    }

    // Every session request of the day, asked for session `session` (0: the current one);
    // `documents` counts a Z report that closed it.
    void ExpectTheDay(USHORT session, DWORD documents) {
        using Figures = std::vector<LONGLONG>;
        const emu::PrinterState state = printer_.State();
        PutNumber(member::RequestSession, session);
        Run(member::RequestSessionDocumentCount);
        EXPECT_EQ(D().GetUI4(member::SalesCount), 2u);
        EXPECT_EQ(D().GetUI4(member::RefundsCount), 1u);
        EXPECT_EQ(D().GetUI4(member::CancellationCount), 1u);
        EXPECT_EQ(D().GetUI4(member::DocumentsCount), documents);
        EXPECT_EQ(D().GetUI4(member::DocumentNumber), state.sessions.back().lastDocument);
        EXPECT_EQ(D().GetUI4(member::DocumentThrougtNumber), state.sessions.back().lastDocument);

        const std::pair<USHORT, LONGLONG> sales[] = {
            {1, Units(25)}, {2, Units(30)}, {3, Units(100)}, {4, 0}, {7, 0}};
        for (const auto& [department, amount] : sales) {
            PutNumber(member::RequestDepartment, department);
            EXPECT_EQ(Amounts(member::RequestSessionSalesByDepartment, {member::SalesAmount}),
                      Figures{amount})
                << "department " << department;
        }
        PutNumber(member::RequestDepartment, 1);
        EXPECT_EQ(Amounts(member::RequestSessionRefundsByDepartment, {member::RefundsAmount}),
                  Figures{Units(12, 50)});
        PutNumber(member::RequestDepartment, 2);
        EXPECT_EQ(Amounts(member::RequestSessionRefundsByDepartment, {member::RefundsAmount}),
                  Figures{0});

        const std::vector<Member> cash = {member::SalesAmount, member::SalesAmountInCurrency,
                                          member::RefundsAmount, member::RefundsAmountInCurrency};
        PutText(member::RequestCurrency, "RUB");
        EXPECT_EQ(Amounts(member::RequestSessionCashSalesRefundsByCurrency, cash),
                  (Figures{Units(42), Units(42), Units(12, 50), Units(12, 50)}));
        PutText(member::RequestCurrency, "USD");
        EXPECT_EQ(Amounts(member::RequestSessionCashSalesRefundsByCurrency, cash),
                  (Figures{Units(90), Units(1), 0, 0}));

        PutNumber(member::RequestNoncashFacility, 1);
        EXPECT_EQ(Amounts(member::RequestSessionNoncashSalesRefundsByFacility,
                          {member::SalesAmount, member::RefundsAmount}),
                  (Figures{Units(20), 0}));
        PutNumber(member::RequestNoncashFacility, 2);
        EXPECT_EQ(Amounts(member::RequestSessionNoncashSalesRefundsByFacility,
                          {member::SalesAmount, member::RefundsAmount}),
                  (Figures{0, 0}));

        EXPECT_EQ(Amounts(member::RequestSessionDiscountsSurcharges,
                          {member::DiscountsAmount, member::SurchargesAmount}),
                  (Figures{Units(5), Units(2)}));
        EXPECT_EQ(Amounts(member::RequestSessionAccumulatedTotals,
                          {member::AccumulatedSalesAmount, member::AccumulatedRefundsAmount}),
                  (Figures{Units(152), Units(12, 50)}));

        const std::vector<Member> collected = {member::IncomeAmount, member::OutcomeAmount,
                                               member::PreviousCollectedAmount,
                                               member::CollectedAmount};
        PutText(member::RequestCurrency, "RUB");
        // 42.00 taken, 12.50 paid back, 100.00 in, 30.00 out.
        EXPECT_EQ(Amounts(member::RequestSessionCollectedAmounts, collected),
                  (Figures{Units(100), Units(30), 0, Units(99, 50)}));
        PutText(member::RequestCurrency, "USD");
        EXPECT_EQ(Amounts(member::RequestSessionCollectedAmounts, collected),
                  (Figures{0, 0, 0, Units(1)}));

        Run(member::RequestSessionDateTime);
        EXPECT_EQ(DateOf(member::SessionStartDate), Moment(2026, 12, 7, 9, 30, 15));
    }
};

TEST_F(SessionRequestTest, TheOpenDayAsItsDocumentsLeftIt) {
    ExpectTheDay(0, 6);
    // An open day has no end yet.
    EXPECT_EQ(DateOf(member::SessionEndtDate), 0);
    EXPECT_EQ(D().GetUI2(member::RequestSession), printer_.State().counters.session);
}

TEST_F(SessionRequestTest, TheClosedDayAnswersWithTheSameFigures) {
    const USHORT day = static_cast<USHORT>(printer_.State().counters.session);
    ASSERT_EQ(printer_.SetFixedClock(PrinterMoment(21, 5)), 0);
    Run(member::PrintZReport);
    ASSERT_EQ(D().GetUI2(member::StateDayOpen), 0);
    printer_.ClearLog();
    ExpectTheDay(day, 7);
    EXPECT_EQ(DateOf(member::SessionEndtDate), Moment(2026, 12, 7, 21, 5, 15));
    // Every request named the day with four digits.
    for (const std::string& request : Requests()) {
        EXPECT_EQ(request.substr(2), kFs + FourDigits(day)) << Printable({request});
    }
    EXPECT_EQ(D().GetUI2(member::RequestSession), day);
}

TEST_F(SessionRequestTest, TheCurrentSessionGoesAsAnEmptyFieldAndComesBackByNumber) {
    const USHORT day = static_cast<USHORT>(printer_.State().counters.session);
    ASSERT_GT(day, 0);
    PutNumber(member::RequestSession, 0);
    PutNumber(member::RequestDepartment, 1);
    Run(member::RequestSessionSalesByDepartment);
    EXPECT_EQ(Requests(), Strings{"is"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::RequestSession), day);
    printer_.ClearLog();
    Run(member::RequestSessionSalesByDepartment);
    EXPECT_EQ(Requests(), Strings{"is" + kFs + FourDigits(day)}) << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::SalesAmount), Units(25));

    // A day the fiscal memory does not have is the printer's refusal.
    PutNumber(member::RequestSession, static_cast<USHORT>(day + 5));
    EXPECT_LT(Outcome(D().Method(member::RequestSessionSalesByDepartment)), 0);
    EXPECT_LT(ResultCode(), -9200);
    EXPECT_EQ(MoneyOf(member::SalesAmount), 0);
}

TEST_F(SessionRequestTest, CurrencyCodesMatchOnlyInTheirOwnCase) {
    PutText(member::RequestCurrency, "rub");
    Run(member::RequestSessionCollectedAmounts);
    EXPECT_EQ(ResultCode(), 0);
    for (const Member dispid : {member::IncomeAmount, member::OutcomeAmount,
                                member::PreviousCollectedAmount, member::CollectedAmount}) {
        EXPECT_EQ(MoneyOf(dispid), 0) << "Member " << dispid;
    }
}

TEST_F(SessionRequestTest, TheCashierHasNoCashFromBefore) {
    PutText(member::RequestCurrency, "RUB");
    Run(member::RequestSessionCollectedAmounts);
    ASSERT_EQ(MoneyOf(member::IncomeAmount), Units(100));
    // A cashier row's amounts: in, out and what is in the drawer by that cashier.
    Run(member::RequestCashierCollectedAmounts);
    EXPECT_EQ(Requests().back(), "wc") << Printable(Requests());
    EXPECT_EQ(MoneyOf(member::IncomeAmount), Units(100));
    EXPECT_EQ(MoneyOf(member::OutcomeAmount), Units(30));
    EXPECT_EQ(MoneyOf(member::CollectedAmount), Units(99, 50));
    EXPECT_EQ(MoneyOf(member::PreviousCollectedAmount), 0);
    PutText(member::RequestCurrency, "USD");
    Run(member::RequestCashierCollectedAmounts);
    EXPECT_EQ(MoneyOf(member::CollectedAmount), Units(1));
    EXPECT_EQ(MoneyOf(member::IncomeAmount), 0);

    PutNumber(member::RequestNoncashFacility, 1);
    Run(member::RequestCashierNoncashPaymentsByFacility);
    EXPECT_EQ(MoneyOf(member::PaymentAmount), Units(20));
    PutNumber(member::RequestNoncashFacility, 2);
    Run(member::RequestCashierNoncashPaymentsByFacility);
    EXPECT_EQ(MoneyOf(member::PaymentAmount), 0);
}

TEST_F(SessionRequestTest, TheJournalOfTheOpenDayIsMeasuredAndOfAClosedDayTaken) {
    const emu::PrinterState open = printer_.State();
    const DWORD written = static_cast<DWORD>(printer_.SessionJournal(open.counters.session).size());
    ASSERT_GT(written, 0u);
    Put(member::ElectronicJournalCRC, client::UI4(0x1234));
    Run(member::RequestSessionElectronicJournalInfo);
    EXPECT_EQ(Requests(), (Strings{"ij", "gn", "jb"})) << Printable(Requests());
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalSize), written);
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalCRC), 0u);
    EXPECT_EQ(D().GetUI2(member::RequestSession), open.counters.session);

    const USHORT day = static_cast<USHORT>(open.counters.session);
    Run(member::PrintZReport);
    const std::string journal = printer_.SessionJournal(day);
    const DWORD crc = CBrontal::Crc32(reinterpret_cast<const BYTE*>(journal.data()),
                                      static_cast<DWORD>(journal.size()));
    ASSERT_NE(crc, 0u);
    printer_.ClearLog();
    PutNumber(member::RequestSession, day);
    Run(member::RequestSessionElectronicJournalInfo);
    // A closed day: the printer's figures as they are.
    EXPECT_EQ(Requests(), Strings{"ij" + kFs + FourDigits(day)}) << Printable(Requests());
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalSize), journal.size());
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalCRC), crc);

    // A failing "jb" is the method's result; what "ij" said stays.
    ASSERT_EQ(printer_.SetFixedClock(PrinterMoment(22, 0)), 0);
    Run(member::OpenDay);
    PutNumber(member::RequestSession, 0);
    FailNext("jb", 3);
    printer_.ClearLog();
    EXPECT_EQ(Outcome(D().Method(member::RequestSessionElectronicJournalInfo)), Failure(-9203));
    EXPECT_EQ(Requests(), (Strings{"ij", "gn", "jb"})) << Printable(Requests());
    const std::string next = printer_.SessionJournal(day + 1u);
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalSize), next.size());
    EXPECT_EQ(D().GetUI4(member::ElectronicJournalCRC),
              CBrontal::Crc32(reinterpret_cast<const BYTE*>(next.data()),
                              static_cast<DWORD>(next.size())));
}

TEST_F(SessionRequestTest, ReadDocumentNumberTakesTheCountersAndTheOpenType) {
    const emu::PrinterState state = printer_.State();
    Run(member::ReadDocumentNumber);
    EXPECT_EQ(Requests(), Strings{"gn"}) << Printable(Requests());
    EXPECT_EQ(D().GetUI4(member::DocumentNumber), state.counters.document);
    EXPECT_EQ(D().GetUI2(member::SessionNumber), state.counters.session);
    EXPECT_EQ(D().GetUI2(member::ReceiptNumber), state.counters.receipt);

    // With a document open its type comes too; a failed read leaves everything as it was.
    PutNumber(member::ReceiptType, 2);
    Run(member::OpenReceipt);
    PutNumber(member::ReceiptType, 0);
    Run(member::ReadDocumentNumber);
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 2);
    PutNumber(member::ReceiptType, 9);
    FailNext("gn", 1);
    EXPECT_EQ(Outcome(D().Method(member::ReadDocumentNumber)), Failure(-9201));
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 9);
    EXPECT_EQ(D().GetUI4(member::DocumentNumber), state.counters.document);
    Run(member::CancelPrint);
}

}  // namespace
