// "СКНО": the tax authorities' control unit: its status and checksum, its identifier, its
// commands, unlocking and replacing it.
#pragma once

#include "TabPage.h"

class QComboBox;
class QLineEdit;

class CSknoTab : public CTabPage {
  public:
    CSknoTab(CPageContext& context, CTabPage* parentPage);

  protected:
    void Build() override;

  private:
    QLineEdit* m_status = nullptr;
    QLineEdit* m_crc = nullptr;
    QLineEdit* m_uid = nullptr;
    QComboBox* m_command = nullptr;
    QLineEdit* m_answer = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_serial = nullptr;
    QLineEdit* m_register = nullptr;
    QLineEdit* m_printerName = nullptr;
};
