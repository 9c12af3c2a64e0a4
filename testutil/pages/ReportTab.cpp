#include "ReportTab.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AnsiText.h"
#include "PageWidgets.h"

using namespace drvmember;

CReportTab::CReportTab(CPageContext& context, CTabPage* parentPage)
    : CTabPage(FromAnsi("Отчеты"), parentPage, context) {}

void CReportTab::Build() {
    QGridLayout* grid = Grid();
    const auto report = [](const DrvMember& method) {
        return [&method](CCalls& calls) { calls.Call(method); };
    };
    AddButton(0, 0, FromAnsi("X-отчет"), {&PrintXReport}, report(PrintXReport))
        ->setObjectName(QStringLiteral("xReport"));
    AddButton(0, 1, FromAnsi("Z-отчет"), {&ElectronicJournalSavePath, &PrintZReport},
              [this](CCalls& calls) {
                  calls.PutText(ElectronicJournalSavePath, m_journalPath->text());
                  calls.Call(PrintZReport);
              })
        ->setObjectName(QStringLiteral("zReport"));
    AddButton(0, 2, FromAnsi("Открыть смену"), {&OpenDay}, report(OpenDay))
        ->setObjectName(QStringLiteral("openDay"));
    AddButton(1, 0, FromAnsi("Отчет кассира"), {&PrintCashierReport}, report(PrintCashierReport));
    AddButton(1, 1, FromAnsi("Налоговые ставки"), {&PrintTaxTableReport},
              report(PrintTaxTableReport));
    AddButton(1, 2, FromAnsi("Таблица настроек"), {&PrintSettTableReport},
              report(PrintSettTableReport));
    AddButton(2, 0, FromAnsi("Регистры операций"), {&PrintOperationsRegsReport},
              report(PrintOperationsRegsReport));
    AddButton(2, 1, FromAnsi("Самотестирование"), {&PrintSelfTestReport},
              report(PrintSelfTestReport));
    AddButton(2, 2, FromAnsi("Отчет СКНО"), {&PrintTaxAuthoritiesControlUnitReport},
              report(PrintTaxAuthoritiesControlUnitReport));

    const QDateTime now = QDateTime::currentDateTime();
    m_fromDate = new QDateTimeEdit(QDateTime(now.date().addDays(-7), QTime(0, 0)), this);
    m_toDate = new QDateTimeEdit(QDateTime(now.date(), QTime(23, 59, 59)), this);
    m_fromDate->setObjectName(QStringLiteral("fromDate"));
    m_toDate->setObjectName(QStringLiteral("toDate"));
    m_fromDate->setToolTip(MemberNames({&SelectFromDate}));
    m_toDate->setToolTip(MemberNames({&SelectToDate}));
    grid->addWidget(new QLabel(FromAnsi("С даты:"), this), 3, 0);
    grid->addWidget(m_fromDate, 3, 1);
    grid->addWidget(new QLabel(FromAnsi("По дату:"), this), 4, 0);
    grid->addWidget(m_toDate, 4, 1);
    m_fromNumber = AddField(this, grid, 5, 0, "С номера Z:", QStringLiteral("fromNumber"),
                            QStringLiteral("1"), MemberNames({&SelectFromNumber}));
    m_toNumber = AddField(this, grid, 6, 0, "По номер Z:", QStringLiteral("toNumber"),
                          QStringLiteral("1"), MemberNames({&SelectToNumber}));
    m_detailed = AddCheck(this, grid, 7, 0, "Подробный", QStringLiteral("detailed"),
                          MemberNames({&SelectScopeDetailed}));
    AddButton(3, 2, FromAnsi("Отчет по датам"),
              {&SelectFromDate, &SelectToDate, &SelectScopeDetailed, &PrintReportByDate},
              [this](CCalls& calls) {
                  calls.PutDate(SelectFromDate, ToAutomationDate(m_fromDate->dateTime()));
                  calls.PutDate(SelectToDate, ToAutomationDate(m_toDate->dateTime()));
                  calls.PutNumber(SelectScopeDetailed, m_detailed->isChecked() ? 1 : 0);
                  calls.Call(PrintReportByDate);
              })
        ->setObjectName(QStringLiteral("reportByDate"));
    AddButton(5, 2, FromAnsi("Отчет по номерам"),
              {&SelectFromNumber, &SelectToNumber, &SelectScopeDetailed, &PrintReportByZ},
              [this](CCalls& calls) {
                  LONG from = 0;
                  LONG to = 0;
                  if (Number(calls, m_fromNumber, 0, 0xFFFF, &from) &&
                      Number(calls, m_toNumber, 0, 0xFFFF, &to)) {
                      calls.PutNumber(SelectFromNumber, from);
                      calls.PutNumber(SelectToNumber, to);
                      calls.PutNumber(SelectScopeDetailed, m_detailed->isChecked() ? 1 : 0);
                      calls.Call(PrintReportByZ);
                  }
              })
        ->setObjectName(QStringLiteral("reportByZ"));

    m_cashier = AddField(this, grid, 8, 0, "Кассир:", QStringLiteral("cashier"),
                         FromAnsi("Иванова"), MemberNames({&CashierLogin}));
    m_password = AddField(this, grid, 9, 0, "Пароль:", QStringLiteral("password"),
                          QStringLiteral("0000"), MemberNames({&InitializationPassword}));
    AddButton(8, 2, FromAnsi("Вход кассира"), {&InitializationPassword, &CashierLogin},
              [this](CCalls& calls) {
                  calls.PutText(InitializationPassword, m_password->text());
                  calls.PutText(CashierLogin, m_cashier->text());
              })
        ->setObjectName(QStringLiteral("cashierLogin"));

    m_journalPath = AddField(this, grid, 10, 0, "Папка EJ:", QStringLiteral("journalPath"),
                             QDir::currentPath(), MemberNames({&ElectronicJournalSavePath}));
    m_journalCrc = AddField(this, grid, 11, 0, "CRC EJ:", QStringLiteral("journalCrc"),
                            QStringLiteral("0"), MemberNames({&ElectronicJournalCRC}));
    AddButton(
        10, 2, FromAnsi("Прочитать и проверить EJ"),
        {&ElectronicJournalSavePath, &ReadAndValidateElectronicJournal, &ElectronicJournalCRC},
        [this](CCalls& calls) {
            calls.PutText(ElectronicJournalSavePath, m_journalPath->text());
            calls.Call(ReadAndValidateElectronicJournal);
            VARIANT crc;
            calls.Get(ElectronicJournalCRC, &crc);
            if (calls.Ok() && crc.vt == VT_UI4) {
                m_journalCrc->setText(
                    QStringLiteral("%1").arg(crc.ulVal, 8, 16, QLatin1Char('0')).toUpper());
            }
        })
        ->setObjectName(QStringLiteral("readJournal"));
    AddButton(11, 2, FromAnsi("Принудительная проверка"),
              {&ElectronicJournalCRC, &ForceValidateElectronicJournal},
              [this](CCalls& calls) {
                  bool ok = false;
                  const ULONG crc = m_journalCrc->text().trimmed().toULong(&ok, 16);
                  if (!ok) {
                      RefuseField(calls, m_journalCrc);
                      return;
                  }
                  VARIANT value;
                  VariantInit(&value);
                  value.vt = VT_UI4;
                  value.ulVal = crc;
                  calls.Put(ElectronicJournalCRC, value);
                  calls.Call(ForceValidateElectronicJournal);
              })
        ->setObjectName(QStringLiteral("forceValidate"));
    AddButton(12, 2, FromAnsi("Печать EJ"), {&PrintElectronicJournal},
              report(PrintElectronicJournal));
    grid->setRowStretch(13, 1);
}
