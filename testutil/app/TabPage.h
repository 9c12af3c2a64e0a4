// CTabPage: one page of the utility's tree. A page is a small class that declares its controls
// and the driver members they call (Build); the frame gives it the common action pattern:
// validate, call the driver, write the results back, show the driver's description on failure,
// and have the main window re-read the status panel.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <initializer_list>

#include "Calls.h"

class CSimpleXML;
class QGridLayout;
class QLineEdit;
class QPushButton;

enum class FileChoice { Open, Save };

// What every page shares.
struct CPageContext {
    CDrvKeltor* driver = nullptr;    // null: the pages call nothing
    CSimpleXML* settings = nullptr;  // null: nothing is remembered
    std::function<void()> refresh;   // the main window re-reads the status panel (posted)
    // The file and folder dialogs: a path, or empty when the person cancelled.
    std::function<QString(QWidget* parent, FileChoice choice, const QString& title,
                          const QString& filter)>
        chooseFile;
    std::function<QString(QWidget* parent, const QString& title)> chooseFolder;
    // The settings document was loaded anew: every built page reads its lists from it again.
    std::function<void()> settingsReloaded;
};

using MemberList = std::initializer_list<const DrvMember*>;

class CTabPage : public QWidget {
  public:
    CTabPage(const QString& title, CTabPage* parentPage, CPageContext& context);

    const QString& Title() const { return m_title; }
    CTabPage* ParentPage() const { return m_parentPage; }
    bool IsCreated() const { return m_created; }
    // Builds the controls the first time the page is selected.
    void EnsureCreated();
    // The settings document was replaced or reloaded: a page that shows remembered values
    // reads them again.
    virtual void SettingsReloaded() {}

    // The members a control calls, as its tooltip names them: "PayCash | RepayCash".
    static QString MemberNames(MemberList members);

    // The page pattern around `body`; false when nothing was called (no driver, controls that
    // do not validate) or a call failed.
    bool Act(const std::function<void(CCalls&)>& body);
    // Shows why `hr` failed: the driver's description after a dispatch error.
    void ReportFailure(HRESULT hr);

  protected:
    virtual void Build() = 0;
    // Checks the controls before a call; shows its own message when it refuses.
    virtual bool Validate() { return true; }

    CPageContext& Context() { return m_context; }
    CDrvKeltor* Driver() const { return m_context.driver; }
    CSimpleXML* Settings() const { return m_context.settings; }
    QGridLayout* Grid() const { return m_grid; }
    // A button whose tooltip names `members` and whose click runs `body` in the page pattern.
    QPushButton* AddButton(int row, int column, const QString& text, MemberList members,
                           std::function<void(CCalls&)> body, int columnSpan = 1);
    QPushButton* AddButton(QGridLayout* grid, int row, int column, const QString& text,
                           MemberList members, std::function<void(CCalls&)> body,
                           int columnSpan = 1);
    // The money or number in `field`; refuses the action (naming the field) when it does not
    // parse. False then, and for an action already failed.
    bool Money(CCalls& calls, const QLineEdit* field, LONGLONG* value);
    bool Number(CCalls& calls, const QLineEdit* field, LONG minimum, LONG maximum, LONG* value);
    // Names the field whose text does not parse and puts the focus on it.
    void RefuseField(CCalls& calls, const QLineEdit* field);

  private:
    QString m_title;
    CTabPage* m_parentPage;
    CPageContext& m_context;
    QGridLayout* m_grid;
    bool m_created = false;
};
