// The pages whose controls are not built yet: each is a title in the tree.
#include "AnsiText.h"
#include "Pages.h"

#define FRAME_PAGE(Class, title)                              \
    Class::Class(CPageContext& context, CTabPage* parentPage) \
        : CTabPage(FromAnsi(title), parentPage, context) {}   \
    void Class::Build() {}

FRAME_PAGE(CReportTab, "Отчеты")
FRAME_PAGE(CRegistrationTab, "Регистрация")
FRAME_PAGE(CSessionStatsTab, "Статистика по смене")
FRAME_PAGE(CReceiptStatsTab, "Статистика по чеку")
FRAME_PAGE(CCashierStatsTab, "Статистика по кассиру")
FRAME_PAGE(CEcrSettingsTab, "Настройки")
FRAME_PAGE(CReceiptformTab, "Печатные формы")
FRAME_PAGE(CPaySettingsTab, "Платежи")
FRAME_PAGE(CDeptSettingsTab, "Отделы")
FRAME_PAGE(CCurrSettingsTab, "Валюта")
FRAME_PAGE(CDebugTab, "Отладка")
FRAME_PAGE(CSknoTab, "СКНО")
