// The utility's frame: start-up and its refusals, the settings document, the page tree, the
// status panel, deferred calls played back in order, driver failures shown, and the progress of
// long driver operations in a Qt dialog.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest/QTest>

#include "AnsiText.h"
#include "Pages.h"
#include "SettingsDocument.h"
#include "UtilitySession.h"

namespace utiltest {
namespace {

using namespace drvmember;
using testsupport::Printable;

// Start-up without the component registered: only a registry and a watcher.
class StartUp : public ::testing::Test {
  protected:
    testsupport::ScopedRegistryDir registry_;
    testsupport::ScopedWorkDir work_;
    CMessageWatcher messages_;
};

TEST_F(StartUp, AnUnregisteredComponentIsNamedAndTheProgramEnds) {
    CDrvKeltortestApp app;
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(messages_.Texts(), QStringList{Q("Не найден компонент BrontalOcx.DrvKeltor")});
    EXPECT_EQ(app.MainDialog(), nullptr);
}

class Utility : public UtilitySession {};

TEST_F(Utility, AComponentThatCannotBeCreatedGivesNoDispatchInterface) {
    CLSID clsid = {};
    ASSERT_EQ(CLSIDFromProgID(OLESTR("BrontalOcx.DrvKeltor"), &clsid), S_OK);
    OLECHAR text[64];
    ASSERT_GT(StringFromGUID2(clsid, text, 64), 0);
    const std::string key = "CLSID\\" + ToAnsi(QString::fromUtf16(text)) + "\\InprocServer32";
    HKEY server = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_WRITE, &server), ERROR_SUCCESS);
    const char missing[] = "/nonexistent/libBrontalOcx.so";
    ASSERT_EQ(RegSetValueExA(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(missing),
                             sizeof missing),
              ERROR_SUCCESS);
    RegCloseKey(server);
    EXPECT_FALSE(StartUtility());
    EXPECT_EQ(messages_->Texts(), QStringList{Q("Ошибка получения Dispatch-интерфейса")});
}

TEST_F(Utility, WithoutASettingsFileTheDocumentIsAnEmptySettingsRoot) {
    ASSERT_TRUE(StartUtility());
    CSimpleXML* settings = app_->Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->IsEmpty(), 0);
    EXPECT_EQ(settings->Count("SETTINGS"), 1);
    std::basic_string<OLECHAR> xml;
    ASSERT_TRUE(settings->GetXML(&xml, "SETTINGS"));
    EXPECT_EQ(xml, u"<SETTINGS/>");
    EXPECT_FALSE(testsupport::FileExists(work_.file("settings.xml")));
    EXPECT_TRUE(messages_->Texts().isEmpty());
}

TEST_F(Utility, ACorruptSettingsFileIsKeptAsABackupAndAnEmptyDocumentUsed) {
    const std::string corrupt = "<?xml version=\"1.0\"?><SETTINGS><CURRENCY></SETTINGS>";
    testsupport::WriteFileBytes(work_.file("settings.xml"), corrupt);
    testsupport::WriteFileBytes(work_.file("settings.xml.bak"), "older backup");
    ASSERT_TRUE(StartUtility());
    CSimpleXML* settings = app_->Settings();
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(settings->Count("SETTINGS"), 1);
    EXPECT_EQ(settings->Count("CURRENCY"), 0);
    // The older backup is not overwritten; the corrupt file is kept beside it, and stays.
    EXPECT_EQ(testsupport::ReadFileBytes(work_.file("settings.xml.bak")), "older backup");
    EXPECT_EQ(testsupport::ReadFileBytes(work_.file("settings.xml.1.bak")), corrupt);
    EXPECT_EQ(testsupport::ReadFileBytes(work_.file("settings.xml")), corrupt);
}

