#include "StatsPages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "AnsiText.h"
#include "PageWidgets.h"

using namespace drvmember;

namespace {

// The receipt kinds of the list and the ReceiptType each stands for.
constexpr LONG kReceiptKinds[] = {1, 2, 3, 4, 5, 7, 10};

// A result as the page shows it, in the way its type reads.
QString ResultText(CCalls& calls, const DrvMember& member) {
    switch (member.type) {
        case VT_CY:
            return FormatMoney(calls.GetMoney(member));
        case VT_DATE:
            return FormatDate(calls.GetDate(member));
        case VT_BSTR:
            return calls.GetText(member);
        default: {
            VARIANT value;
            calls.Get(member, &value);
            QString text;
            if (calls.Ok()) {
                VARIANT shown;
                VariantInit(&shown);
                if (SUCCEEDED(VariantChangeType(&shown, &value, 0, VT_BSTR))) {
                    text = FromBstr(shown.bstrVal);
                }
                VariantClear(&shown);
            }
            VariantClear(&value);
            return text;
        }
    }
}

}  // namespace

CStatsPage::CStatsPage(const QString& title, CTabPage* parentPage, CPageContext& context,
                       std::vector<const DrvMember*> requests,
                       std::vector<const DrvMember*> results)
    : CTabPage(title, parentPage, context),
      m_requests(std::move(requests)),
      m_resultMembers(std::move(results)) {}

int CStatsPage::BuildInputs(int row) {
    return row;
}

void CStatsPage::Build() {
    QGridLayout* grid = Grid();
    int row = BuildInputs(0);
    QStringList names;
    for (const DrvMember* request : m_requests) {
        names << QString::fromLatin1(request->name);
    }
    m_request = AddChoice(this, grid, row++, 0, "Запрос:", QStringLiteral("request"), names);
    if (m_hasSession) {
        m_session = AddField(this, grid, row++, 0, "Смена:", QStringLiteral("requestSession"),
                             QStringLiteral("0"), MemberNames({&RequestSession}));
    }
    m_department = AddField(this, grid, row++, 0, "Отдел:", QStringLiteral("requestDepartment"),
                            QStringLiteral("1"), MemberNames({&RequestDepartment}));
    m_currency = AddField(this, grid, row++, 0, "Валюта:", QStringLiteral("requestCurrency"),
                          QString(), MemberNames({&RequestCurrency}));
    m_facility = AddField(this, grid, row++, 0, "Вид безнала:", QStringLiteral("requestFacility"),
                          QStringLiteral("1"), MemberNames({&RequestNoncashFacility}));
    std::vector<const DrvMember*> tooltip = {&RequestDepartment, &RequestCurrency,
                                             &RequestNoncashFacility};
    if (m_hasSession) {
        tooltip.insert(tooltip.begin(), &RequestSession);
    }
    QStringList members;
    for (const DrvMember* member : tooltip) {
        members << QString::fromLatin1(member->name);
    }
    for (const DrvMember* request : m_requests) {
        members << QString::fromLatin1(request->name);
    }
    QPushButton* run = AddButton(
        row++, 0, FromAnsi("Запросить"), {}, [this](CCalls& calls) { Request(calls); }, 2);
    run->setObjectName(QStringLiteral("runRequest"));
    run->setToolTip(members.join(QStringLiteral(" | ")));

    m_results = new QTableWidget(static_cast<int>(m_resultMembers.size()), 2, this);
    m_results->setObjectName(QStringLiteral("results"));
    m_results->setHorizontalHeaderLabels(AnsiList({"Свойство", "Значение"}));
    m_results->verticalHeader()->hide();
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (size_t i = 0; i < m_resultMembers.size(); ++i) {
        m_results->setItem(static_cast<int>(i), 0,
                           new QTableWidgetItem(QString::fromLatin1(m_resultMembers[i]->name)));
        m_results->setItem(static_cast<int>(i), 1, new QTableWidgetItem(QString()));
    }
    m_results->resizeColumnsToContents();
    m_results->horizontalHeader()->setStretchLastSection(true);
    grid->addWidget(m_results, 0, 2, row + 1, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);
}

void CStatsPage::Request(CCalls& calls) {
    LONG session = 0;
    LONG department = 0;
    LONG facility = 0;
    if ((m_session && !Number(calls, m_session, 0, 0xFFFF, &session)) ||
        !Number(calls, m_department, 0, 0xFFFF, &department) ||
        !Number(calls, m_facility, 0, 0xFFFF, &facility)) {
        return;
    }
    PutInputs(calls);
    if (m_session) {
        calls.PutNumber(RequestSession, session);
    }
    calls.PutNumber(RequestDepartment, department);
    calls.PutText(RequestCurrency, m_currency->text());
    calls.PutNumber(RequestNoncashFacility, facility);
    calls.Call(*m_requests[static_cast<size_t>(m_request->currentIndex())]);
    ShowResults(calls);
}

void CStatsPage::ShowResults(CCalls& calls) {
    if (!calls.Ok() || calls.Driver().Deferred()) {
        return;
    }
    for (size_t i = 0; i < m_resultMembers.size() && calls.Ok(); ++i) {
        const QString text = ResultText(calls, *m_resultMembers[i]);
        m_results->item(static_cast<int>(i), 1)->setText(text);
    }
}

