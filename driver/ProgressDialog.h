// The progress dialog of the background work: a captioned frame without buttons or system menu
// holding one smooth progress bar. It starts the worker when it is initialised and ends only when
// the worker tells it to (IDOK, IDCANCEL) or WM_USER+1 arrives; key messages are swallowed, so
// that Enter and Escape cannot close it.
#pragma once

#include <windows.h>
#include <winuser.h>

#include <vector>

#include "BackgroundWork.h"
#include "ModalDialog.h"

constexpr int kProgressDialogId = 15000;
constexpr int kProgressBarId = 15000;
// WM_USER+1: end the dialog with the code in wParam.
constexpr UINT kEndModalExMessage = WM_USER + 1;

class CProgressDialog : public CModalDialog {
  public:
    explicit CProgressDialog(WorkDescriptor* work) : m_work(work) {}

  protected:
    const DLGTEMPLATE* Template() override;
    BOOL PreTranslateMessage(MSG* message) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  private:
    LRESULT OnEndModalEx(WPARAM wParam, LPARAM lParam);
    // Creates the worker of the descriptor's kind suspended and lets it run; false when there is
    // none to start.
    bool StartWorker();

    WorkDescriptor* m_work;
    std::vector<DWORD> m_template;  // DWORD storage keeps the template's items aligned
};

// The dialog's template, 233 x 31 dialog units titled "Ждите..." in "MS Shell Dlg" 8 with the bar
// at 7, 7 sized 219 x 17; empty when it cannot be built.
std::vector<DWORD> BuildProgressDialogTemplate();
