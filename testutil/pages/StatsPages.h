// The statistics pages: a request chosen from a list, its inputs, and every result property
// shown beside its name after the request.
#pragma once

#include <vector>

#include "TabPage.h"

class QComboBox;
class QLineEdit;
class QTableWidget;

class CStatsPage : public CTabPage {
  public:
    QTableWidget* Results() const { return m_results; }

  protected:
    CStatsPage(const QString& title, CTabPage* parentPage, CPageContext& context,
               std::vector<const DrvMember*> requests, std::vector<const DrvMember*> results);
    void Build() override;
    // Fields a page adds above the request (row 0 up); the row after them.
    virtual int BuildInputs(int row);
    // Puts the page's own inputs before the request.
    virtual void PutInputs(CCalls&) {}
    // Which request inputs the page has.
    bool m_hasSession = true;

  private:
    void Request(CCalls& calls);
    void ShowResults(CCalls& calls);

    std::vector<const DrvMember*> m_requests;
    std::vector<const DrvMember*> m_resultMembers;
    QComboBox* m_request = nullptr;
    QLineEdit* m_session = nullptr;
    QLineEdit* m_department = nullptr;
    QLineEdit* m_currency = nullptr;
    QLineEdit* m_facility = nullptr;
    QTableWidget* m_results = nullptr;
};

class CSessionStatsTab : public CStatsPage {
  public:
    CSessionStatsTab(CPageContext& context, CTabPage* parentPage);
};

class CReceiptStatsTab : public CStatsPage {
  public:
    CReceiptStatsTab(CPageContext& context, CTabPage* parentPage);

  protected:
    int BuildInputs(int row) override;
    void PutInputs(CCalls& calls) override;

  private:
    QComboBox* m_receiptKind = nullptr;
    QLineEdit* m_documentNumber = nullptr;
    QLineEdit* m_sessionNumber = nullptr;
    QLineEdit* m_receiptNumber = nullptr;
};

class CCashierStatsTab : public CStatsPage {
  public:
    CCashierStatsTab(CPageContext& context, CTabPage* parentPage);
};
