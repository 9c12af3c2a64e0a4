// A modal dialog in the manner of the window framework: the dialog procedure calls the object's
// virtual handlers, and PreTranslateMessage sees every message of the modal loop before it is
// handled (through the thread's message-filter hook).
//
// Thread-safety: a dialog lives on the thread that runs DoModal; its handlers run there.
#pragma once

#include <windows.h>
#include <winuser.h>

class CModalDialog {
  public:
    CModalDialog() = default;
    virtual ~CModalDialog() = default;
    CModalDialog(const CModalDialog&) = delete;
    CModalDialog& operator=(const CModalDialog&) = delete;

    // Runs the dialog owned by `parent` until it is ended: the end code, -1 when it could not be
    // created.
    INT_PTR DoModal(HWND parent);
    HWND GetSafeHwnd() const { return m_hWnd; }
    void EndDialog(INT_PTR result);

  protected:
    // The dialog's in-memory template; null when it cannot be built.
    virtual const DLGTEMPLATE* Template() = 0;
    // In the order of the framework's virtual table. PreTranslateMessage returns TRUE for a
    // message that must go no further.
    virtual BOOL PreTranslateMessage(MSG* message);
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // The message map of the derived dialog: TRUE when it handled the message.
    virtual BOOL OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd = nullptr;

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK FilterHook(int code, WPARAM wParam, LPARAM lParam);

    CModalDialog* m_outer = nullptr;  // the dialog this one runs inside, on the same thread
};
