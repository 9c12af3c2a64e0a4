// The table pages and the settings file: each table read, edited, written and read back; the
// receipt forms' length limit; the sections of "settings.xml" and their loading.
#include <gtest/gtest.h>

#include <algorithm>

#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QTableWidget>

#include "AnsiText.h"
#include "Pages.h"
#include "UtilitySession.h"

namespace utiltest {
namespace {

using testsupport::Printable;

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

class Tables : public ConnectedSession {
  protected:
    std::string SettingsFile() const {
        return testsupport::Utf8(testsupport::ReadFileBytes(work_.file("settings.xml")));
    }
};

TEST_F(Tables, DepartmentsAndFacilitiesReadEditedWrittenAndReadBackEqual) {
    const std::pair<const char*, const char*> tables[] = {{"Отделы", "page_table_departments"},
                                                          {"Платежи", "page_table_facilities"}};
    for (const auto& [title, screenshot] : tables) {
        auto* page = Open<CTableListPage>(title);
        ASSERT_NE(page, nullptr) << title;
        Click(page, "readTable");
        ExpectNoMessages();
        ListRows rows = page->List()->Rows();
        ASSERT_GE(rows.size(), 2u) << title;
        EXPECT_EQ(rows[0][0], QStringLiteral("01"));
        // Renamed, a row added at the end, the first two swapped.
        rows[0][1] = Q("ОВОЩИ");
        page->List()->SetRows(rows);
        page->List()->SetCurrentRow(static_cast<int>(rows.size()) - 1);
        page->List()->AddRow();
        ListRows edited = page->List()->Rows();
        ASSERT_EQ(edited.size(), rows.size() + 1);
        EXPECT_EQ(edited.back()[0],
                  QStringLiteral("%1").arg(rows.size() + 1, 2, 10, QLatin1Char('0')));
        edited.back()[1] = Q("НОВЫЙ");
        page->List()->SetRows(edited);
        page->List()->SetCurrentRow(0);
        page->List()->MoveRow(1);
        edited = page->List()->Rows();
        EXPECT_EQ(edited[1][1], Q("ОВОЩИ"));
        Click(page, "writeTable");
        ExpectNoMessages();
        page->List()->SetRows({});
        Click(page, "readTable");
        EXPECT_EQ(page->List()->Rows(), edited) << title;
        SaveScreenshot(app_->MainDialog(), screenshot);
    }
}

TEST_F(Tables, CurrenciesReadEditedWrittenAndReadBackEqual) {
    auto* page = Open<CCurrSettingsTab>("Валюта");
    ASSERT_NE(page, nullptr);
    Click(page, "readTable");
    ExpectNoMessages();
    ListRows rows = page->List()->Rows();
    ASSERT_FALSE(rows.empty());
    EXPECT_FALSE(page->DefaultCurrency()->text().isEmpty());
    page->List()->SetCurrentRow(static_cast<int>(rows.size()) - 1);
    page->List()->AddRow();
    rows = page->List()->Rows();
    EXPECT_EQ(rows.back()[0], QString::number(rows.size()));
    rows.back()[1] = QStringLiteral("PLN");
    rows.back()[2] = QStringLiteral("2");
    page->List()->SetRows(rows);
    Click(page, "writeTable");
    ExpectNoMessages();
    page->List()->SetRows({});
    Click(page, "readTable");
    EXPECT_EQ(page->List()->Rows(), rows);
    SaveScreenshot(app_->MainDialog(), "page_table_currencies");
}

TEST_F(Tables, AHeaderOf319BytesIsSentAndOneOf320Refused) {
    auto* page = Open<CReceiptformTab>("Печатные формы");
    ASSERT_NE(page, nullptr);
    // "^F0" + text + line feed: 4 bytes around each text.
    const QString line = QString(100, QChar(u'Ж'));
    const QString last = QString(110, QChar(u'я'));
    ListRows rows = {{Q("Норм."), line}, {Q("Удв.В"), line}, {Q("Удв.Ш"), last.left(107)}};
    ASSERT_EQ(ToAnsi(FormText(rows)).size(), 319u);
    page->Header()->SetRows(rows);
    size_t before = Codes().size();
    Click(page, "writeHeader");
    ExpectNoMessages();
    std::vector<std::string> codes = CodesSince(before);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "sb"), 1) << Printable(Requests());
    EXPECT_EQ(page->Header()->Rows(), rows);  // read back from the printer