TEST_F(Utility, TitleTreeAndPagesCreatedWhenFirstSelected) {
    ASSERT_TRUE(StartUtility());
    CDrvKeltortestDlg* dialog = app_->MainDialog();
    EXPECT_EQ(dialog->windowTitle(), Q("Тест драйвера ФР ") + QStringLiteral(BRONTAL_VERSION));
    QStringList placed;
    for (CTabPage* page : dialog->Pages()) {
        placed << (page->ParentPage() ? page->ParentPage()->Title() + QStringLiteral(" / ") : "") +
                      page->Title();
    }
    EXPECT_EQ(
        placed,
        (QStringList{Q("Параметры связи"), Q("Отчеты"), Q("Регистрация"), Q("Статистика по смене"),
                     Q("Статистика по смене / Статистика по чеку"),
                     Q("Статистика по смене / Статистика по кассиру"), Q("Настройки"),
                     Q("Настройки / Печатные формы"), Q("Настройки / Платежи"),
                     Q("Настройки / Отделы"), Q("Настройки / Валюта"), Q("Отладка"), Q("СКНО")}));
    QTreeWidget* tree = dialog->Tree();
    ASSERT_EQ(tree->topLevelItemCount(), 7);
    EXPECT_EQ(tree->topLevelItem(3)->childCount(), 2);
    EXPECT_EQ(tree->topLevelItem(4)->child(3)->text(0), Q("Валюта"));
    // The first page is shown at start; the others wait for their first selection.
    EXPECT_TRUE(dialog->Pages()[0]->IsCreated());
    EXPECT_FALSE(dialog->Pages()[12]->IsCreated());
    tree->setCurrentItem(tree->topLevelItem(6));
    EXPECT_TRUE(dialog->Pages()[12]->IsCreated());
    EXPECT_EQ(dialog->CurrentPage(), dialog->Pages()[12]);
}

TEST_F(Utility, APrinterBlockedForAZReportShowsWhyInTheSecondList) {
    printer_.SetStatusWords(0x8000 | 0x0080 | 0x0001 | 0x0020, 0x0008);
    ASSERT_TRUE(StartUtility());
    ConnectFromPage();
    ASSERT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    CDrvKeltortestDlg* dialog = app_->MainDialog();
    EXPECT_EQ(Items(dialog->StatusList()), (QStringList{Q("Фискализирован"), Q("Смена открыта"),
                                                        Q("Принтер не готов"), Q("Блокирован")}));
    EXPECT_EQ(Items(dialog->BlockingList()), QStringList{Q("Требуется закрытие смены")});
    SaveScreenshot(dialog, "main_window_blocked");

    // Unblocked, the second list is emptied and stays so.
    printer_.SetStatusWords(0x0080, 0);
    app_->Driver()->Call(RefreshStatus);
    dialog->RefreshStatus();
    EXPECT_EQ(Items(dialog->StatusList()), QStringList{Q("Фискализирован")});
    EXPECT_EQ(dialog->BlockingList()->count(), 0);
}

TEST_F(Utility, DeferredCallsAnswerZeroAtOnceAndArePlayedBackInOrder) {
    printer_.SetStatusWords(0x0080 | 0x0001, 0);
    ASSERT_TRUE(StartUtility());
    ConnectFromPage();
    CDrvKeltor* driver = app_->Driver();
    CDrvKeltortestDlg* dialog = app_->MainDialog();
    ASSERT_EQ(Items(dialog->StatusList()), (QStringList{Q("Фискализирован"), Q("Смена открыта")}));
    const size_t before = Codes().size();

    ASSERT_EQ(driver->SetDeferred(true), S_OK);
    LONG dayOpen = -1;
    EXPECT_EQ(driver->GetNumber(StateDayOpen, &dayOpen), S_OK);
    EXPECT_EQ(dayOpen, 0);
    QString name = QStringLiteral("stale");
    EXPECT_EQ(driver->GetText(PrinterName, &name), S_OK);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_EQ(driver->PutNumber(ReceiptType, 1), S_OK);
    EXPECT_EQ(driver->Call(OpenReceipt), S_OK);
    EXPECT_EQ(driver->PutText(Article, Q("Хлеб")), S_OK);
    EXPECT_EQ(driver->PutMoney(Price, 87000), S_OK);
    EXPECT_EQ(driver->PutMoney(Quantity, 10000), S_OK);
    EXPECT_EQ(driver->Call(Sale), S_OK);
    EXPECT_EQ(driver->Call(CancelPrint), S_OK);
    // Two parameters cannot be kept: that call is dropped.
    VARIANT two[2];
    VariantInit(&two[0]);
    VariantInit(&two[1]);
    EXPECT_EQ(
        driver->Invoke(Price.dispid, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, nullptr, two, 2),
        S_OK);
    EXPECT_EQ(driver->RecordedCount(), 9u);
    // Nothing reached the printer, and the panel is not re-read meanwhile.
    dialog->RefreshStatus();
    EXPECT_EQ(Codes().size(), before);
    EXPECT_EQ(dialog->StatusList()->count(), 2);
    ASSERT_EQ(driver->Recorded(4).parameterType, VT_BSTR);
    EXPECT_EQ(driver->Recorded(4).dispid, Article.dispid);
    EXPECT_EQ(std::u16string(driver->Recorded(4).parameter.bstrVal), u"Хлеб");

    // Leaving the page plays the calls back, in the order they were made.
    Page("Отчеты");
    EXPECT_EQ(driver->RecordedCount(), 0u);
    EXPECT_TRUE(driver->Deferred());
    const std::vector<std::string> sent = CodesSince(before);
    std::vector<std::string> receipt;
    for (const std::string& code : sent) {
        if (code == "rb" || code == "as" || code == "cp") {
            receipt.push_back(code);
        }
    }
    EXPECT_EQ(receipt, (std::vector<std::string>{"rb", "as", "cp"})) << Printable(Requests());
    const std::vector<std::string> requests = Requests();
    bool sold = false;
    for (const std::string& request : requests) {
        sold = sold || (request.rfind("as", 0) == 0 &&
                        request.find(testsupport::Cp1251("Хлеб")) != std::string::npos);
    }
    EXPECT_TRUE(sold) << Printable(requests);
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    ASSERT_EQ(driver->SetDeferred(false), S_OK);
}

