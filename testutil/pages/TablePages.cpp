#include "TablePages.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "AnsiText.h"
#include "Messages.h"
#include "PageWidgets.h"
#include "SettingsSections.h"
#include "SimpleXML.h"

using namespace drvmember;

namespace {

constexpr int kCurrencyRows = 8;
constexpr int kDepartmentRows = 16;
constexpr int kFacilityRows = 8;
constexpr char kItem[] = "MNEMO";
constexpr char kDecimals[] = "AFTERDOT";
constexpr char kDefault[] = "DEFAULT";

QString Names(const std::vector<const DrvMember*>& members) {
    QStringList names;
    for (const DrvMember* member : members) {
        names << QString::fromLatin1(member->name);
    }
    return names.join(QStringLiteral(" | "));
}

QString Numbered(int number) {
    return QStringLiteral("%1").arg(number, 2, 10, QLatin1Char('0'));
}

// The text of the index-th "MNEMO" and one of its attributes.
QString ItemText(CSimpleXML& section, LONG index) {
    std::basic_string<OLECHAR> text;
    section.GetNodeValue2(&text, kItem, index);
    return QString::fromStdU16String(text);
}

}  // namespace

CTableListPage::CTableListPage(const QString& title, CTabPage* parentPage, CPageContext& context,
                               const char* section, std::vector<ListColumn> columns, int maxRows,
                               std::vector<const DrvMember*> readMembers,
                               std::vector<const DrvMember*> writeMembers)
    : CTabPage(title, parentPage, context),
      m_section(section),
      m_columns(std::move(columns)),
      m_maxRows(maxRows),
      m_readMembers(std::move(readMembers)),
      m_writeMembers(std::move(writeMembers)) {}

void CTableListPage::Build() {
    QGridLayout* grid = Grid();
    m_list = new CEditableList(this, QStringLiteral("list"), m_columns, m_maxRows);
    grid->addWidget(m_list, 0, 0, 1, 4);
    QPushButton* read =
        AddButton(1, 0, FromAnsi("Прочитать"), {}, [this](CCalls& calls) { ReadTable(calls); });
    read->setObjectName(QStringLiteral("readTable"));
    read->setToolTip(Names(m_readMembers));
    QPushButton* write =
        AddButton(1, 1, FromAnsi("Записать"), {}, [this](CCalls& calls) { WriteTable(calls); });
    write->setObjectName(QStringLiteral("writeTable"));
    write->setToolTip(Names(m_writeMembers));
    auto* save = new QPushButton(FromAnsi("Сохранить"), this);
    auto* load = new QPushButton(FromAnsi("Загрузить"), this);
    save->setObjectName(QStringLiteral("saveSection"));
    load->setObjectName(QStringLiteral("loadSection"));
    grid->addWidget(save, 1, 2);
    grid->addWidget(load, 1, 3);
    connect(save, &QPushButton::clicked, this, [this] { SaveToSettings(); });
    connect(load, &QPushButton::clicked, this, [this] { LoadFromSettings(); });
    BuildExtra();
    LoadFromSettings();
}

bool CTableListPage::SaveToSettings() {
    CSimpleXML* settings = Settings();
    if (!settings || !m_list) {
        return false;
    }
    CSimpleXML section;
    bool ok = section.CreateRoot(m_section) && DecorateSection(section);
    for (const QStringList& row : m_list->Rows()) {
        if (!ok) {
            break;
        }
        CSimpleXML item;
        ok = item.CreateRoot(kItem, ToWide(row.value(1)).c_str()) && DecorateItem(item, row) &&
             section.AddXML(m_section, item, 0);
    }
    if (!ok || !StoreSection(*settings, m_section, section)) {
        ShowMessage(this, FromAnsi("Ошибка сохранения настроек ФР в файл"));
        return false;
    }
    return true;
}

bool CTableListPage::LoadFromSettings() {
    CSimpleXML* settings = Settings();
    CSimpleXML section;
    if (!settings || !m_list || !TakeSection(*settings, m_section, section)) {
        return false;
    }
    ReadSection(section);
    return true;
}

void CTableListPage::ShowNumbered(const QStringList& names, const std::vector<USHORT>& numbers) {
    ListRows rows;
    for (int i = 0; i < names.size() && static_cast<size_t>(i) < numbers.size(); ++i) {
        rows.push_back({Numbered(numbers[static_cast<size_t>(i)]), names[i]});
    }
    m_list->SetRows(rows);
}

// ---- currencies ----

CCurrSettingsTab::CCurrSettingsTab(CPageContext& context, CTabPage* parentPage)
    : CTableListPage(
          FromAnsi("Валюта"), parentPage, context, "CURRENCY",
          {{FromAnsi("№"), false, {}},
           {FromAnsi("Валюта"), true, {}},
           {FromAnsi("Знаков"), true, {}}},
          kCurrencyRows,
          {&ReadCurrencyTable, &DefaultStringTableItem, &StringTableItems, &IntegerTableItems},
          {&DefaultStringTableItem, &StringTableItems, &IntegerTableItems, &WriteCurrencyTable}) {}

void CCurrSettingsTab::BuildExtra() {
    m_default = AddField(this, Grid(), 2, 0, "Основная валюта:", QStringLiteral("defaultCurrency"),
                         QString(), MemberNames({&DefaultStringTableItem}));
    // Rows are numbered by their place.
    List()->settle = [](ListRows& rows) {
        for (size_t i = 0; i < rows.size(); ++i) {
            rows[i][0] = QString::number(i + 1);
        }
    };
    List()->newRow = [](const ListRows& rows) {
        return QStringList{QString::number(rows.size() + 1), QString(), QStringLiteral("2")};
    };
}

