#include "ReceiptformTab.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>

#include <cstdio>

#include "AnsiText.h"
#include "Messages.h"
#include "PageWidgets.h"
#include "SettingsSections.h"
#include "SimpleXML.h"

using namespace drvmember;

const LineMode kLineModes[kLineModeCount] = {
    {"NORMAL", "Норм.", "^F0"},  {"2HEIGHT", "Удв.В", "^F1"}, {"2WIDTH", "Удв.Ш", "^F2"},
    {"2SCALE", "Удв.ШВ", "^F3"}, {"CUT", "Отрез.", "^C"},     {"LOGO", "Лого", "^L"},
};

namespace {

constexpr char kSection[] = "PRNFORMS";
constexpr char kLine[] = "LINE";
constexpr char kMode[] = "MODE";
const LineMode& kNormal = kLineModes[0];

bool EndsWithoutLineFeed(const LineMode& mode) {
    return &mode == &kLineModes[4] || &mode == &kLineModes[5];
}

}  // namespace

const LineMode& ModeOfFile(const QString& file) {
    for (const LineMode& mode : kLineModes) {
        if (file.compare(QString::fromLatin1(mode.file), Qt::CaseInsensitive) == 0) {
            return mode;
        }
    }
    return kNormal;
}

const LineMode& ModeOfName(const QString& name) {
    for (const LineMode& mode : kLineModes) {
        if (name == FromAnsi(mode.name)) {
            return mode;
        }
    }
    return kNormal;
}

QString FormText(const ListRows& rows) {
    QString text;
    for (size_t i = 0; i < rows.size(); ++i) {
        const LineMode& mode = ModeOfName(rows[i].value(0));
        text += QString::fromLatin1(mode.code) + rows[i].value(1);
        if (!(i + 1 == rows.size() && EndsWithoutLineFeed(mode))) {
            text += QLatin1Char('\n');
        }
    }
    return text;
}

ListRows FormRows(const QString& text) {
    ListRows rows;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) {
        lines.removeLast();
    }
    for (const QString& line : lines) {
        const LineMode* found = &kNormal;
        QString rest = line;
        for (const LineMode& mode : kLineModes) {
            const QString code = QString::fromLatin1(mode.code);
            if (line.startsWith(code, Qt::CaseInsensitive)) {
                found = &mode;
                rest = line.mid(code.size());
                break;
            }
        }
        rows.push_back({FromAnsi(found->name), rest});
    }
    return rows;
}

CReceiptformTab::CReceiptformTab(CPageContext& context, CTabPage* parentPage)
    : CTabPage(FromAnsi("Печатные формы"), parentPage, context) {}