    rows.back()[1] = last.left(108);
    page->Header()->SetRows(rows);
    before = Codes().size();
    Click(page, "writeHeader");
    EXPECT_EQ(messages_->Texts(),
              QStringList{Q("Длина заголовка превышает предельное значение на 1 байт")});
    EXPECT_TRUE(CodesSince(before).empty()) << Printable(Requests());
    messages_->Clear();
    page->Footer()->SetRows(rows);
    Click(page, "writeFooter");
    EXPECT_EQ(messages_->Texts(),
              QStringList{Q("Длина подножия превышает предельное значение на 1 байт")});
}

TEST_F(Tables, FormTextsCodeEachModeAndEndCutAndLogoWithoutALineFeed) {
    EXPECT_EQ(FormText({{Q("Норм."), Q("А")}, {Q("Удв.ШВ"), Q("Б")}, {Q("Отрез."), QString()}}),
              QStringLiteral("^F0А\n^F3Б\n^C"));
    EXPECT_EQ(FormText({{Q("Лого"), QString()}, {Q("Удв.В"), QStringLiteral("x")}}),
              QStringLiteral("^L\n^F1x\n"));
    EXPECT_EQ(FormRows(QStringLiteral("^F2ab\nplain\n^l\n")),
              (ListRows{{Q("Удв.Ш"), QStringLiteral("ab")},
                        {Q("Норм."), QStringLiteral("plain")},
                        {Q("Лого"), QString()}}));
}

TEST_F(Tables, ReceiptFormsReadEditedWrittenAndReadBackEqual) {
    auto* page = Open<CReceiptformTab>("Печатные формы");
    ASSERT_NE(page, nullptr);
    Click(page, "readForms");
    ExpectNoMessages();
    ListRows footer = page->Footer()->Rows();
    ASSERT_FALSE(footer.empty());
    footer.push_back({Q("Удв.ШВ"), Q("ДО ВСТРЕЧИ")});
    footer.push_back({Q("Отрез."), QString()});
    page->Footer()->SetRows(footer);
    Click(page, "writeFooter");
    ExpectNoMessages();
    page->Footer()->SetRows({});
    Click(page, "readForms");
    EXPECT_EQ(page->Footer()->Rows(), footer);
    SaveScreenshot(app_->MainDialog(), "page_receipt_forms");
}

TEST_F(Tables, ALogoIsChosenPreviewedUploadedAndSelected) {
    QImage picture(64, 32, QImage::Format_Mono);
    picture.fill(1);
    const QString path = QString::fromStdString(work_.file("logo.bmp"));
    ASSERT_TRUE(picture.save(path, "BMP"));
    app_->Context().chooseFile = [path](QWidget*, FileChoice, const QString&, const QString&) {
        return path;
    };
    auto* page = Open<CReceiptformTab>("Печатные формы");
    ASSERT_NE(page, nullptr);
    Click(page, "browseLogo");
    EXPECT_EQ(page->LogoPath()->text(), path);
    const QPixmap preview = Child<QLabel>(page, "logoPreview")->pixmap();
    EXPECT_FALSE(preview.isNull());

    const size_t before = Codes().size();
    Click(page, "uploadLogo");
    ExpectNoMessages();
    const std::vector<std::string> codes = CodesSince(before);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "fo"), 1) << Printable(Requests());
    EXPECT_GE(std::count(codes.begin(), codes.end(), "fw"), 1);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), "fc"), 1);
    const CProgressPresenter::Shown& shown = app_->Presenter()->LastShown();
    EXPECT_EQ(shown.caption, Q("Запись файла"));
    EXPECT_EQ(shown.maximum,
              static_cast<int>(testsupport::ReadFileBytes(path.toStdString()).size()));
    EXPECT_EQ(Child<QLineEdit>(page, "logoName")->text(), QStringLiteral("logo.bmp"));
    Click(page, "selectLogo");
    ExpectNoMessages();
    const std::vector<std::string> requests = Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().rfind("sl\x1Clogo.bmp", 0), 0u) << Printable(requests);
}

