// The device, operation and debug pages against the virtual printer: what each shows, what it
// sends, and what the printer printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <QCheckBox>
#include <QLabel>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>

#include "AnsiText.h"
#include "Pages.h"
#include "SalesAutoTest.h"
#include "Registry.h"
#include "UtilitySession.h"

namespace utiltest {
namespace {

using testsupport::Printable;

size_t Count(const std::vector<std::string>& codes, const std::string& code) {
    return static_cast<size_t>(std::count(codes.begin(), codes.end(), code));
}

void SetText(QObject* page, const char* name, const QString& text) {
    if (auto* field = Child<QLineEdit>(page, name)) {
        field->setText(text);
    }
}

class Pages : public ConnectedSession {
  protected:
    // Opens a receipt of the registration page's kind `type` and sells one article on it.
    void SellOne(CTabPage* page, int type, const char* article, const char* price) {
        Child<QComboBox>(page, "receiptType")->setCurrentIndex(type);
        Click(page, "openReceipt");
        SetText(page, "article", Q(article));
        SetText(page, "price", QString::fromLatin1(price));
        SetText(page, "quantity", QStringLiteral("2"));
        Click(page, "sale");
    }
};

TEST_F(Pages, TheConnectionPageListsThePortMapsComPortsOnly) {
    for (const auto& [device, port] :
         std::vector<std::pair<std::string, std::string>>{{"/dev/ttyX7", "cOm7"},
                                                          {"/dev/lp0", "LPT1"},
                                                          {"/dev/ttyX0", "COM0"},
                                                          {"/dev/ttyX9", "COM9x"}}) {
        ASSERT_TRUE(testsupport::MapPort(device, port));
    }
    testsupport::WriteDword(HKEY_LOCAL_MACHINE, testsupport::kSerialCommKey, "/dev/ttyX5", 5);
    EXPECT_EQ(CConnectionTab::SerialPorts(),
              (QStringList{QStringLiteral("COM%1").arg(port_), QStringLiteral("COM7")}));
    EXPECT_EQ(CConnectionTab::Speeds(), (QStringList{"9600", "19200", "38400", "57600", "115200"}));
    // Connected at start-up: the driver holds the port and speed the lists show.
    auto* page = Open<CConnectionTab>("Параметры связи");
    EXPECT_EQ(page->PortList()->currentText(), QStringLiteral("COM%1").arg(port_));
    LONG port = 0;
    ASSERT_EQ(app_->Driver()->GetNumber(drvmember::ComPort, &port), S_OK);
    EXPECT_EQ(port, port_);
    EXPECT_EQ(Child<QPushButton>(page, "connect")->toolTip(),
              QStringLiteral("ComPort | BaudRate | SuppressAutodetect | Connect"));
    SaveScreenshot(app_->MainDialog(), "page_connection");
}

TEST_F(Pages, WithNoPortListedConnectUsesPortZeroAndTheDriverSaysWhy) {
    auto* page = Open<CConnectionTab>("Параметры связи");
    page->PortList()->clear();
    page->SuppressAutodetectBox()->setChecked(true);
    Click(page, "connect");
    ASSERT_EQ(messages_->Texts().size(), 1);
    EXPECT_EQ(messages_->Texts().front(), app_->Driver()->ResultCodeDescription());
    EXPECT_LT(app_->Driver()->ResultCode(), 0);
    EXPECT_EQ(page->PortList()->currentText(), QStringLiteral("COM0"));
}

TEST_F(Pages, TheTraceFolderIsChosenInItsDialogAndSetInTheDriver) {
    auto* debug = Open<CDebugTab>("Отладка");
    ASSERT_NE(debug, nullptr);
    QString title;
    const QString folder = QString::fromStdString(work_.file(""));
    app_->Context().chooseFolder = [&title, folder](QWidget*, const QString& asked) {
        title = asked;
        return folder;
    };
    Click(debug, "browseTrace");
    EXPECT_EQ(title, Q("Выбор директория"));
    EXPECT_TRUE(
        Child<QLabel>(debug, "traceFile")->text().endsWith(QStringLiteral("/tracexch.txt")));
    SetText(debug, "traceMask", QStringLiteral("8"));
    Click(debug, "writeTrace");
    ExpectNoMessages();
    LONG mask = 0;
    ASSERT_EQ(app_->Driver()->GetNumber(drvmember::TraceMask, &mask), S_OK);
    EXPECT_EQ(mask, 8);
    SetText(debug, "traceMask", QStringLiteral("0"));
    SetText(debug, "tracePath", QString());
    Click(debug, "readTrace");
    EXPECT_EQ(Child<QLineEdit>(debug, "traceMask")->text(), QStringLiteral("8"));
    EXPECT_FALSE(Child<QLineEdit>(debug, "tracePath")->text().isEmpty());
}

TEST_F(Pages, ASaleReceiptFromTheRegistrationPageIsPrinted) {
    CTabPage* page = Page("Регистрация");
    EXPECT_EQ(Entries(Child<QComboBox>(page, "receiptType")),
              (QStringList{Q("Нефиск."), Q("Продажа"), Q("Возврат"), Q("Инкасс.")}));
    EXPECT_EQ(Entries(Child<QComboBox>(page, "unit")), (QStringList{Q("шт"), Q("кг"), Q("л")}));
    EXPECT_EQ(Entries(Child<QComboBox>(page, "correction")),
              (QStringList{Q("Абс. скидка на чек."), Q("Абс. скидка на поз."),
                           Q("Сторно абс. скидка на поз."), Q("Абс. надбавка на чек."),
                           Q("Абс. надбавка на поз."), Q("Сторно абс. надбавки на поз.")}));
    const QStringList barcodes = Entries(Child<QComboBox>(page, "barcodeType"));
    ASSERT_EQ(barcodes.size(), 10);
    EXPECT_EQ(barcodes.front(), Q("1 – UPC-A"));
    EXPECT_EQ(barcodes.back(), Q("10 – QRCODE"));
    EXPECT_EQ(Child<QLineEdit>(page, "textToPrint")->text(), Q("Тестовая строка для печати"));
    EXPECT_EQ(Child<QPushButton>(page, "pay")->toolTip(),
              QStringLiteral("Amount | NoncashType | AmountCurrency | AmountCurrencyRate | "
                             "PayCash | PayNoncash | RepayCash | RepayNoncash"));
    EXPECT_EQ(Entries(Child<QComboBox>(page, "payment")),
              (QStringList{Q("Оплата нал."), Q("Оплата безнал.")}));

    const size_t before = Codes().size();
    SellOne(page, 1, "Хлеб нарочанский", "8.70");
    Child<QComboBox>(page, "correction")->setCurrentIndex(1);  // on the line
    SetText(page, "correctionAmount", QStringLiteral("0.40"));
    Click(page, "correct");
    Click(page, "complete");
    EXPECT_EQ(Child<QLineEdit>(page, "subtotal")->text(), QStringLiteral("17.00"));
    Child<QComboBox>(page, "payment")->setCurrentIndex(0);
    SetText(page, "amount", QStringLiteral("20"));
    Click(page, "pay");
    EXPECT_EQ(Child<QLineEdit>(page, "change")->text(), QStringLiteral("3.00"));
    Click(page, "closeReceipt");
    ASSERT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    SaveScreenshot(app_->MainDialog(), "page_registration");

    const std::vector<std::string> codes = CodesSince(before);
    for (const char* code : {"rb", "as", "ad", "rt", "re"}) {
        EXPECT_EQ(Count(codes, code), 1u) << code << ": " << Printable(Requests());
    }
    EXPECT_GE(Count(codes, "rc"), 1u);
    const std::string paper = Paper();
    EXPECT_NE(paper.find("Хлеб нарочанский"), std::string::npos) << paper;
    EXPECT_NE(paper.find("17.00"), std::string::npos) << paper;
    EXPECT_NE(paper.find("3.00"), std::string::npos) << paper;
    EXPECT_EQ(printer_.StatusWord() & 0x0002, 0);  // the receipt is closed
}

TEST_F(Pages, TheControlTapeBoxWantsAnOpenReceipt) {
    CTabPage* page = Page("Регистрация");
    auto* box = Child<QCheckBox>(page, "controlTapeOnly");
    box->setChecked(true);
    Settle();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(messages_->Texts(), QStringList{Q("Выполните открытие чека")});
    messages_->Clear();
    Click(page, "openReceipt");
    box->setChecked(true);
    Settle();
    EXPECT_TRUE(box->isChecked());
    EXPECT_TRUE(messages_->Texts().isEmpty());
    LONG on = 0;
    ASSERT_EQ(app_->Driver()->GetNumber(drvmember::ForcePrintControlTapeOnly, &on), S_OK);
    EXPECT_EQ(on, 1);
}

TEST_F(Pages, TheDeferredBoxSendsTheReceiptsCallsTogetherWhenCleared) {
    CTabPage* page = Page("Регистрация");
    auto* deferred = Child<QCheckBox>(page, "deferred");
    const size_t before = Codes().size();
    deferred->setChecked(true);
    SellOne(page, 1, "Кофе", "6.54");
    EXPECT_EQ(Codes().size(), before) << Printable(Requests());
    EXPECT_GT(app_->Driver()->RecordedCount(), 0u);
    deferred->setChecked(false);
    Settle();
    const std::vector<std::string> codes = CodesSince(before);
    ASSERT_GE(codes.size(), 2u) << Printable(Requests());
    EXPECT_LT(std::find(codes.begin(), codes.end(), "rb") - codes.begin(),
              std::find(codes.begin(), codes.end(), "as") - codes.begin());
    EXPECT_EQ(app_->Driver()->RecordedCount(), 0u);
    EXPECT_NE(printer_.StatusWord() & 0x0002, 0);  // the receipt is open now
}

TEST_F(Pages, AnXReportFromTheReportsPage) {
    CTabPage* page = Page("Отчеты");
    const size_t before = Codes().size();
    Click(page, "xReport");
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    EXPECT_EQ(CodesSince(before), std::vector<std::string>{"zx"}) << Printable(Requests());
    const std::string paper = Paper();
    EXPECT_NE(paper.find("X-ОТЧЕТ"), std::string::npos) << paper;
    SaveScreenshot(app_->MainDialog(), "page_reports");
}

TEST_F(Pages, TheSalesTestCancelsAnOpenDocumentThenPrintsOneReceiptAndOneZReport) {
    CTabPage* registration = Page("Регистрация");
    Child<QComboBox>(registration, "receiptType")->setCurrentIndex(0);
    Click(registration, "openReceipt");
    ASSERT_NE(printer_.StatusWord() & 0x0002, 0);
    auto* debug = Open<CDebugTab>("Отладка");
    ASSERT_NE(debug, nullptr);
    const size_t before = Codes().size();
    messages_->OnDialog(QStringLiteral("salesAutoTest"), [](QDialog* dialog) {
        EXPECT_EQ(Child<QSpinBox>(dialog, "days")->value(), 2);
        EXPECT_EQ(Child<QSpinBox>(dialog, "receipts")->value(), 5);
        EXPECT_EQ(Child<QSpinBox>(dialog, "sales")->maximum(), 10000);
        EXPECT_FALSE(Child<QLineEdit>(dialog, "text")->isEnabled());
        Child<QSpinBox>(dialog, "days")->setValue(1);
        Child<QSpinBox>(dialog, "receipts")->setValue(1);
        Child<QSpinBox>(dialog, "sales")->setValue(1);
        auto* article = Child<QComboBox>(dialog, "article");
        article->setCurrentIndex(3);
        emit article->activated(3);
        EXPECT_EQ(Child<QLineEdit>(dialog, "quantity")->text(), QStringLiteral("3.261"));
        EXPECT_EQ(Child<QLineEdit>(dialog, "unit")->text(), Q("кг"));
        dialog->accept();
    });
    Click(debug, "salesTest");
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    const salestest::SalesTestReport& report = debug->LastSalesTest();
    EXPECT_TRUE(report.cancelledReceipt);
    EXPECT_EQ(report.receiptsClosed, 1);
    EXPECT_EQ(report.zReports, 1);
    const std::vector<std::string> codes = CodesSince(before);
    ASSERT_FALSE(codes.empty());
    EXPECT_EQ(codes.front(), "cp") << Printable(Requests());
    EXPECT_EQ(Count(codes, "re"), 1u);
    EXPECT_EQ(Count(codes, "ze"), 1u);
    EXPECT_NE(Paper().find("Картофель свежий"), std::string::npos);
    EXPECT_EQ(Child<QLabel>(debug, "salesResult")->text(), Q("Чеков: 1, Z-отчетов: 1"));
    SaveScreenshot(app_->MainDialog(), "page_debug_sales_test");
}

TEST_F(Pages, TheSalesTestStopsAtTheFirstFailureAndShowsIt) {
    auto* debug = Open<CDebugTab>("Отладка");
    ASSERT_NE(debug, nullptr);
    salestest::SalesTestParameters parameters = salestest::DefaultParameters(1);
    parameters.days = 1;
    parameters.receiptsPerDay = 3;
    FailNext("as", 3);
    EXPECT_FALSE(debug->RunSalesTest(parameters));
    EXPECT_EQ(debug->LastSalesTest().receiptsClosed, 0);
    EXPECT_EQ(debug->LastSalesTest().failure.member, "Sale");
    ASSERT_EQ(messages_->Texts().size(), 1);
    EXPECT_EQ(messages_->Texts().front(), app_->Driver()->ResultCodeDescription());
}

TEST_F(Pages, ARawStatusQueryShowsItsReply) {
    auto* debug = Open<CDebugTab>("Отладка");
    ASSERT_NE(debug, nullptr);
    auto* command = Child<QPlainTextEdit>(debug, "rawCommand");
    command->setPlainText(QStringLiteral("g\ns"));  // a line break typed in the box is dropped
    const size_t before = Codes().size();
    Click(debug, "transfer");
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    EXPECT_EQ(CodesSince(before), std::vector<std::string>{"gs"});
    // A status query has no data: its header's words are shown.
    EXPECT_EQ(Child<QLabel>(debug, "rawHeader")->text(), Q("Статус: 0080  Блокировка: 0000"));
    EXPECT_TRUE(Child<QPlainTextEdit>(debug, "rawReply")->toPlainText().isEmpty());
    // The receipt header comes with its line feeds, shown as line breaks.
    command->setPlainText(QStringLiteral("gb"));
    Click(debug, "transfer");
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    auto* reply = Child<QPlainTextEdit>(debug, "rawReply");
    EXPECT_EQ(reply->document()->blockCount(), 2) << reply->toPlainText().toStdString();
    EXPECT_TRUE(reply->toPlainText().startsWith(Q("ООО"))) << reply->toPlainText().toStdString();
    // The marker buttons write the markers; the driver turns them into separators.
    command->clear();
    Click(debug, "<FS>");
    Click(debug, "<GS>");
    Click(debug, "<LF>");
    EXPECT_EQ(command->toPlainText(), QStringLiteral("<FS><GS><LF>"));
    EXPECT_EQ(CDebugTab::CommandText(QStringLiteral("ab\r\n<FS>1")), QStringLiteral("ab<FS>1"));
    SaveScreenshot(app_->MainDialog(), "page_debug_raw");
}

TEST_F(Pages, ResetFiscalAsksFirstAndSendsNothingOnNo) {
    auto* debug = Open<CDebugTab>("Отладка");
    ASSERT_NE(debug, nullptr);
    const size_t before = Codes().size();
    messages_->AnswerNext(false);
    Click(debug, "resetFiscal");
    ASSERT_EQ(messages_->Texts().size(), 1);
    EXPECT_TRUE(messages_->Texts().front().contains(QStringLiteral("ResetFiscal")));
    EXPECT_TRUE(CodesSince(before).empty()) << Printable(Requests());
}

TEST_F(Pages, SessionStatisticsShowEveryResultBesideItsName) {
    CTabPage* registration = Page("Регистрация");
    SellOne(registration, 1, "Хлеб", "5.00");
    Click(registration, "complete");
    SetText(registration, "amount", QStringLiteral("10"));
    Click(registration, "pay");
    Click(registration, "closeReceipt");
    CTabPage* page = Page("Статистика по смене");
    auto* request = Child<QComboBox>(page, "request");
    request->setCurrentIndex(request->findText(QStringLiteral("RequestSessionSalesByDepartment")));
    SetText(page, "requestDepartment", QStringLiteral("1"));
    Click(page, "runRequest");
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    auto* results = Child<QTableWidget>(page, "results");
    ASSERT_NE(results, nullptr);
    QString amount;
    for (int row = 0; row < results->rowCount(); ++row) {
        if (results->item(row, 0)->text() == QStringLiteral("SalesAmount")) {
            amount = results->item(row, 1)->text();
        }
    }
    EXPECT_EQ(amount, QStringLiteral("10.00"));
    SaveScreenshot(app_->MainDialog(), "page_session_statistics");

    CTabPage* receipt = Page("Статистика по чеку");
    EXPECT_EQ(Entries(Child<QComboBox>(receipt, "receiptKind")),
              (QStringList{Q("Чек продажи"), Q("Чек возврата"), Q("Чек инкасс."), Q("Чек топлива"),
                           Q("Чек аннулирования"), Q("Чек техзаправки"), Q("Нефиск. подкладн.")}));
    Click(receipt, "readDocumentNumber");
    EXPECT_FALSE(Child<QLineEdit>(receipt, "documentNumber")->text().isEmpty());
    SaveScreenshot(app_->MainDialog(), "page_receipt_statistics");
    CTabPage* cashier = Page("Статистика по кассиру");
    Click(cashier, "runRequest");
    SaveScreenshot(app_->MainDialog(), "page_cashier_statistics");
}

TEST_F(Pages, TheControlUnitPageShowsStatusAndChecksumInHex) {
    CTabPage* page = Page("СКНО");
    EXPECT_EQ(Entries(Child<QComboBox>(page, "command")),
              (QStringList{Q("Получить время"), Q("Получить UID"), Q("Проверить подлинность")}));
    EXPECT_EQ(Child<QLineEdit>(page, "printerName")->text(), QStringLiteral("RKM-204"));
    Click(page, "readStatus");
    LONG status = 0;
    LONG crc = 0;
    ASSERT_EQ(app_->Driver()->GetNumber(drvmember::TaxAuthoritiesControlUnitStatus, &status), S_OK);
    ASSERT_EQ(app_->Driver()->GetNumber(drvmember::TaxAuthoritiesControlUnitCRC, &crc), S_OK);
    ExpectNoMessages();
    char expected[16];
    std::snprintf(expected, sizeof expected, "%04X", static_cast<unsigned>(status));
    EXPECT_EQ(Child<QLineEdit>(page, "controlUnitStatus")->text(), QString::fromLatin1(expected));
    std::snprintf(expected, sizeof expected, "%04X", static_cast<unsigned>(crc));
    EXPECT_EQ(Child<QLineEdit>(page, "controlUnitCrc")->text(), QString::fromLatin1(expected));
    EXPECT_EQ(Child<QLineEdit>(page, "controlUnitCrc")->text().size(), 4);
    SaveScreenshot(app_->MainDialog(), "page_control_unit");
}

TEST_F(Pages, TheSettingsPageReadsThePrintersSettings) {
    CTabPage* page = Page("Настройки");
    EXPECT_EQ(Child<QLineEdit>(page, "printerName")->text(), QStringLiteral("RKM-204"));
    Click(page, "readSettings");
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    EXPECT_FALSE(Child<QCheckBox>(page, "journalPresent")->isChecked());
    SaveScreenshot(app_->MainDialog(), "page_settings");
}

}  // namespace
}  // namespace utiltest
