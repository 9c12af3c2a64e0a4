#include "Pages.h"

#include "AnsiText.h"

void CreatePages(CDrvKeltortestDlg& dialog, CPageContext& context) {
    auto add = [&dialog](CTabPage* page) {
        dialog.AddPage(page);
        return page;
    };
    add(new CConnectionTab(context));
    add(new CReportTab(context, nullptr));
    add(new CRegistrationTab(context, nullptr));
    CTabPage* session = add(new CSessionStatsTab(context, nullptr));
    add(new CReceiptStatsTab(context, session));
    add(new CCashierStatsTab(context, session));
    CTabPage* settings = add(new CEcrSettingsTab(context, nullptr));
    add(new CReceiptformTab(context, settings));
    add(new CPaySettingsTab(context, settings));
    add(new CDeptSettingsTab(context, settings));
    add(new CCurrSettingsTab(context, settings));
    add(new CDebugTab(context, nullptr));
    add(new CSknoTab(context, nullptr));
}
