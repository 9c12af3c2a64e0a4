#include "SknoTab.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>

#include "AnsiText.h"
#include "MoneyText.h"
#include "PageWidgets.h"

using namespace drvmember;

namespace {

// The commands of the list, in its order.
const DrvMember* const kCommands[] = {&CommandTaxAuthoritiesControlUnitGetTime,
                                      &CommandTaxAuthoritiesControlUnitGetUID,
                                      &CommandTaxAuthoritiesControlUnitAuthenticate};

}  // namespace

CSknoTab::CSknoTab(CPageContext& context, CTabPage* parentPage)
    : CTabPage(FromAnsi("СКНО"), parentPage, context) {}

void CSknoTab::Build() {
    QGridLayout* grid = Grid();
    m_status = AddResult(this, grid, 0, 0, "Статус:", QStringLiteral("controlUnitStatus"),
                         MemberNames({&TaxAuthoritiesControlUnitStatus}));
    m_crc = AddResult(this, grid, 1, 0, "Контрольная сумма:", QStringLiteral("controlUnitCrc"),
                      MemberNames({&TaxAuthoritiesControlUnitCRC}));
    AddButton(0, 2, FromAnsi("Прочитать статус"),
              {&ReadTaxAuthoritiesControlUnitStatus, &TaxAuthoritiesControlUnitStatus,
               &TaxAuthoritiesControlUnitCRC},
              [this](CCalls& calls) {
                  calls.Call(ReadTaxAuthoritiesControlUnitStatus);
                  const LONG status = calls.GetNumber(TaxAuthoritiesControlUnitStatus);
                  const LONG crc = calls.GetNumber(TaxAuthoritiesControlUnitCRC);
                  if (calls.Ok() && !calls.Driver().Deferred()) {
                      m_status->setText(FormatHex4(status));
                      m_crc->setText(FormatHex4(crc));
                  }
              })
        ->setObjectName(QStringLiteral("readStatus"));
    m_uid = AddResult(this, grid, 2, 0, "UID:", QStringLiteral("controlUnitUid"),
                      MemberNames({&TaxAuthoritiesControlUnitUID}));
    AddButton(2, 2, FromAnsi("Прочитать UID"),
              {&ReadTaxAuthoritiesControlUnitUID, &TaxAuthoritiesControlUnitUID},
              [this](CCalls& calls) {
                  calls.Call(ReadTaxAuthoritiesControlUnitUID);
                  const QString uid = calls.GetText(TaxAuthoritiesControlUnitUID);
                  if (calls.Ok() && !calls.Driver().Deferred()) {
                      m_uid->setText(uid);
                  }
              })
        ->setObjectName(QStringLiteral("readUid"));
    m_command = AddChoice(this, grid, 3, 0, "Команда:", QStringLiteral("command"),
                          AnsiList({"Получить время", "Получить UID", "Проверить подлинность"}));
    m_answer = AddResult(this, grid, 4, 0, "Ответ:", QStringLiteral("answer"),
                         MemberNames({&TaxAuthoritiesControlUnitAnswer}));
    AddButton(3, 2, FromAnsi("Выполнить"),
              {&CommandTaxAuthoritiesControlUnitGetTime, &CommandTaxAuthoritiesControlUnitGetUID,
               &CommandTaxAuthoritiesControlUnitAuthenticate, &TaxAuthoritiesControlUnitAnswer},
              [this](CCalls& calls) {
                  calls.Call(*kCommands[m_command->currentIndex()]);
                  const QString answer = calls.GetText(TaxAuthoritiesControlUnitAnswer);
                  if (calls.Ok() && !calls.Driver().Deferred()) {
                      m_answer->setText(answer);
                  }
              })
        ->setObjectName(QStringLiteral("runCommand"));
    m_password = AddField(this, grid, 5, 0, "Пароль:", QStringLiteral("controlUnitPassword"),
                          QString(), MemberNames({&TaxAuthoritiesControlUnitPassword}));
    m_serial = AddField(this, grid, 6, 0, "Заводской номер:", QStringLiteral("controlUnitSerial"),
                        QString(), MemberNames({&TaxAuthoritiesControlUnitSerialNumber}));
    m_register = AddField(this, grid, 7, 0, "Рег. номер:", QStringLiteral("controlUnitRegister"),
                          QString(), MemberNames({&TaxAuthoritiesControlUnitRegisterNumber}));
    m_printerName = AddField(this, grid, 8, 0, "Имя принтера:", QStringLiteral("printerName"),
                             QStringLiteral("RKM-204"), MemberNames({&PrinterName}));
    AddButton(5, 2, FromAnsi("Разблокировать"),
              {&TaxAuthoritiesControlUnitPassword, &UnlockTaxAuthoritiesControlUnit},
              [this](CCalls& calls) {
                  calls.PutText(TaxAuthoritiesControlUnitPassword, m_password->text());
                  calls.Call(UnlockTaxAuthoritiesControlUnit);
              })
        ->setObjectName(QStringLiteral("unlock"));
    AddButton(
        6, 2, FromAnsi("Заменить СКНО"),
        {&TaxAuthoritiesControlUnitPassword, &TaxAuthoritiesControlUnitSerialNumber,
         &TaxAuthoritiesControlUnitRegisterNumber, &PrinterName, &ReplaceTaxAuthoritiesControlUnit},
        [this](CCalls& calls) {
            calls.PutText(TaxAuthoritiesControlUnitPassword, m_password->text());
            calls.PutText(TaxAuthoritiesControlUnitSerialNumber, m_serial->text());
            calls.PutText(TaxAuthoritiesControlUnitRegisterNumber, m_register->text());
            calls.PutText(PrinterName, m_printerName->text());
            calls.Call(ReplaceTaxAuthoritiesControlUnit);
        })
        ->setObjectName(QStringLiteral("replace"));
    grid->setRowStretch(9, 1);
    grid->setColumnStretch(3, 1);
}