void CReceiptformTab::Build() {
    QGridLayout* grid = Grid();
    QStringList names;
    for (const LineMode& mode : kLineModes) {
        names << FromAnsi(mode.name);
    }
    const std::vector<ListColumn> columns = {{FromAnsi("Режим"), true, names},
                                             {FromAnsi("Текст"), true, {}}};
    const auto newRow = [names](const ListRows&) { return QStringList{names[0], QString()}; };
    m_header = new CEditableList(this, QStringLiteral("header"), columns, 64);
    m_footer = new CEditableList(this, QStringLiteral("footer"), columns, 64);
    m_header->newRow = newRow;
    m_footer->newRow = newRow;
    grid->addWidget(new QLabel(FromAnsi("Заголовок чека:"), this), 0, 0);
    grid->addWidget(m_header, 1, 0, 1, 3);
    grid->addWidget(new QLabel(FromAnsi("Подножие чека:"), this), 2, 0);
    grid->addWidget(m_footer, 3, 0, 1, 3);
    grid->addWidget(new QLabel(FromAnsi("Логотип:"), this), 0, 3);

    AddButton(4, 0, FromAnsi("Прочитать"),
              {&ReadReceiptHeader, &ReceiptHeader, &ReadReceiptFooter, &ReceiptFooter},
              [this](CCalls& calls) { Read(calls, true, true); })
        ->setObjectName(QStringLiteral("readForms"));
    AddButton(4, 1, FromAnsi("Записать заголовок"), {&ReceiptHeader, &WriteReceiptHeader},
              [this](CCalls& calls) { Write(calls, true); })
        ->setObjectName(QStringLiteral("writeHeader"));
    AddButton(4, 2, FromAnsi("Записать подножие"), {&ReceiptFooter, &WriteReceiptFooter},
              [this](CCalls& calls) { Write(calls, false); })
        ->setObjectName(QStringLiteral("writeFooter"));
    auto* save = new QPushButton(FromAnsi("Сохранить"), this);
    auto* load = new QPushButton(FromAnsi("Загрузить"), this);
    save->setObjectName(QStringLiteral("saveSection"));
    load->setObjectName(QStringLiteral("loadSection"));
    grid->addWidget(save, 5, 0);
    grid->addWidget(load, 5, 1);
    connect(save, &QPushButton::clicked, this, [this] { SaveToSettings(); });
    connect(load, &QPushButton::clicked, this, [this] { LoadFromSettings(); });

    auto* logo = new QGridLayout;
    grid->addLayout(logo, 1, 3, 4, 1);
    m_logoPath = AddField(this, logo, 0, 0, "Файл:", QStringLiteral("logoPath"), QString(),
                          MemberNames({&BmpLogoToLoadFilePath}));
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    browse->setObjectName(QStringLiteral("browseLogo"));
    logo->addWidget(browse, 0, 2);
    connect(browse, &QPushButton::clicked, this, [this] {
        if (Context().chooseFile) {
            const QString file =
                Context().chooseFile(this, FileChoice::Open, FromAnsi("Выбор логотипа"),
                                     QStringLiteral("BMP Files (*.bmp)"));
            if (!file.isEmpty()) {
                ChooseLogo(file);
            }
        }
    });
    m_preview = new QLabel(this);
    m_preview->setObjectName(QStringLiteral("logoPreview"));
    m_preview->setMinimumSize(160, 80);
    m_preview->setFrameShape(QFrame::Box);
    m_preview->setAlignment(Qt::AlignCenter);
    logo->addWidget(m_preview, 1, 0, 1, 3);
    AddButton(
        logo, 2, 0, FromAnsi("Загрузить в принтер"),
        {&BmpLogoToLoadFilePath, &UploadBmpLogoFile, &BmpLogoFileToSelect},
        [this](CCalls& calls) {
            calls.PutText(BmpLogoToLoadFilePath, m_logoPath->text());
            calls.Call(UploadBmpLogoFile);
            const QString name = calls.GetText(BmpLogoFileToSelect);
            if (calls.Ok() && !calls.Driver().Deferred()) {
                m_logoName->setText(name);
            }
        },
        3)
        ->setObjectName(QStringLiteral("uploadLogo"));
    m_logoName = AddField(this, logo, 3, 0, "В принтере:", QStringLiteral("logoName"), QString(),
                          MemberNames({&BmpLogoFileToSelect}));
    AddButton(
        logo, 4, 0, FromAnsi("Выбрать логотип"), {&BmpLogoFileToSelect, &SelectBmpLogoFile},
        [this](CCalls& calls) {
            calls.PutText(BmpLogoFileToSelect, m_logoName->text());
            calls.Call(SelectBmpLogoFile);
        },
        3)
        ->setObjectName(QStringLiteral("selectLogo"));
    logo->setRowStretch(5, 1);
    LoadFromSettings();
}

void CReceiptformTab::ChooseLogo(const QString& path) {
    m_logoPath->setText(path);
    const QPixmap picture(path);
    if (picture.isNull()) {
        m_preview->setPixmap(QPixmap());
        m_preview->setText(FromAnsi("Нет изображения"));
        return;
    }
    m_preview->setPixmap(picture.scaled(m_preview->minimumSize(), Qt::KeepAspectRatio));
}

