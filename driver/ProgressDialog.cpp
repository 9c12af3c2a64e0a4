// The progress dialog: its template, its handlers and the start of the worker.
#include "ProgressDialog.h"

#include <commctrl.h>
#include <process.h>

#include <cstring>
#include <new>

#include "DrvKeltorResult.h"
#include "DrvKeltorText.h"
#include "RoutineTrace.h"

namespace {

const OLECHAR kDialogTitle[] = OLESTR("Ждите...");
const OLECHAR kDialogFont[] = OLESTR("MS Shell Dlg");
const OLECHAR kProgressClass[] = OLESTR("msctls_progress32");
constexpr WORD kDialogFontSize = 8;

// No system menu and no buttons: the user cannot end the dialog.
constexpr DWORD kDialogStyle = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_VISIBLE;
constexpr DWORD kBarStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | PBS_SMOOTH;

class TemplateWriter {
  public:
    template <class T>
    void Put(const T& value) {
        const BYTE* bytes = reinterpret_cast<const BYTE*>(&value);
        m_bytes.insert(m_bytes.end(), bytes, bytes + sizeof value);
    }
    void PutText(const OLECHAR* text) {
        for (; *text; ++text) {
            Put<WORD>(static_cast<WORD>(*text));
        }
        Put<WORD>(0);
    }
    void AlignToDword() {
        while (m_bytes.size() % sizeof(DWORD) != 0) {
            m_bytes.push_back(0);
        }
    }
    std::vector<DWORD> Take() {
        AlignToDword();
        std::vector<DWORD> words(m_bytes.size() / sizeof(DWORD));
        std::memcpy(words.data(), m_bytes.data(), m_bytes.size());
        return words;
    }

  private:
    std::vector<BYTE> m_bytes;
};

LPCSTR CaptionOf(DWORD kind) {
    switch (kind) {
        case kWorkPortScan:
            return "Сканирование портов:";
        case kWorkJournalRead:
            return "Чтение электронного журнала";
        case kWorkFileWrite:
            return "Запись файла";
        default:
            return nullptr;
    }
}

using WorkerBody = unsigned(WINAPI*)(void*);

WorkerBody WorkerOf(DWORD kind) {
    switch (kind) {
        case kWorkPortScan:
            return AutodetectThread;
        case kWorkJournalRead:
            return ReadEJThread;
        case kWorkFileWrite:
            return WriteFileThread;
        default:
            return nullptr;
    }
}

}  // namespace

std::vector<DWORD> BuildProgressDialogTemplate() {
    try {
        TemplateWriter writer;
        DLGTEMPLATE dialog = {};
        dialog.style = kDialogStyle;
        dialog.cdit = 1;
        dialog.cx = 233;
        dialog.cy = 31;
        writer.Put(dialog);
        writer.Put<WORD>(0);  // no menu
        writer.Put<WORD>(0);  // the standard dialog class
        writer.PutText(kDialogTitle);
        writer.Put<WORD>(kDialogFontSize);
        writer.PutText(kDialogFont);
        writer.AlignToDword();
        DLGITEMTEMPLATE bar = {};
        bar.style = kBarStyle;
        bar.x = 7;
        bar.y = 7;
        bar.cx = 219;
        bar.cy = 17;
        bar.id = kProgressBarId;
        writer.Put(bar);
        writer.PutText(kProgressClass);
        writer.Put<WORD>(0);  // no title
        writer.Put<WORD>(0);  // no creation data
        return writer.Take();
    } catch (const std::bad_alloc&) {
        return {};
    }
}

const DLGTEMPLATE* CProgressDialog::Template() {
    // The bar's window class belongs to the common controls, which register it on request.
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    if (!InitCommonControlsEx(&controls)) {
        return nullptr;
    }
    if (m_template.empty()) {
        m_template = BuildProgressDialogTemplate();
    }
    return m_template.empty() ? nullptr : reinterpret_cast<const DLGTEMPLATE*>(m_template.data());
}

BOOL CProgressDialog::PreTranslateMessage(MSG* message) {
    if (message->message == WM_KEYDOWN || message->message == WM_KEYUP) {
        const CRoutineTrace trace("CProgressDialog::PreTranslateMessage");
        trace.Done(static_cast<int>(message->message));
        return TRUE;
    }
    return CModalDialog::PreTranslateMessage(message);
}

BOOL CProgressDialog::OnInitDialog() {
    const CRoutineTrace trace("CProgressDialog::OnInitDialog");
    CModalDialog::OnInitDialog();
    m_work->dialog = m_hWnd;
    HWND bar = GetDlgItem(m_hWnd, kProgressBarId);
    SendMessageA(bar, PBM_SETRANGE32, m_work->progressMinimum, m_work->progressMaximum);
    SendMessageA(bar, PBM_SETSTEP, m_work->progressStep, 0);
    if (LPCSTR caption = CaptionOf(m_work->kind)) {
        SetCaption(m_hWnd, caption);
    }
    if (!StartWorker()) {
        // Nothing would ever end the dialog: it ends at once with the failure.
        m_work->result = kDriverWorkerStartFailed;
        EndDialog(IDCANCEL);
    }
    trace.Done(static_cast<int>(m_work->threadId));
    if (m_work->thread) {
        ResumeThread(m_work->thread);
    }
    return TRUE;
}

bool CProgressDialog::StartWorker() {
    WorkerBody body = WorkerOf(m_work->kind);
    if (!body) {
        return false;
    }
    unsigned id = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, body, m_work, CREATE_SUSPENDED, &id);
    if (thread == 0) {
        return false;
    }
    m_work->thread = reinterpret_cast<HANDLE>(thread);
    m_work->threadId = id;
    return true;
}

void CProgressDialog::OnOK() {
    const CRoutineTrace trace("CProgressDialog::OnOK");
    EndDialog(IDOK);
    trace.Done(IDOK);
}

void CProgressDialog::OnCancel() {
    const CRoutineTrace trace("CProgressDialog::OnCancel");
    EndDialog(IDCANCEL);
    trace.Done(IDCANCEL);
}

BOOL CProgressDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kEndModalExMessage) {
        OnEndModalEx(wParam, lParam);
        return TRUE;
    }
    return CModalDialog::OnMessage(message, wParam, lParam);
}

LRESULT CProgressDialog::OnEndModalEx(WPARAM wParam, LPARAM) {
    const CRoutineTrace trace("CProgressDialog::OnEndModalEx");
    EndDialog(static_cast<INT_PTR>(wParam));
    trace.Done(static_cast<int>(wParam));
    return 0;
}