void CCurrSettingsTab::ReadTable(CCalls& calls) {
    calls.Call(ReadCurrencyTable);
    const QString base = calls.GetText(DefaultStringTableItem);
    const QStringList codes = GetStrings(calls, StringTableItems);
    const std::vector<USHORT> decimals = GetUnsigned(calls, IntegerTableItems);
    if (!calls.Ok() || calls.Driver().Deferred()) {
        return;
    }
    ListRows rows;
    for (int i = 0; i < codes.size() && static_cast<size_t>(i) < decimals.size(); ++i) {
        rows.push_back(
            {QString::number(i + 1), codes[i], QString::number(decimals[static_cast<size_t>(i)])});
    }
    List()->SetRows(rows);
    m_default->setText(base);
}

void CCurrSettingsTab::WriteTable(CCalls& calls) {
    QStringList codes;
    std::vector<USHORT> decimals;
    int row = 0;
    for (const QStringList& cells : List()->Rows()) {
        bool ok = false;
        const uint places = cells.value(2).trimmed().toUInt(&ok);
        if (!ok || places > 0xFFFF) {
            ShowMessage(this, FromAnsi("Неверное значение: Знаков"));
            List()->SetCurrentRow(row);
            calls.Refuse();
            return;
        }
        codes << cells.value(1);
        decimals.push_back(static_cast<USHORT>(places));
        ++row;
    }
    calls.PutText(DefaultStringTableItem, m_default->text());
    PutStrings(calls, StringTableItems, codes);
    PutUnsigned(calls, IntegerTableItems, decimals);
    calls.Call(WriteCurrencyTable);
}

bool CCurrSettingsTab::DecorateSection(CSimpleXML& section) {
    const QString base = m_default->text();
    return base.isEmpty() || section.SetAttribute2(m_section, kDefault, ToWide(base).c_str(), 0);
}

bool CCurrSettingsTab::DecorateItem(CSimpleXML& item, const QStringList& row) {
    return item.SetAttribute2(kItem, kDecimals, ToWide(row.value(2).trimmed()).c_str(), 0);
}

void CCurrSettingsTab::ReadSection(CSimpleXML& section) {
    std::basic_string<OLECHAR> base;
    m_default->setText(section.GetAttribute2(m_section, kDefault, &base, 0)
                           ? QString::fromStdU16String(base)
                           : QString());
    ListRows rows;
    const LONG count = section.Count(kItem);
    for (LONG i = 0; i < count; ++i) {
        std::basic_string<OLECHAR> decimals;
        section.GetAttribute2(kItem, kDecimals, &decimals, i);
        rows.push_back(
            {QString::number(i + 1), ItemText(section, i), QString::fromStdU16String(decimals)});
    }
    List()->SetRows(rows);
}

// ---- departments and payment facilities ----

CNumberedTablePage::CNumberedTablePage(const QString& title, CTabPage* parentPage,
                                       CPageContext& context, const char* section, int maxRows,
                                       const DrvMember& read, const DrvMember& write)
    : CTableListPage(title, parentPage, context, section,
                     {{FromAnsi("№"), false, {}}, {FromAnsi("Название"), true, {}}}, maxRows,
                     {&read, &StringTableItems, &IntegerTableItems},
                     {&StringTableItems, &IntegerTableItems, &write}),
      m_read(read),
      m_write(write) {}

void CNumberedTablePage::ReadTable(CCalls& calls) {
    calls.Call(m_read);
    const QStringList names = GetStrings(calls, StringTableItems);
    const std::vector<USHORT> numbers = GetUnsigned(calls, IntegerTableItems);
    if (calls.Ok() && !calls.Driver().Deferred()) {
        ShowNumbered(names, numbers);
    }
}

void CNumberedTablePage::WriteTable(CCalls& calls) {
    QStringList names;
    std::vector<USHORT> numbers;
    for (const QStringList& cells : List()->Rows()) {
        numbers.push_back(static_cast<USHORT>(cells.value(0).toUInt()));
        names << cells.value(1);
    }
    PutStrings(calls, StringTableItems, names);
    PutUnsigned(calls, IntegerTableItems, numbers);
    calls.Call(m_write);
}

void CNumberedTablePage::ReadSection(CSimpleXML& section) {
    // The file keeps the names in order; they are numbered by their place.
    QStringList names;
    std::vector<USHORT> numbers;
    const LONG count = section.Count("MNEMO");
    for (LONG i = 0; i < count; ++i) {
        names << ItemText(section, i);
        numbers.push_back(static_cast<USHORT>(i + 1));
    }
    ShowNumbered(names, numbers);
}

namespace {

// A new row takes the number after the highest one there is.
QStringList NextNumbered(const ListRows& rows) {
    uint highest = 0;
    for (const QStringList& row : rows) {
        highest = std::max(highest, row.value(0).toUInt());
    }
    return QStringList{Numbered(static_cast<int>(highest + 1)), QString()};
}

}  // namespace

void CNumberedTablePage::BuildExtra() {
    List()->newRow = NextNumbered;
}

CDeptSettingsTab::CDeptSettingsTab(CPageContext& context, CTabPage* parentPage)
    : CNumberedTablePage(FromAnsi("Отделы"), parentPage, context, "DEPARTMENT", kDepartmentRows,
                         ReadDepartmentTable, WriteDepartmentTable) {}

CPaySettingsTab::CPaySettingsTab(CPageContext& context, CTabPage* parentPage)
    : CNumberedTablePage(FromAnsi("Платежи"), parentPage, context, "NONCASHFACILITY", kFacilityRows,
                         ReadPaymentFacilityTable, WritePaymentFacilityTable) {}