void CReceiptformTab::Read(CCalls& calls, bool header, bool footer) {
    if (header) {
        calls.Call(ReadReceiptHeader);
        const QString text = calls.GetText(ReceiptHeader);
        if (calls.Ok() && !calls.Driver().Deferred()) {
            m_header->SetRows(FormRows(text));
        }
    }
    if (footer) {
        calls.Call(ReadReceiptFooter);
        const QString text = calls.GetText(ReceiptFooter);
        if (calls.Ok() && !calls.Driver().Deferred()) {
            m_footer->SetRows(FormRows(text));
        }
    }
}

void CReceiptformTab::Write(CCalls& calls, bool header) {
    CEditableList* list = header ? m_header : m_footer;
    const QString text = FormText(list->Rows());
    const int length = static_cast<int>(ToAnsi(text).size());
    if (length >= kFormTextLimit) {
        char message[96];  // the longer text and room for the number
        std::snprintf(message, sizeof message,
                      header ? "Длина заголовка превышает предельное значение на %d байт"
                             : "Длина подножия превышает предельное значение на %d байт",
                      length - (kFormTextLimit - 1));
        ShowMessage(this, FromAnsi(message));
        list->Table()->setFocus();
        calls.Refuse();
        return;
    }
    calls.PutText(header ? ReceiptHeader : ReceiptFooter, text);
    calls.Call(header ? WriteReceiptHeader : WriteReceiptFooter);
    Read(calls, header, !header);
}

bool CReceiptformTab::SaveToSettings() {
    CSimpleXML* settings = Settings();
    if (!settings || !m_header) {
        return false;
    }
    CSimpleXML section;
    bool ok = section.CreateRoot(kSection) && section.AddNode(kSection, "HEADER", "", 0) &&
              section.AddNode(kSection, "FOOTER", "", 0) &&
              section.AddNode(kSection, "LOGO", "", 0) &&
              section.AddNode("LOGO", "PATH", ToWide(m_logoPath->text()).c_str(), 0);
    const struct {
        const char* part;
        CEditableList* list;
    } parts[] = {{"HEADER", m_header}, {"FOOTER", m_footer}};
    for (const auto& part : parts) {
        for (const QStringList& row : part.list->Rows()) {
            if (!ok) {
                break;
            }
            CSimpleXML line;
            ok = line.CreateRoot(kLine, ToWide(row.value(1)).c_str()) &&
                 line.SetAttribute2(kLine, kMode, ModeOfName(row.value(0)).file, 0) &&
                 section.AddXML(part.part, line, 0);
        }
    }
    if (!ok || !StoreSection(*settings, kSection, section)) {
        ShowMessage(this, FromAnsi("Ошибка сохранения настроек ФР в файл"));
        return false;
    }
    return true;
}

bool CReceiptformTab::LoadFromSettings() {
    CSimpleXML* settings = Settings();
    CSimpleXML section;
    if (!settings || !m_header || !TakeSection(*settings, kSection, section)) {
        return false;
    }
    const struct {
        const char* part;
        CEditableList* list;
    } parts[] = {{"HEADER", m_header}, {"FOOTER", m_footer}};
    for (const auto& part : parts) {
        ListRows rows;
        CSimpleXML lines;
        if (TakeSection(section, part.part, lines)) {
            const LONG count = lines.Count(kLine);
            for (LONG i = 0; i < count; ++i) {
                std::basic_string<OLECHAR> text;
                std::basic_string<OLECHAR> mode;
                lines.GetNodeValue2(&text, kLine, i);
                lines.GetAttribute2(kLine, kMode, &mode, i);
                rows.push_back({FromAnsi(ModeOfFile(QString::fromStdU16String(mode)).name),
                                QString::fromStdU16String(text)});
            }
        }
        part.list->SetRows(rows);
    }
    std::basic_string<OLECHAR> path;
    if (section.GetNodeValue2(&path, "PATH", 0) && !path.empty()) {
        ChooseLogo(QString::fromStdU16String(path));
    }
    return true;
}
