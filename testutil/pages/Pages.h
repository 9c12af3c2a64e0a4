// The utility's thirteen pages, in the order they are created and placed in the tree.
#pragma once

#include <QComboBox>
#include <QStringList>

#include "DrvKeltortestDlg.h"
#include "TabPage.h"

class QCheckBox;

// Creates every page and adds it to the dialog's tree.
void CreatePages(CDrvKeltortestDlg& dialog, CPageContext& context);

class CConnectionTab : public CTabPage {
  public:
    CConnectionTab(CPageContext& context);
    // The ports the system lists, "COM1", "COM2", ...: the port map's text values whose data is
    // "com" (in any case) and a positive number.
    static QStringList SerialPorts();
    static const QStringList& Speeds();

    QComboBox* PortList() const { return m_ports; }
    QComboBox* SpeedList() const { return m_speeds; }
    QCheckBox* SuppressAutodetectBox() const { return m_suppress; }

  protected:
    void Build() override;

  private:
    void ConnectPrinter(CCalls& calls);
    // Selects `text` in `list`, adding it when it is not there.
    static void Choose(QComboBox* list, const QString& text);

    QComboBox* m_ports = nullptr;
    QComboBox* m_speeds = nullptr;
    QCheckBox* m_suppress = nullptr;
};

#include "DebugTab.h"
#include "EcrSettingsTab.h"
#include "ReceiptformTab.h"
#include "RegistrationTab.h"
#include "ReportTab.h"
#include "SknoTab.h"
#include "StatsPages.h"
#include "TablePages.h"
