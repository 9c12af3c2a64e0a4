#include "EcrSettingsTab.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "AnsiText.h"
#include "Messages.h"
#include "PageWidgets.h"
#include "SettingsDocument.h"
#include "SimpleXML.h"

using namespace drvmember;

namespace {

const char kXmlFilter[] = "XML Files (*.xml)";

}  // namespace

CEcrSettingsTab::CEcrSettingsTab(CPageContext& context, CTabPage* parentPage)
    : CTabPage(FromAnsi("Настройки"), parentPage, context) {}

void CEcrSettingsTab::Build() {
    QGridLayout* grid = Grid();
    m_minBill = AddField(this, grid, 0, 0, "Мин. купюра:", QStringLiteral("minBill"),
                         QStringLiteral("0.01"), MemberNames({&MinBill}));
    m_dateTime = new QDateTimeEdit(QDateTime::currentDateTime(), this);
    m_dateTime->setObjectName(QStringLiteral("dateTime"));
    m_dateTime->setDisplayFormat(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    m_dateTime->setToolTip(MemberNames({&DateTime}));
    grid->addWidget(new QLabel(FromAnsi("Дата и время:"), this), 1, 0);
    grid->addWidget(m_dateTime, 1, 1);
    m_options = AddField(this, grid, 2, 0, "Опции:", QStringLiteral("options"), QStringLiteral("0"),
                         MemberNames({&InitializationOptions}));
    m_printerName = AddField(this, grid, 3, 0, "Имя принтера:", QStringLiteral("printerName"),
                             QStringLiteral("RKM-204"), MemberNames({&PrinterName}));
    m_journalPresent = AddCheck(this, grid, 4, 0, "Ведется EJ", QStringLiteral("journalPresent"),
                                MemberNames({&StateElectronicJournalPresent}));
    m_controlUnitPresent =
        AddCheck(this, grid, 5, 0, "Наличие СКНО", QStringLiteral("controlUnitPresent"),
                 MemberNames({&StateTaxAuthoritiesControlUnitPresent}));
    m_journalPresent->setEnabled(false);
    m_controlUnitPresent->setEnabled(false);

    AddButton(0, 2, FromAnsi("Прочитать"),
              {&MinBill, &DateTime, &InitializationOptions, &StateElectronicJournalPresent,
               &StateTaxAuthoritiesControlUnitPresent, &PrinterName},
              [this](CCalls& calls) {
                  const LONGLONG minBill = calls.GetMoney(MinBill);
                  const DATE now = calls.GetDate(DateTime);
                  const LONG options = calls.GetNumber(InitializationOptions);
                  const LONG journal = calls.GetNumber(StateElectronicJournalPresent);
                  const LONG unit = calls.GetNumber(StateTaxAuthoritiesControlUnitPresent);
                  const QString name = calls.GetText(PrinterName);
                  if (calls.Ok() && !calls.Driver().Deferred()) {
                      m_minBill->setText(FormatMoney(minBill));
                      m_dateTime->setDateTime(FromAutomationDate(now));
                      m_options->setText(QString::number(options));
                      m_journalPresent->setChecked(journal != 0);
                      m_controlUnitPresent->setChecked(unit != 0);
                      m_printerName->setText(name);
                  }
              })
        ->setObjectName(QStringLiteral("readSettings"));
    AddButton(1, 2, FromAnsi("Записать"), {&MinBill, &InitializationOptions, &PrinterName},
              [this](CCalls& calls) {
                  LONGLONG minBill = 0;
                  LONG options = 0;
                  if (Money(calls, m_minBill, &minBill) &&
                      Number(calls, m_options, 0, 0xFFFF, &options)) {
                      calls.PutMoney(MinBill, minBill);
                      calls.PutNumber(InitializationOptions, options);
                      calls.PutText(PrinterName, m_printerName->text());
                  }
              })
        ->setObjectName(QStringLiteral("writeSettings"));
    AddButton(2, 2, FromAnsi("Установить время"), {&DateTime}, [this](CCalls& calls) {
        calls.PutDate(DateTime, ToAutomationDate(m_dateTime->dateTime()));
    })->setObjectName(QStringLiteral("setDateTime"));

    auto* save = new QPushButton(FromAnsi("Сохранить настройки в файл..."), this);
    auto* load = new QPushButton(FromAnsi("Загрузить настройки из файла..."), this);
    save->setObjectName(QStringLiteral("saveSettingsFile"));
    load->setObjectName(QStringLiteral("loadSettingsFile"));
    grid->addWidget(save, 6, 0, 1, 2);
    grid->addWidget(load, 7, 0, 1, 2);
    connect(save, &QPushButton::clicked, this, [this] {
        if (!Settings() || !Context().chooseFile) {
            return;
        }
        const QString file =
            Context().chooseFile(this, FileChoice::Save, QStringLiteral("Save .XML file"),
                                 QString::fromLatin1(kXmlFilter));
        if (!file.isEmpty()) {
            SaveSettingsTo(file);
        }
    });
    connect(load, &QPushButton::clicked, this, [this] {
        if (!Settings() || !Context().chooseFile) {
            return;
        }
        const QString file =
            Context().chooseFile(this, FileChoice::Open, QStringLiteral("Open .XML file"),
                                 QString::fromLatin1(kXmlFilter));
        if (!file.isEmpty()) {
            LoadSettingsFrom(file);
        }
    });
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(3, 1);
}

bool CEcrSettingsTab::SaveSettingsTo(const QString& fileName) {
    CSimpleXML* settings = Settings();
    if (!settings) {
        return false;
    }
    if (!settings->Save(ToAnsi(fileName).c_str())) {
        ShowMessage(this, FromAnsi("Ошибка сохранения настроек ФР в файл"));
        return false;
    }
    return true;
}

bool CEcrSettingsTab::LoadSettingsFrom(const QString& fileName) {
    CSimpleXML* settings = Settings();
    if (!settings) {
        return false;
    }
    settings->Empty();
    bool loaded = settings->Load(ToAnsi(fileName).c_str()) != 0;
    if (!loaded) {
        ShowMessage(this, FromAnsi("Ошибка загрузки сохраненных настроек ФР из файла"));
        settings->CreateRoot(kSettingsRoot, "", TRUE, kSimpleXmlDeclaration);
    }
    if (Context().settingsReloaded) {
        Context().settingsReloaded();
    }
    return loaded;
}
