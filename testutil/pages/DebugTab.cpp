#include "DebugTab.h"

#include <QDir>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "AnsiText.h"
#include "Messages.h"
#include "MoneyText.h"
#include "PageWidgets.h"
#include "SalesAutoTest.h"

using namespace drvmember;

namespace {

constexpr char kExchangeTrace[] = "tracexch.txt";

}  // namespace

CDebugTab::CDebugTab(CPageContext& context, CTabPage* parentPage)
    : CTabPage(FromAnsi("Отладка"), parentPage, context) {}

QString CDebugTab::CommandText(const QString& typed) {
    QString text = typed;
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}

void CDebugTab::Build() {
    BuildTrace(0);
    BuildRaw(3);
    BuildJournal(8);
    QGridLayout* grid = Grid();
    m_textToPrint = AddField(this, grid, 11, 0, "Текст:", QStringLiteral("textToPrint"),
                             FromAnsi("Тестовая строка для печати"), MemberNames({&TextToPrint}));
    AddButton(11, 2, FromAnsi("Печать текста"), {&TextToPrint, &PrintText}, [this](CCalls& calls) {
        calls.PutText(TextToPrint, m_textToPrint->text());
        calls.Call(PrintText);
    })->setObjectName(QStringLiteral("printText"));
    AddButton(12, 0, FromAnsi("Сброс фискальных данных"), {&ResetFiscal}, [this](CCalls& calls) {
        // A real printer cannot take it back: the person must mean it.
        if (!AskYesNo(this, FromAnsi("Сброс фискальных данных нельзя отменить. "
                                     "Выполнить ResetFiscal?"))) {
            calls.Refuse();
            return;
        }
        calls.Call(ResetFiscal);
    })->setObjectName(QStringLiteral("resetFiscal"));
    auto* sales = new QPushButton(FromAnsi("Автоматический тест продаж..."), this);
    sales->setObjectName(QStringLiteral("salesTest"));
    sales->setToolTip(MemberNames({&StateReceiptOpen,
                                   &CancelPrint,
                                   &StateDayOpen,
                                   &PrintZReport,
                                   &OpenDay,
                                   &ReceiptType,
                                   &OpenReceipt,
                                   &Article,
                                   &Price,
                                   &Quantity,
                                   &QuantityUnit,
                                   &Department,
                                   &Sale,
                                   &StringToPrint,
                                   &PrintLine,
                                   &CompleteReceipt,
                                   &Subtotal,
                                   &Amount,
                                   &PayCash,
                                   &CloseReceipt,
                                   &ElectronicJournalSavePath}));
    grid->addWidget(sales, 12, 1, 1, 2);
    connect(sales, &QPushButton::clicked, this, [this] { StartSalesTest(); });
    m_salesResult = new QLabel(this);
    m_salesResult->setObjectName(QStringLiteral("salesResult"));
    grid->addWidget(m_salesResult, 13, 0, 1, 3);
    grid->setRowStretch(14, 1);
    grid->setColumnStretch(1, 1);
}

void CDebugTab::BuildTrace(int row) {
    QGridLayout* grid = Grid();
    m_tracePath = AddField(this, grid, row, 0, "Папка трассировки:", QStringLiteral("tracePath"),
                           QString(), MemberNames({&TracePath}));
    m_traceMask =
        AddField(this, grid, row + 1, 0, "Маска трассировки:", QStringLiteral("traceMask"),
                 QStringLiteral("0"), MemberNames({&TraceMask}));
    m_traceFile = new QLabel(this);
    m_traceFile->setObjectName(QStringLiteral("traceFile"));
    grid->addWidget(m_traceFile, row + 2, 1);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("browseTrace"));
    grid->addWidget(browse, row, 3);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (!Context().chooseFolder) {
            return;
        }
        const QString folder = Context().chooseFolder(this, FromAnsi("Выбор директория"));
        if (!folder.isEmpty()) {
            m_tracePath->setText(QDir::toNativeSeparators(folder));
            m_traceFile->setText(QDir(folder).filePath(QString::fromLatin1(kExchangeTrace)));
        }
    });
    AddButton(row, 2, FromAnsi("Записать"), {&TracePath, &TraceMask}, [this](CCalls& calls) {
        LONG mask = 0;
        if (Number(calls, m_traceMask, 0, 0xFFFF, &mask)) {
            calls.PutText(TracePath, m_tracePath->text());
            calls.PutNumber(TraceMask, mask);
        }
    })->setObjectName(QStringLiteral("writeTrace"));
    AddButton(row + 1, 2, FromAnsi("Прочитать"), {&TracePath, &TraceMask}, [this](CCalls& calls) {
        const QString path = calls.GetText(TracePath);
        const LONG mask = calls.GetNumber(TraceMask);
        if (calls.Ok() && !calls.Driver().Deferred()) {
            m_tracePath->setText(path);
            m_traceMask->setText(QString::number(mask));
        }
    })->setObjectName(QStringLiteral("readTrace"));
}

