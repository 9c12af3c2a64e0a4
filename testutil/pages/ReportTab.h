// "Отчеты": reports, the day's opening, the cashier, and the electronic journal.
#pragma once

#include "TabPage.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;

class CReportTab : public CTabPage {
  public:
    CReportTab(CPageContext& context, CTabPage* parentPage);

  protected:
    void Build() override;

  private:
    QDateTimeEdit* m_fromDate = nullptr;
    QDateTimeEdit* m_toDate = nullptr;
    QLineEdit* m_fromNumber = nullptr;
    QLineEdit* m_toNumber = nullptr;
    QCheckBox* m_detailed = nullptr;
    QLineEdit* m_cashier = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_journalPath = nullptr;
    QLineEdit* m_journalCrc = nullptr;
};
