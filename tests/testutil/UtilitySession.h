// Fixtures of the utility's GUI tests: the component registered in a fresh registry, the virtual
// printer on a pseudo-terminal COM port, the utility started in-process (offscreen), message
// boxes answered and recorded, screenshots saved under the build tree.
#pragma once

#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "DrvKeltortestApp.h"
#include "ToolRunner.h"

class QWidget;
class QListWidget;

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

  private:
    void Poll();
    QTimer m_timer;
    QStringList m_texts;
    std::vector<bool> m_answers;
};

// A PNG of the widget as it shows now, in <build>/screenshots/testutil/<name>.png; the path.
std::string SaveScreenshot(QWidget* widget, const std::string& name);

// The texts of a list box, top to bottom.
QStringList Items(const QListWidget* list);
// UTF-8 source text as a QString.
QString Q(const char* utf8);
// Runs what is posted (refreshes, deferred deletes) until nothing is left.
void Settle();

// The component, the printer and the utility.
class UtilitySession : public tooltest::ToolSession {
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
    // The codes of the requests the printer executed since `from`.
    std::vector<std::string> CodesSince(size_t from) const;

    std::unique_ptr<CDrvKeltortestApp> app_;
    std::unique_ptr<CMessageWatcher> messages_;

  private:
    CTabPage* Page_(const char* utf8Title);
};

}  // namespace utiltest
