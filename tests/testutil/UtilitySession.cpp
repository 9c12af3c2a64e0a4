#include "UtilitySession.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>

namespace utiltest {

CMessageWatcher::CMessageWatcher() {
    m_timer.setInterval(10);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Poll(); });
    m_timer.start();
}

CMessageWatcher::~CMessageWatcher() {
    m_timer.stop();
}

void CMessageWatcher::Poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* dialog = qobject_cast<QDialog*>(widget);
        if (dialog && dialog->isVisible() && !m_dialogs.empty() &&
            dialog->objectName() == m_dialogs.front().first) {
            auto handle = std::move(m_dialogs.front().second);
            m_dialogs.erase(m_dialogs.begin());
            handle(dialog);
            continue;
        }
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (!box || !box->isVisible()) {
            continue;
        }
        m_texts << box->text();
        if (box->button(QMessageBox::Yes)) {
            const bool yes = m_answers.empty() ? false : m_answers.front();
            if (!m_answers.empty()) {
                m_answers.erase(m_answers.begin());
            }
            box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
        } else {
            box->done(QMessageBox::Ok);
        }
    }
}

std::string SaveScreenshot(QWidget* widget, const std::string& name) {
    const QString folder = QStringLiteral(BRONTAL_BINARY_DIR "/screenshots/testutil");
    QDir().mkpath(folder);
    const QString path =
        folder + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".png");
    widget->grab().save(path, "PNG");
    return path.toStdString();
}

QStringList Items(const QListWidget* list) {
    QStringList items;
    for (int i = 0; i < list->count(); ++i) {
        items << list->item(i)->text();
    }
    return items;
}

QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

void Settle() {
    for (int round = 0; round < 10; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

void UtilitySession::SetUp() {
    PrinterSession::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    printer_.SetReportTime(0);
    messages_ = std::make_unique<CMessageWatcher>();
}

void UtilitySession::TearDown() {
    app_.reset();
    Settle();
    messages_.reset();
    PrinterSession::TearDown();
}

bool UtilitySession::StartUtility() {
    app_ = std::make_unique<CDrvKeltortestApp>();
    const bool started = app_->InitInstance();
    if (started) {
        app_->MainDialog()->show();
        Settle();
    }
    return started;
}

CTabPage* UtilitySession::Page_(const char* utf8Title) {
    CTabPage* page = app_ ? app_->MainDialog()->FindPage(Q(utf8Title)) : nullptr;
    EXPECT_NE(page, nullptr) << utf8Title;
    if (page) {
        app_->MainDialog()->SelectPage(page);
        Settle();
    }
    return page;
}

CTabPage* UtilitySession::Page(const char* utf8Title) {
    return Page_(utf8Title);
}

void UtilitySession::CollectPaper() {
    paper_ = work_.file("paper.txt");
    printer_.Stop();
    printer_.SetPaperFile(paper_);
    ASSERT_EQ(printer_.Start(), 0);
}

void UtilitySession::ExpectNoMessages() {
    EXPECT_TRUE(messages_->Texts().isEmpty()) << messages_->Texts().join(", ").toStdString();
    messages_->Clear();
}

void ConnectedSession::SetUp() {
    UtilitySession::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    printer_.SetStatusWords(0x0080, 0);
    CollectPaper();
    ASSERT_TRUE(StartUtility());
    ConnectFromPage();
    ExpectNoMessages();
}

std::string UtilitySession::Paper() const {
    return testsupport::Utf8(testsupport::ReadFileBytes(paper_));
}

std::vector<std::string> UtilitySession::CodesSince(size_t from) const {
    const std::vector<std::string> codes = Codes();
    return std::vector<std::string>(codes.begin() + static_cast<long>(std::min(from, codes.size())),
                                    codes.end());
}

}  // namespace utiltest

#include <QCheckBox>
#include <QPushButton>

#include "Pages.h"

namespace utiltest {

void UtilitySession::ConnectFromPage() {
    auto* page = Open<CConnectionTab>("Параметры связи");
    ASSERT_NE(page, nullptr);
    const int port = page->PortList()->findText(QStringLiteral("COM%1").arg(port_));
    ASSERT_GE(port, 0);
    page->PortList()->setCurrentIndex(port);
    page->SpeedList()->setCurrentIndex(page->SpeedList()->findText(QStringLiteral("9600")));
    page->SuppressAutodetectBox()->setChecked(true);
    auto* connect = page->findChild<QPushButton*>(QStringLiteral("connect"));
    ASSERT_NE(connect, nullptr);
    connect->click();
    Settle();
}

}  // namespace utiltest

#include <QAbstractButton>
#include <QComboBox>

namespace utiltest {

void Click(QObject* parent, const char* name) {
    if (auto* button = Child<QAbstractButton>(parent, name)) {
        button->click();
    }
    Settle();
}

QStringList Entries(const QComboBox* list) {
    QStringList entries;
    for (int i = 0; list && i < list->count(); ++i) {
        entries << list->itemText(i);
    }
    return entries;
}

}  // namespace utiltest