TEST_F(Tables, TheCurrencySectionSavedTwiceIsOneSection) {
    auto* page = Open<CCurrSettingsTab>("Валюта");
    ASSERT_NE(page, nullptr);
    page->DefaultCurrency()->setText(QStringLiteral("BYN"));
    page->List()->SetRows({{"1", "BYN", "2"}, {"2", "USD", "2"}});
    Click(page, "saveSection");
    page->List()->SetRows({{"1", "BYN", "2"}, {"2", "RUB", "0"}});
    Click(page, "saveSection");
    ExpectNoMessages();
    const std::string file = SettingsFile();
    EXPECT_EQ(Occurrences(file, "<CURRENCY"), 1u) << file;
    EXPECT_NE(file.find("<CURRENCY DEFAULT=\"BYN\">"), std::string::npos) << file;
    EXPECT_NE(file.find("<MNEMO AFTERDOT=\"0\">RUB</MNEMO>"), std::string::npos) << file;
    EXPECT_EQ(file.find("USD"), std::string::npos) << file;
    EXPECT_EQ(file.rfind("<?xml version=\"1.0\" encoding=\"windows-1251\"?>", 0), 0u);
    // Without a default currency the attribute is left out.
    page->DefaultCurrency()->clear();
    Click(page, "saveSection");
    EXPECT_EQ(SettingsFile().find("DEFAULT="), std::string::npos);
}

TEST_F(Tables, LineModesLoadWithoutRegardToCaseAndDefaultToNormal) {
    app_.reset();
    Settle();
    testsupport::WriteFileBytes(
        work_.file("settings.xml"),
        testsupport::Cp1251("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<SETTINGS>"
                            "<DEPARTMENT><MNEMO>МОЛОКО</MNEMO></DEPARTMENT>"
                            "<PRNFORMS><HEADER><LINE MODE=\"2height\">ВЫСОКАЯ</LINE>"
                            "<LINE>ПРОСТАЯ</LINE><LINE MODE=\"odd\">ИНАЯ</LINE></HEADER>"
                            "<FOOTER><LINE MODE=\"Cut\"/></FOOTER>"
                            "<LOGO><PATH>/nowhere/logo.bmp</PATH></LOGO></PRNFORMS></SETTINGS>"));
    ASSERT_TRUE(StartUtility());
    auto* page = Open<CReceiptformTab>("Печатные формы");
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->Header()->Rows(), (ListRows{{Q("Удв.В"), Q("ВЫСОКАЯ")},
                                                {Q("Норм."), Q("ПРОСТАЯ")},
                                                {Q("Норм."), Q("ИНАЯ")}}));
    EXPECT_EQ(page->Footer()->Rows(), (ListRows{{Q("Отрез."), QString()}}));
    EXPECT_EQ(page->LogoPath()->text(), QStringLiteral("/nowhere/logo.bmp"));
    // The department's "MNEMO" is not taken for a line: sections are read apart.
    auto* departments = Open<CTableListPage>("Отделы");
    EXPECT_EQ(departments->List()->Rows(), (ListRows{{QStringLiteral("01"), Q("МОЛОКО")}}));
}

