#include "DrvKeltortestDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "AboutDlg.h"
#include "AnsiText.h"
#include "StatusPanel.h"

namespace {

constexpr int kPageGap = 12;  // between the tree and the page area

}  // namespace

CDrvKeltortestDlg::CDrvKeltortestDlg(CPageContext& context)
    : m_context(context),
      m_tree(new QTreeWidget(this)),
      m_area(new QStackedWidget(this)),
      m_status(new QListWidget(this)),
      m_blocking(new QListWidget(this)) {
    setObjectName(QStringLiteral("mainDialog"));
    setWindowTitle(MainTitle());
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    m_tree->setHeaderHidden(true);
    m_tree->setObjectName(QStringLiteral("pageTree"));
    m_tree->setMinimumWidth(200);
    m_status->setObjectName(QStringLiteral("statusList"));
    m_blocking->setObjectName(QStringLiteral("blockingList"));
    m_status->setMaximumHeight(110);
    m_blocking->setMaximumHeight(110);

    auto* top = new QHBoxLayout;
    top->setSpacing(kPageGap);
    top->addWidget(m_tree);
    top->addWidget(m_area, 1);

    auto* panel = new QHBoxLayout;
    panel->addWidget(m_status);
    panel->addWidget(m_blocking);
    auto* buttons = new QVBoxLayout;
    auto* about = new QPushButton(FromAnsi("&About DrvKeltortest..."), this);
    auto* close = new QPushButton(FromAnsi("Закрыть"), this);
    about->setAutoDefault(false);
    close->setAutoDefault(false);
    buttons->addWidget(about);
    buttons->addStretch(1);
    buttons->addWidget(close);
    panel->addLayout(buttons);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(new QLabel(FromAnsi("Состояние принтера:"), this));
    layout->addLayout(panel);

    connect(about, &QPushButton::clicked, this, &CDrvKeltortestDlg::ShowAbout);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item, QTreeWidgetItem*) { PageChanged(item); });
    if (m_context.driver) {
        m_context.driver->SetAfterCall([this] {
            if (m_refreshWaiting) {
                m_refreshWaiting = false;
                RequestRefresh();
            }
        });
    }
}

void CDrvKeltortestDlg::AddPage(CTabPage* page) {
    QTreeWidgetItem* item = nullptr;
    CTabPage* parentPage = page->ParentPage();
    for (size_t i = 0; parentPage && i < m_pages.size(); ++i) {
        if (m_pages[i] == parentPage) {
            item = new QTreeWidgetItem(m_items[i], QStringList(page->Title()));
            m_items[i]->setExpanded(true);
        }
    }
    if (!item) {
        item = new QTreeWidgetItem(m_tree, QStringList(page->Title()));
    }
    page->setParent(m_area);
    m_area->addWidget(page);
    m_pages.push_back(page);
    m_items.push_back(item);
}

CTabPage* CDrvKeltortestDlg::FindPage(const QString& title) const {
    for (CTabPage* page : m_pages) {
        if (page->Title() == title) {
            return page;
        }
    }
    return nullptr;
}

void CDrvKeltortestDlg::SelectPage(CTabPage* page) {
    for (size_t i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i] == page) {
            m_tree->setCurrentItem(m_items[i]);
        }
    }
}

void CDrvKeltortestDlg::PageChanged(QTreeWidgetItem* item) {
    CTabPage* next = nullptr;
    for (size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i] == item) {
            next = m_pages[i];
        }
    }
    if (!next || next == m_current) {
        return;
    }
    // Calls recorded on the page being left are sent now, in the page pattern of that page.
    CDrvKeltor* driver = m_context.driver;
    if (m_current && driver && driver->RecordedCount() > 0) {
        m_current->Act([driver](CCalls& calls) { calls.Step(driver->Flush()); });
    }
    next->EnsureCreated();
    m_area->setCurrentWidget(next);
    m_current = next;
}

void CDrvKeltortestDlg::RequestRefresh() {
    if (m_refreshPosted) {
        return;
    }
    m_refreshPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_refreshPosted = false;
            RefreshStatus();
        },
        Qt::QueuedConnection);
}

void CDrvKeltortestDlg::RefreshStatus() {
    CDrvKeltor* driver = m_context.driver;
    if (!driver || driver->Deferred()) {
        return;
    }
    if (driver->Busy()) {
        m_refreshWaiting = true;
        return;
    }
    m_status->clear();
    m_blocking->clear();
    bool blocked = false;
    for (const StatusLine& line : kStatusLines) {
        LONG value = 0;
        if (FAILED(driver->GetNumber(*line.member, &value))) {
            continue;
        }
        if ((value != 0) == line.whenSet) {
            m_status->addItem(FromAnsi(line.text));
            blocked = blocked || line.member == &drvmember::StateBlocked;
        }
    }
    if (!blocked) {
        return;
    }
    for (const StatusLine& line : kBlockingLines) {
        LONG value = 0;
        if (SUCCEEDED(driver->GetNumber(*line.member, &value)) && value != 0) {
            m_blocking->addItem(FromAnsi(line.text));
        }
    }
}

void CDrvKeltortestDlg::ShowAbout() {
    CAboutDlg about(this);
    about.exec();
}
