// "Отладка": the driver's traces, raw commands, the electronic journal read by offset and size,
// the fiscal reset, and the automatic sales test.
#pragma once

#include "SalesTest.h"
#include "TabPage.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;

class CDebugTab : public CTabPage {
  public:
    CDebugTab(CPageContext& context, CTabPage* parentPage);

    // The sales test with `parameters` in the page pattern: recorded calls go first, the first
    // failing call stops it and is shown. False when it did not go through.
    bool RunSalesTest(const salestest::SalesTestParameters& parameters);
    const salestest::SalesTestReport& LastSalesTest() const { return m_report; }
    // The raw command text as typed: markers kept, line breaks removed.
    static QString CommandText(const QString& typed);

  protected:
    void Build() override;

  private:
    void BuildTrace(int row);
    void BuildRaw(int row);
    void BuildJournal(int row);
    void InsertMarker(const QString& marker);
    void StartSalesTest();

    QLineEdit* m_tracePath = nullptr;
    QLineEdit* m_traceMask = nullptr;
    QLabel* m_traceFile = nullptr;
    QPlainTextEdit* m_command = nullptr;
    QPlainTextEdit* m_reply = nullptr;
    QLabel* m_replyHeader = nullptr;
    QLineEdit* m_offset = nullptr;
    QLineEdit* m_size = nullptr;
    QPlainTextEdit* m_journal = nullptr;
    QLineEdit* m_textToPrint = nullptr;
    QLabel* m_salesResult = nullptr;
    salestest::SalesTestReport m_report;
};