TEST_F(Tables, ASettingsFileSavedByTheUtilityLoadsIntoAFreshRunWithTheSameLists) {
    auto* currencies = Open<CCurrSettingsTab>("Валюта");
    currencies->DefaultCurrency()->setText(QStringLiteral("BYN"));
    currencies->List()->SetRows({{"1", "BYN", "2"}, {"2", "USD", "2"}});
    Click(currencies, "saveSection");
    auto* departments = Open<CTableListPage>("Отделы");
    departments->List()->SetRows({{"01", Q("ХЛЕБ")}, {"02", Q("МОЛОКО")}});
    Click(departments, "saveSection");
    auto* facilities = Open<CTableListPage>("Платежи");
    facilities->List()->SetRows({{"01", Q("КАРТА")}});
    Click(facilities, "saveSection");
    auto* forms = Open<CReceiptformTab>("Печатные формы");
    forms->Header()->SetRows({{Q("Удв.ШВ"), Q("МАГАЗИН")}, {Q("Лого"), QString()}});
    forms->Footer()->SetRows({{Q("Норм."), Q("СПАСИБО")}});
    Click(forms, "saveSection");
    ExpectNoMessages();
    const std::string bytes = testsupport::ReadFileBytes(work_.file("settings.xml"));
    EXPECT_NE(bytes.find(testsupport::Cp1251("<MNEMO>ХЛЕБ</MNEMO>")), std::string::npos) << bytes;
    EXPECT_NE(bytes.find(testsupport::Cp1251("<LINE MODE=\"2SCALE\">МАГАЗИН</LINE>")),
              std::string::npos);

    app_.reset();
    Settle();
    ASSERT_TRUE(StartUtility());
    currencies = Open<CCurrSettingsTab>("Валюта");
    EXPECT_EQ(currencies->DefaultCurrency()->text(), QStringLiteral("BYN"));
    EXPECT_EQ(currencies->List()->Rows(), (ListRows{{"1", "BYN", "2"}, {"2", "USD", "2"}}));
    EXPECT_EQ(Open<CTableListPage>("Отделы")->List()->Rows(),
              (ListRows{{"01", Q("ХЛЕБ")}, {"02", Q("МОЛОКО")}}));
    EXPECT_EQ(Open<CTableListPage>("Платежи")->List()->Rows(), (ListRows{{"01", Q("КАРТА")}}));
    forms = Open<CReceiptformTab>("Печатные формы");
    EXPECT_EQ(forms->Header()->Rows(),
              (ListRows{{Q("Удв.ШВ"), Q("МАГАЗИН")}, {Q("Лого"), QString()}}));
    EXPECT_EQ(forms->Footer()->Rows(), (ListRows{{Q("Норм."), Q("СПАСИБО")}}));
}

TEST_F(Tables, TheSettingsPageSavesAndLoadsTheWholeDocument) {
    auto* departments = Open<CTableListPage>("Отделы");
    departments->List()->SetRows({{"01", Q("ХЛЕБ")}});
    Click(departments, "saveSection");
    QString chosen = QString::fromStdString(work_.file("copy.xml"));
    app_->Context().chooseFile = [&chosen](QWidget*, FileChoice, const QString&, const QString&) {
        return chosen;
    };
    CTabPage* settings = Page("Настройки");
    Click(settings, "saveSettingsFile");
    ExpectNoMessages();
    EXPECT_EQ(testsupport::ReadFileBytes(work_.file("copy.xml")),
              testsupport::ReadFileBytes(work_.file("settings.xml")));

    // A change on the page, then the copy loaded: the open table page shows the file's list.
    departments->List()->SetRows({{"01", Q("ИНОЕ")}});
    Click(settings, "loadSettingsFile");
    ExpectNoMessages();
    EXPECT_EQ(departments->List()->Rows(), (ListRows{{"01", Q("ХЛЕБ")}}));

    chosen = QString::fromStdString(work_.file("missing.xml"));
    Click(settings, "loadSettingsFile");
    EXPECT_EQ(messages_->Texts(),
              QStringList{Q("Ошибка загрузки сохраненных настроек ФР из файла")});
    messages_->Clear();
    EXPECT_EQ(app_->Settings()->Count("SETTINGS"), 1);
    EXPECT_EQ(app_->Settings()->Count("DEPARTMENT"), 0);

    chosen = QString::fromStdString(work_.file("no/such/folder/copy.xml"));
    Click(settings, "saveSettingsFile");
    EXPECT_EQ(messages_->Texts(), QStringList{Q("Ошибка сохранения настроек ФР в файл")});
}

}  // namespace
}  // namespace utiltest
