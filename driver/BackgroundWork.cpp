// Background work: the progress dialog's run, the progress reports and the worker bodies.
#include "BackgroundWork.h"

#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>

#include "DrvKeltorResult.h"
#include "DrvKeltorText.h"
#include "ProgressDialog.h"
#include "RoutineTrace.h"

namespace {

// More room than this is needed after the text for the number to be shown.
constexpr size_t kNumberRoom = 16;
// Gives the user time to read the caption; the port scan waits this long per attempt.
constexpr DWORD kProgressPauseMs = 100;

// The dialog of the work that runs now; one at a time in the process.
std::atomic<CProgressDialog*> g_progressDialog{nullptr};
std::atomic<WorkDescriptor*> g_runningWork{nullptr};

using Task = int (*)(WorkDescriptor& work);

// The body all three workers share.
unsigned RunWorker(void* argument, LPCSTR name, Task task) {
    const CRoutineTrace trace(name);
    WorkDescriptor& work = *static_cast<WorkDescriptor*>(argument);
    const HRESULT initialized = CoInitialize(nullptr);
    if (SUCCEEDED(initialized) && work.device) {
        work.result = task(work);
    } else {
        // The dialog still has to hear of it, and not as a success.
        work.result = kDriverWorkerInitFailed;
    }
    NotifyProgressDone(&work);
    if (SUCCEEDED(initialized)) {
        CoUninitialize();
    }
    return static_cast<unsigned>(trace.Done(work.result));
}

int ScanPorts(WorkDescriptor& work) {
    int port = static_cast<int>(work.firstValue);
    DWORD baud = 0;
    const int result = work.device->FindPrinter(&port, &baud, ReportProgressToDialog, work.dialog);
    if (result == 0) {
        work.firstValue = static_cast<DWORD_PTR>(port);
        work.secondValue = baud;
    }
    return result;
}

int ReadJournalBlocks(WorkDescriptor& work) {
    // The buffer holds the bytes and their terminator; a size that leaves no room for it wraps
    // the capacity to 0, which the reader refuses.
    return work.device->ReadJournal(static_cast<DWORD>(work.firstValue), work.secondValue,
                                    work.buffer, work.bufferSize + 1, work.bufferSize,
                                    ReportProgressToDialog, work.dialog);
}

int WriteFileBlocks(WorkDescriptor& work) {
    return work.device->UploadFileData(reinterpret_cast<const BYTE*>(work.firstValue),
                                       work.secondValue, ReportProgressToDialog, work.dialog);
}

}  // namespace

WorkDescriptor* AllocateWork() {
    WorkDescriptor* work = new (std::nothrow) WorkDescriptor;
    if (work) {
        std::memset(work, 0, sizeof *work);
    }
    return work;
}

void ReleaseWork(WorkDescriptor* work) {
    if (!work) {
        return;
    }
    if (work->thread) {
        CloseHandle(work->thread);
    }
    delete work;
}

int RunProgress(WorkDescriptor* work) {
    const CRoutineTrace trace("CDrvKeltor::RunProgress");
    if (!work) {
        return trace.Done(kDriverWorkerStartFailed);
    }
    WorkDescriptor* idle = nullptr;
    if (!g_runningWork.compare_exchange_strong(idle, work)) {
        // A second worker would share the command layer's buffers with the first.
        return trace.Done(kDriverWorkerStartFailed);
    }
    CProgressDialog* dialog = new (std::nothrow) CProgressDialog(work);
    if (!dialog) {
        g_runningWork = nullptr;
        return trace.Done(kDriverWorkerStartFailed);
    }
    g_progressDialog = dialog;
    const INT_PTR end = dialog->DoModal(GetActiveWindow());
    // The worker may still be in its last steps; the descriptor must outlive them.
    if (work->thread) {
        WaitForSingleObject(work->thread, INFINITE);
    }
    g_progressDialog = nullptr;
    g_runningWork = nullptr;
    delete dialog;
    int result;
    if (end == -1 && !work->thread) {
        result = kDriverWorkerStartFailed;  // no dialog, no worker
    } else {
        result = end == IDOK ? 0 : work->result;
    }
    return trace.Done(result);
}

void ComposeProgressCaption(LPSTR caption, DWORD capacity, LPCSTR text, DWORD number) {
    if (!caption || capacity == 0) {
        return;
    }
    caption[capacity - 1] = '\0';
    size_t length = std::strlen(caption);
    if (LPSTR colon = std::strrchr(caption, ':')) {
        length = static_cast<size_t>(colon - caption) + 1;
        caption[length] = '\0';
    }
    const size_t textLength = text ? std::strlen(text) : 0;
    if (length + 1 + textLength < capacity) {
        caption[length++] = ' ';
        std::memcpy(caption + length, text, textLength);
        length += textLength;
        caption[length] = '\0';
    }
    if (capacity - 1 - length > kNumberRoom) {
        std::snprintf(caption + length, capacity - length, " %lu",
                      static_cast<unsigned long>(number));
    }
}

int UpdateProgress(HWND dialog, LPCSTR text, DWORD number) {
    const CRoutineTrace trace("CDrvKeltor::UpdateProgress");
    if (!IsWindow(dialog)) {
        return trace.Done(0);
    }
    HWND bar = GetDlgItem(dialog, kProgressBarId);
    int result;
    if (text && *text) {
        char caption[kCaptionCapacity] = {};
        GetCaption(dialog, caption, sizeof caption);
        ComposeProgressCaption(caption, sizeof caption, text, number);
        SetCaption(dialog, caption);
        result = PostMessageA(bar, PBM_STEPIT, 0, 0);
        Sleep(kProgressPauseMs);
    } else if (number >= 2) {
        result = PostMessageA(bar, PBM_SETPOS, number, 0);
    } else {
        result = PostMessageA(bar, PBM_STEPIT, 0, 0);
    }
    return trace.Done(result);
}

void ReportProgressToDialog(LPVOID dialog, LPCSTR text, DWORD number) {
    UpdateProgress(static_cast<HWND>(dialog), text, number);
}

void NotifyProgressDone(WorkDescriptor* work) {
    const CRoutineTrace trace("CDrvKeltor::NotifyProgressDone");
    if (work && IsWindow(work->dialog)) {
        SendNotifyMessageA(work->dialog, WM_COMMAND, work->result == 0 ? IDOK : IDCANCEL, 0);
        Sleep(kProgressPauseMs);
    }
    trace.Done(0);
}

unsigned WINAPI AutodetectThread(void* work) {
    return RunWorker(work, "CDrvKeltor::AutodetectThread", ScanPorts);
}

unsigned WINAPI ReadEJThread(void* work) {
    return RunWorker(work, "CDrvKeltor::ReadEJThread", ReadJournalBlocks);
}

unsigned WINAPI WriteFileThread(void* work) {
    return RunWorker(work, "CDrvKeltor::WriteFileThread", WriteFileBlocks);
}

void CloseProgressWindow(CBrontal* device) {
    WorkDescriptor* work = g_runningWork;
    CProgressDialog* dialog = g_progressDialog;
    if (!device || !work || !dialog || work->device != device) {
        return;
    }
    if (IsWindow(dialog->GetSafeHwnd())) {
        DestroyWindow(dialog->GetSafeHwnd());
    }
    // With the window gone the worker no longer waits for it; the device must outlive it.
    if (work->thread) {
        WaitForSingleObject(work->thread, INFINITE);
    }
}
