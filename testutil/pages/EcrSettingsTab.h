// "Настройки": the printer's settings, its clock and name, and the whole settings document saved
// to or loaded from a file of the person's choice.
#pragma once

#include "TabPage.h"

class QCheckBox;
class QDateTimeEdit;
class QLineEdit;

class CEcrSettingsTab : public CTabPage {
  public:
    CEcrSettingsTab(CPageContext& context, CTabPage* parentPage);

    // The settings document into `fileName`; false after its message.
    bool SaveSettingsTo(const QString& fileName);
    // The settings document from `fileName` (a fresh one when it cannot be loaded, after its
    // message); the built pages then read their lists again.
    bool LoadSettingsFrom(const QString& fileName);

  protected:
    void Build() override;

  private:
    QLineEdit* m_minBill = nullptr;
    QDateTimeEdit* m_dateTime = nullptr;
    QLineEdit* m_options = nullptr;
    QCheckBox* m_journalPresent = nullptr;
    QCheckBox* m_controlUnitPresent = nullptr;
    QLineEdit* m_printerName = nullptr;
};
