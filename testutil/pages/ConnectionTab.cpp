#include <windows.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>

#include "AnsiText.h"
#include "Pages.h"

using namespace drvmember;

namespace {

constexpr char kPortMapKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr DWORD kValueCapacity = 256;  // names and data of the port map's values

}  // namespace

CConnectionTab::CConnectionTab(CPageContext& context)
    : CTabPage(FromAnsi("Параметры связи"), nullptr, context) {}

QStringList CConnectionTab::SerialPorts() {
    QStringList ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMapKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return ports;
    }
    static const QRegularExpression comPort(QStringLiteral("^com([1-9][0-9]*)$"),
                                            QRegularExpression::CaseInsensitiveOption);
    for (DWORD index = 0;; ++index) {
        char name[kValueCapacity];
        BYTE data[kValueCapacity];
        DWORD nameLength = sizeof name;
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        const LONG status =
            RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataLength] = 0;
        const QString text = FromAnsi(reinterpret_cast<const char*>(data)).trimmed();
        const QRegularExpressionMatch match = comPort.match(text);
        if (match.hasMatch()) {
            ports << QStringLiteral("COM") + match.captured(1);
        }
    }
    RegCloseKey(key);
    return ports;
}

const QStringList& CConnectionTab::Speeds() {
    static const QStringList speeds = {QStringLiteral("9600"), QStringLiteral("19200"),
                                       QStringLiteral("38400"), QStringLiteral("57600"),
                                       QStringLiteral("115200")};
    return speeds;
}

void CConnectionTab::Choose(QComboBox* list, const QString& text) {
    int index = list->findText(text);
    if (index < 0) {
        list->addItem(text);
        index = list->count() - 1;
    }
    list->setCurrentIndex(index);
}

void CConnectionTab::Build() {
    m_ports = new QComboBox(this);
    m_ports->setObjectName(QStringLiteral("ports"));
    m_ports->addItems(SerialPorts());
    m_ports->setToolTip(MemberNames({&ComPort}));
    m_speeds = new QComboBox(this);
    m_speeds->setObjectName(QStringLiteral("speeds"));
    m_speeds->addItems(Speeds());
    m_speeds->setToolTip(MemberNames({&BaudRate}));
    m_suppress = new QCheckBox(FromAnsi("Не искать принтер на других портах"), this);
    m_suppress->setObjectName(QStringLiteral("suppressAutodetect"));
    m_suppress->setToolTip(MemberNames({&SuppressAutodetect}));
    Grid()->addWidget(new QLabel(FromAnsi("Порт:"), this), 0, 0);
    Grid()->addWidget(m_ports, 0, 1);
    Grid()->addWidget(new QLabel(FromAnsi("Скорость:"), this), 1, 0);
    Grid()->addWidget(m_speeds, 1, 1);
    Grid()->addWidget(m_suppress, 2, 0, 1, 2);
    AddButton(3, 0, FromAnsi("Подключить"),
              {&ComPort, &BaudRate, &SuppressAutodetect, &drvmember::Connect},
              [this](CCalls& calls) { ConnectPrinter(calls); })
        ->setObjectName(QStringLiteral("connect"));
    AddButton(3, 1, FromAnsi("Отключить"), {&Disconnect}, [](CCalls& calls) {
        calls.Call(Disconnect);
    })->setObjectName(QStringLiteral("disconnect"));
    Grid()->setRowStretch(4, 1);
    Grid()->setColumnStretch(2, 1);
}

void CConnectionTab::ConnectPrinter(CCalls& calls) {
    // "COM3" gives 3; no port listed gives 0, and the driver says what that means.
    static const QRegularExpression number(QStringLiteral("(\\d+)$"));
    const QRegularExpressionMatch match = number.match(m_ports->currentText());
    const LONG port = match.hasMatch() ? match.captured(1).toLong() : 0;
    calls.PutNumber(ComPort, port);
    calls.PutNumber(BaudRate, m_speeds->currentText().toLong());
    calls.PutNumber(SuppressAutodetect, m_suppress->isChecked() ? 1 : 0);
    calls.Call(drvmember::Connect);
    // The driver may have found the printer elsewhere: show where it is. Read back even after
    // a failure, so that the lists say what the driver holds.
    CDrvKeltor& driver = calls.Driver();
    LONG foundPort = 0;
    LONG foundSpeed = 0;
    if (SUCCEEDED(driver.GetNumber(ComPort, &foundPort)) &&
        SUCCEEDED(driver.GetNumber(BaudRate, &foundSpeed)) && !driver.Deferred()) {
        Choose(m_ports, QStringLiteral("COM%1").arg(foundPort));
        Choose(m_speeds, QStringLiteral("%1").arg(foundSpeed));
    }
}