void CDebugTab::BuildRaw(int row) {
    QGridLayout* grid = Grid();
    m_command = new QPlainTextEdit(this);
    m_command->setObjectName(QStringLiteral("rawCommand"));
    m_command->setToolTip(MemberNames({&RawCommandBytes}));
    m_command->setMaximumHeight(60);
    m_reply = new QPlainTextEdit(this);
    m_reply->setObjectName(QStringLiteral("rawReply"));
    m_reply->setReadOnly(true);
    m_reply->setMaximumHeight(90);
    grid->addWidget(new QLabel(FromAnsi("Команда:"), this), row, 0);
    grid->addWidget(m_command, row, 1, 1, 2);
    grid->addWidget(new QLabel(FromAnsi("Ответ:"), this), row + 2, 0);
    grid->addWidget(m_reply, row + 2, 1, 1, 2);
    auto* markers = new QHBoxLayout;
    for (const char* marker : {"<FS>", "<GS>", "<LF>"}) {
        auto* button = new QPushButton(QString::fromLatin1(marker), this);
        button->setObjectName(QString::fromLatin1(marker));
        markers->addWidget(button);
        connect(button, &QPushButton::clicked, this,
                [this, marker] { InsertMarker(QString::fromLatin1(marker)); });
    }
    grid->addLayout(markers, row + 1, 1);
    m_replyHeader = new QLabel(this);
    m_replyHeader->setObjectName(QStringLiteral("rawHeader"));
    grid->addWidget(m_replyHeader, row + 3, 1, 1, 2);
    AddButton(row + 1, 2, FromAnsi("Отправить"),
              {&RawCommandBytes, &TransferBytes, &Status, &StatusBlocked},
              [this](CCalls& calls) {
                  calls.PutText(RawCommandBytes, CommandText(m_command->toPlainText()));
                  calls.Call(TransferBytes);
                  const QString reply = calls.GetText(RawCommandBytes);
                  // The driver hands out the reply's data; its header's words are these.
                  const LONG status = calls.GetNumber(Status);
                  const LONG blocking = calls.GetNumber(StatusBlocked);
                  if (calls.Ok() && !calls.Driver().Deferred()) {
                      // Line feeds of the reply are its line breaks.
                      m_reply->setPlainText(reply);
                      m_replyHeader->setText(FromAnsi("Статус: ") + FormatHex4(status) +
                                             FromAnsi("  Блокировка: ") + FormatHex4(blocking));
                  }
              })
        ->setObjectName(QStringLiteral("transfer"));
}

void CDebugTab::InsertMarker(const QString& marker) {
    m_command->insertPlainText(marker);
    m_command->setFocus();
}

void CDebugTab::BuildJournal(int row) {
    QGridLayout* grid = Grid();
    m_offset = AddField(this, grid, row, 0, "Смещение EJ:", QStringLiteral("journalOffset"),
                        QStringLiteral("0"), MemberNames({&ElectronicJournalReadOffset}));
    m_size = AddField(this, grid, row + 1, 0, "Размер EJ:", QStringLiteral("journalSize"),
                      QStringLiteral("512"), MemberNames({&ElectronicJournalReadSize}));
    m_journal = new QPlainTextEdit(this);
    m_journal->setObjectName(QStringLiteral("journalData"));
    m_journal->setReadOnly(true);
    m_journal->setMaximumHeight(100);
    grid->addWidget(m_journal, row + 2, 1, 1, 2);
    AddButton(row, 2, FromAnsi("Прочитать EJ"),
              {&ElectronicJournalReadOffset, &ElectronicJournalReadSize, &ReadElectronicJournal,
               &ElectronicJournalData},
              [this](CCalls& calls) {
                  LONG offset = 0;
                  LONG size = 0;
                  if (!Number(calls, m_offset, 0, 0x7FFFFFFF, &offset) ||
                      !Number(calls, m_size, 0, 0x7FFFFFFF, &size)) {
                      return;
                  }
                  calls.PutNumber(ElectronicJournalReadOffset, offset);
                  calls.PutNumber(ElectronicJournalReadSize, size);
                  calls.Call(ReadElectronicJournal);
                  const QString data = calls.GetText(ElectronicJournalData);
                  if (calls.Ok() && !calls.Driver().Deferred()) {
                      m_journal->setPlainText(data);
                  }
              })
        ->setObjectName(QStringLiteral("readJournal"));
}

void CDebugTab::StartSalesTest() {
    CSalesAutoTest dialog(this);
    salestest::SalesTestParameters parameters;
    if (dialog.exec() == QDialog::Accepted && dialog.Parameters(&parameters)) {
        RunSalesTest(parameters);
    }
}

bool CDebugTab::RunSalesTest(const salestest::SalesTestParameters& parameters) {
    CDrvKeltor* driver = Driver();
    return Act([this, driver, &parameters](CCalls& calls) {
        // Calls still recorded belong before the test's own.
        if (driver->RecordedCount() > 0 && !calls.Step(driver->Flush())) {
            return;
        }
        salestest::CDispatchClient client(driver->Dispatch());
        HRESULT hr = S_OK;
        {
            CDrvKeltor::CCallScope scope(*driver);
            hr = salestest::RunSalesTest(client, parameters, &m_report);
        }
        if (m_salesResult) {
            m_salesResult->setText(FromAnsi("Чеков: ") + QString::number(m_report.receiptsClosed) +
                                   FromAnsi(", Z-отчетов: ") + QString::number(m_report.zReports));
        }
        calls.Step(hr);
    });
}
