// The main dialog: the page tree on the left, the selected page beside it, the status panel
// (what the printer's status words say, and why it is blocked) below.
#pragma once

#include <QDialog>
#include <vector>

#include "TabPage.h"

class QListWidget;
class QStackedWidget;
class QTreeWidget;
class QTreeWidgetItem;

class CDrvKeltortestDlg : public QDialog {
  public:
    explicit CDrvKeltortestDlg(CPageContext& context);

    // Places a page in the tree under its parent page (which must be added before it).
    void AddPage(CTabPage* page);
    const std::vector<CTabPage*>& Pages() const { return m_pages; }
    CTabPage* FindPage(const QString& title) const;
    // Selects a page, creating it the first time.
    void SelectPage(CTabPage* page);
    CTabPage* CurrentPage() const { return m_current; }

    // Re-reads the status panel after the calls that are running now (posted).
    void RequestRefresh();
    // Reads the panel now: both lists emptied, then filled from the driver's properties. Not
    // while calls are recorded, nor inside another call into the driver.
    void RefreshStatus();
    QListWidget* StatusList() const { return m_status; }
    QListWidget* BlockingList() const { return m_blocking; }
    QTreeWidget* Tree() const { return m_tree; }

    void ShowAbout();

  private:
    void PageChanged(QTreeWidgetItem* item);

    CPageContext& m_context;
    QTreeWidget* m_tree;
    QStackedWidget* m_area;
    QListWidget* m_status;
    QListWidget* m_blocking;
    std::vector<CTabPage*> m_pages;
    std::vector<QTreeWidgetItem*> m_items;
    CTabPage* m_current = nullptr;
    bool m_refreshPosted = false;
    bool m_refreshWaiting = false;  // asked for while a call ran
};

// "Тест драйвера ФР" and the product version of the running program.
QString MainTitle();
// The program's product version from its version resource; empty without one.
QString ProductVersion();
