// Fixtures of the utility's GUI tests: the component registered in a fresh registry, the virtual
// printer on a pseudo-terminal COM port, the utility started in-process (offscreen), message
// boxes answered and recorded, screenshots saved under the build tree.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "DrvKeltortestApp.h"
#include "PrinterSession.h"

class QComboBox;
class QDialog;
class QListWidget;
class QWidget;

// Texts in failure messages as text, not as code units.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}

namespace utiltest {

// Answers every message box that opens (Ok, or the next of the answers queued) and keeps its
// text. It polls the open windows from a timer, so it waits as long as a box takes to come.
class CMessageWatcher {
  public:
    CMessageWatcher();
    ~CMessageWatcher();
    const QStringList& Texts() const { return m_texts; }
    void Clear() { m_texts.clear(); }
    // The next Yes/No box is answered Yes (true) or No.
    void AnswerNext(bool yes) { m_answers.push_back(yes); }
    // The next dialog named `name` that opens is handed to `handle` (which ends it).
    void OnDialog(const QString& name, std::function<void(QDialog*)> handle) {
        m_dialogs.emplace_back(name, std::move(handle));
    }

  private:
    void Poll();
    QTimer m_timer;
    QStringList m_texts;
    std::vector<bool> m_answers;
    std::vector<std::pair<QString, std::function<void(QDialog*)>>> m_dialogs;
};

// A PNG of the widget as it shows now, in <build>/screenshots/testutil/<name>.png; the path.
std::string SaveScreenshot(QWidget* widget, const std::string& name);

// A child of `parent` by its object name (the test fails without it).
template <class Widget>
Widget* Child(QObject* parent, const char* name) {
    Widget* child = parent ? parent->findChild<Widget*>(QString::fromLatin1(name)) : nullptr;
    EXPECT_NE(child, nullptr) << name;
    return child;
}
// Clicks the button `name` of `parent` and runs what it posted.
void Click(QObject* parent, const char* name);
// The entries of a choice list.
QStringList Entries(const QComboBox* list);

// The texts of a list box, top to bottom.
QStringList Items(const QListWidget* list);
// UTF-8 source text as a QString.
QString Q(const char* utf8);
// Runs what is posted (refreshes, deferred deletes) until nothing is left.
void Settle();

// The component, the printer and the utility.
class UtilitySession : public client::PrinterSession {
  protected:
    void SetUp() override;
    void TearDown() override;
    // Starts the utility in the test's own folder; false when its start-up refused.
    bool StartUtility();
    // The connection page: the printer's port at 9600, no scan, Connect clicked.
    void ConnectFromPage();
    CTabPage* Page(const char* utf8Title);
    template <class Page>
    Page* Open(const char* utf8Title) {
        CTabPage* page = Page_(utf8Title);
        return dynamic_cast<Page*>(page);
    }
    // The printer's paper: everything printed from now on goes to a file of the test's.
    void CollectPaper();
    std::string Paper() const;  // UTF-8
    // No message box was shown since the last look; forgets what was.
    void ExpectNoMessages();
    // The codes of the requests the printer executed since `from`.
    std::vector<std::string> CodesSince(size_t from) const;

    std::unique_ptr<CDrvKeltortestApp> app_;
    std::unique_ptr<CMessageWatcher> messages_;
    std::string paper_;

  private:
    CTabPage* Page_(const char* utf8Title);
};

// A fiscal printer without an electronic journal (a Z report is the day's end alone), its paper
// collected, the utility started and connected to it from the connection page.
class ConnectedSession : public UtilitySession {
  protected:
    void SetUp() override;
};

}  // namespace utiltest