TEST_F(Utility, AFailingCallInPlaybackIsShownAndEndsIt) {
    printer_.SetStatusWords(0x0080, 0);
    ASSERT_TRUE(StartUtility());
    ConnectFromPage();
    CDrvKeltor* driver = app_->Driver();
    ASSERT_EQ(driver->SetDeferred(true), S_OK);
    driver->Call(CloseReceipt);  // no receipt is open: the printer refuses it
    driver->Call(OpenDay);
    const size_t before = Codes().size();
    Page("Регистрация");
    ASSERT_EQ(messages_->Texts().size(), 1);
    EXPECT_EQ(messages_->Texts().front(), driver->ResultCodeDescription());
    EXPECT_LT(driver->ResultCode(), 0);
    for (const std::string& code : CodesSince(before)) {
        EXPECT_NE(code, "do") << "the call after the failing one was sent";
    }
    EXPECT_EQ(driver->RecordedCount(), 0u);
    driver->SetDeferred(false);
}

TEST_F(Utility, ADriverFailureShowsItsDescriptionAndThePageStaysUsable) {
    ASSERT_TRUE(StartUtility());
    printer_.Stop();
    ConnectFromPage();
    ASSERT_EQ(messages_->Texts().size(), 1);
    const QString shown = messages_->Texts().front();
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_EQ(shown, app_->Driver()->ResultCodeDescription());
    EXPECT_LT(app_->Driver()->ResultCode(), 0);

    messages_->Clear();
    ASSERT_EQ(printer_.Start(), 0);
    ConnectFromPage();
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    EXPECT_EQ(app_->Driver()->ResultCode(), 0);
}

TEST_F(Utility, APortScanShowsAQtProgressDialogAndTheWindowsKeepRunning) {
    ASSERT_TRUE(StartUtility());
    auto* page = Open<CConnectionTab>("Параметры связи");
    ASSERT_NE(page, nullptr);
    // No port chosen: the driver scans the port map's one port, here kept busy long enough for
    // the dialog's loop to be idle.
    page->PortList()->clear();
    page->SuppressAutodetectBox()->setChecked(false);
    printer_.KeepBusy(600);
    bool ranWhileOpen = false;
    QTimer::singleShot(0, [&] {
        QProgressDialog* dialog = app_->Presenter()->Dialog();
        ranWhileOpen = dialog && dialog->isVisible();
    });
    page->findChild<QPushButton*>(QStringLiteral("connect"))->click();
    Settle();
    EXPECT_TRUE(ranWhileOpen);
    const CProgressPresenter::Shown& shown = app_->Presenter()->LastShown();
    EXPECT_EQ(shown.dialogs, 1);
    EXPECT_FALSE(shown.open);
    EXPECT_TRUE(shown.caption.startsWith(Q("Сканирование портов:"))) << shown.caption.toStdString();
    EXPECT_EQ(shown.minimum, 0);
    EXPECT_EQ(shown.maximum, 5);
    EXPECT_GE(shown.value, 1);
    // Found where the port map says, and the lists show it.
    EXPECT_EQ(page->PortList()->currentText(), QStringLiteral("COM%1").arg(port_));
    EXPECT_EQ(page->SpeedList()->currentText(), QStringLiteral("9600"));
}

}  // namespace
}  // namespace utiltest
