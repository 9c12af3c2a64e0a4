// The modal dialog base: dialog procedure, message-filter hook and default handlers.
#include "ModalDialog.h"

namespace {

// The innermost dialog running on this thread and the one hook that serves all of them.
thread_local CModalDialog* t_current = nullptr;
thread_local HHOOK t_filter = nullptr;

}  // namespace

INT_PTR CModalDialog::DoModal(HWND parent) {
    const DLGTEMPLATE* dialogTemplate = Template();
    if (!dialogTemplate) {
        return -1;
    }
    const bool outermost = t_current == nullptr;
    if (outermost) {
        t_filter = SetWindowsHookExA(WH_MSGFILTER, FilterHook, nullptr, GetCurrentThreadId());
    }
    m_outer = t_current;
    t_current = this;
    // A Unicode window: its caption keeps the driver's Russian texts whatever the system's ANSI
    // code page.
    const INT_PTR result = DialogBoxIndirectParamW(nullptr, dialogTemplate, parent, DialogProc,
                                                   reinterpret_cast<LPARAM>(this));
    t_current = m_outer;
    m_outer = nullptr;
    m_hWnd = nullptr;
    if (outermost && t_filter) {
        UnhookWindowsHookEx(t_filter);
        t_filter = nullptr;
    }
    return result;
}

void CModalDialog::EndDialog(INT_PTR result) {
    if (m_hWnd) {
        ::EndDialog(m_hWnd, result);
    }
}

BOOL CModalDialog::PreTranslateMessage(MSG*) {
    return FALSE;
}

BOOL CModalDialog::OnInitDialog() {
    return TRUE;
}

void CModalDialog::OnOK() {
    EndDialog(IDOK);
}

void CModalDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

BOOL CModalDialog::OnMessage(UINT, WPARAM, LPARAM) {
    return FALSE;
}

INT_PTR CALLBACK CModalDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        CModalDialog* self = reinterpret_cast<CModalDialog*>(lParam);
        SetWindowLongPtrA(window, DWLP_USER, lParam);
        self->m_hWnd = window;
        return self->OnInitDialog();
    }
    CModalDialog* self = reinterpret_cast<CModalDialog*>(GetWindowLongPtrA(window, DWLP_USER));
    if (!self) {
        return FALSE;
    }
    if (message == WM_COMMAND) {
        switch (LOWORD(wParam)) {
            case IDOK:
                self->OnOK();
                return TRUE;
            case IDCANCEL:
                self->OnCancel();
                return TRUE;
            default:
                break;
        }
    }
    return self->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK CModalDialog::FilterHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_DIALOGBOX && t_current &&
        t_current->PreTranslateMessage(reinterpret_cast<MSG*>(lParam))) {
        return TRUE;
    }
    return CallNextHookEx(t_filter, code, wParam, lParam);
}