CSessionStatsTab::CSessionStatsTab(CPageContext& context, CTabPage* parentPage)
    : CStatsPage(
          FromAnsi("Статистика по смене"), parentPage, context,
          {&RequestSessionDocumentCount, &RequestSessionDateTime, &RequestSessionSalesByDepartment,
           &RequestSessionRefundsByDepartment, &RequestSessionCashSalesRefundsByCurrency,
           &RequestSessionNoncashSalesRefundsByFacility, &RequestSessionDiscountsSurcharges,
           &RequestSessionAccumulatedTotals, &RequestSessionCollectedAmounts,
           &RequestSessionElectronicJournalInfo, &RequestSessionRestaurantOrders},
          {&SalesCount,
           &SalesAmount,
           &RefundsCount,
           &RefundsAmount,
           &CancellationCount,
           &DocumentsCount,
           &DocumentThrougtNumber,
           &NoncashAmount,
           &IncomeAmount,
           &OutcomeAmount,
           &CollectedAmount,
           &PreviousCollectedAmount,
           &SessionStartDate,
           &SessionEndtDate,
           &ElectronicJournalSize,
           &DiscountsAmount,
           &SurchargesAmount,
           &AccumulatedSalesAmount,
           &AccumulatedRefundsAmount,
           &SalesAmountInCurrency,
           &RefundsAmountInCurrency,
           &RestaurantOpenOrderAmount,
           &RestaurantClosedOrderAmount,
           &RestaurantOpenOrderCount,
           &RestaurantClosedOrderCount}) {}

CReceiptStatsTab::CReceiptStatsTab(CPageContext& context, CTabPage* parentPage)
    : CStatsPage(FromAnsi("Статистика по чеку"), parentPage, context,
                 {&RequestReceiptSalesByDepartment, &RequestReceiptRefundsByDepartment,
                  &RequestReceiptCashPaymentsByCurrency, &RequestReceiptNoncashPaymentsByFacility,
                  &RequestReceiptDiscountsSurcharges, &RequestReceiptTotals,
                  &RequestReceiptCollectedAmountsByCurrency},
                 {&SalesCount, &SalesAmount, &RefundsCount, &RefundsAmount, &CancellationCount,
                  &NoncashAmount, &CollectedAmount, &DiscountsAmount, &SurchargesAmount,
                  &SalesAmountInCurrency, &RefundsAmountInCurrency, &PaymentAmount,
                  &PaymentAmountInCurrency}) {
    m_hasSession = false;
}

int CReceiptStatsTab::BuildInputs(int row) {
    QGridLayout* grid = Grid();
    AddButton(
        row++, 0, FromAnsi("Номер документа"),
        {&ReadDocumentNumber, &DocumentNumber, &SessionNumber, &ReceiptNumber},
        [this](CCalls& calls) {
            calls.Call(ReadDocumentNumber);
            VARIANT document;
            calls.Get(DocumentNumber, &document);
            const LONG session = calls.GetNumber(SessionNumber);
            const LONG receipt = calls.GetNumber(ReceiptNumber);
            if (calls.Ok()) {
                m_documentNumber->setText(QString::number(document.ulVal));
                m_sessionNumber->setText(QString::number(session));
                m_receiptNumber->setText(QString::number(receipt));
            }
        },
        2)
        ->setObjectName(QStringLiteral("readDocumentNumber"));
    m_documentNumber =
        AddResult(this, grid, row++, 0, "Документ:", QStringLiteral("documentNumber"),
                  MemberNames({&DocumentNumber}));
    m_sessionNumber = AddResult(this, grid, row++, 0, "Смена:", QStringLiteral("sessionNumber"),
                                MemberNames({&SessionNumber}));
    m_receiptNumber = AddResult(this, grid, row++, 0, "Чек:", QStringLiteral("receiptNumber"),
                                MemberNames({&ReceiptNumber}));
    m_receiptKind =
        AddChoice(this, grid, row++, 0, "Вид чека:", QStringLiteral("receiptKind"),
                  AnsiList({"Чек продажи", "Чек возврата", "Чек инкасс.", "Чек топлива",
                            "Чек аннулирования", "Чек техзаправки", "Нефиск. подкладн."}),
                  MemberNames({&ReceiptType}));
    return row;
}

void CReceiptStatsTab::PutInputs(CCalls& calls) {
    calls.PutNumber(ReceiptType, kReceiptKinds[m_receiptKind->currentIndex()]);
}

CCashierStatsTab::CCashierStatsTab(CPageContext& context, CTabPage* parentPage)
    : CStatsPage(FromAnsi("Статистика по кассиру"), parentPage, context,
                 {&RequestCashierCollectedAmounts, &RequestCashierNoncashPaymentsByFacility},
                 {&CollectedAmount, &PreviousCollectedAmount, &IncomeAmount, &OutcomeAmount,
                  &NoncashAmount, &PaymentAmount, &SalesAmount, &RefundsAmount}) {
    m_hasSession = false;
}
