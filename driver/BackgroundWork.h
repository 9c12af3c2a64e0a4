// Background work: a long device task on a worker thread while the calling thread waits in the
// modal progress dialog.
//
// The operation allocates a work descriptor (AllocateWork), fills device, kind, progress range
// and step and its task values, and calls RunProgress. The dialog starts the worker, which runs
// the task with UpdateProgress as the command layer's progress callback, stores its result and
// tells the dialog to close (NotifyProgressDone). RunProgress returns once the dialog has ended
// and the worker has finished with the descriptor; the operation then reads the outputs and
// frees the descriptor with ReleaseWork.
//
// Thread-safety: RunProgress runs one piece of work at a time in the process (the command
// layer's buffers allow one exchange at a time); the descriptor is written by the worker before
// it notifies and read by the caller only after RunProgress returned.
#pragma once

#include <windows.h>
#include <winuser.h>

#include "Brontal.h"

enum WorkKind : DWORD {
    kWorkPortScan = 1,
    kWorkJournalRead = 2,
    kWorkFileWrite = 3,
};

struct WorkDescriptor {
    CBrontal* device;  // the printer; the worker does nothing without it
    HWND dialog;       // set by the dialog; progress and completion go here
    DWORD kind;        // WorkKind
    HANDLE thread;     // the worker, closed by ReleaseWork
    DWORD threadId;
    int result;  // the task's result code
    DWORD progressMinimum;
    DWORD progressMaximum;
    DWORD progressStep;
    // Port scan: found port and baud rate (outputs). Journal read: journal number and start
    // offset. File write: the data (a pointer) and its size in bytes.
    DWORD_PTR firstValue;
    DWORD secondValue;
    // Journal read: `bufferSize` bytes are read into `buffer`, which holds bufferSize + 1 bytes
    // (the terminator).
    LPSTR buffer;
    DWORD bufferSize;
};

// Zero-filled; null when it cannot be allocated (the operation then fails with -9402).
WorkDescriptor* AllocateWork();
// Closes the worker's handle and frees the descriptor; null is ignored.
void ReleaseWork(WorkDescriptor* work);

// Shows the progress dialog, owned by the calling thread's active window, until the worker has
// ended it, and waits for the worker. 0 when the dialog ended with IDOK, else the descriptor's
// result; -9402 without a descriptor, when the dialog cannot be created, or while other work
// runs.
int RunProgress(WorkDescriptor* work);

// The progress report of a task. With a text: the caption becomes its part up to the last colon,
// the text and the number; the bar steps; 100 ms pause. Without: the bar goes to `number` when it
// is 2 or more, else steps. 0 when the dialog is gone, else the result of posting to the bar.
int UpdateProgress(HWND dialog, LPCSTR text, DWORD number);
// UpdateProgress as the command layer's ProgressCallback; the context is the dialog window.
void ReportProgressToDialog(LPVOID dialog, LPCSTR text, DWORD number);
// The caption rule of UpdateProgress on a caption buffer of `capacity` bytes: cut behind the last
// colon, a space and `text` when they fit, a space and the number when more than 16 characters
// of room are left.
void ComposeProgressCaption(LPSTR caption, DWORD capacity, LPCSTR text, DWORD number);

// Ends the dialog from the worker: IDOK for a result of 0, IDCANCEL otherwise, sent without
// waiting; then a 100 ms pause. Nothing when the dialog is gone.
void NotifyProgressDone(WorkDescriptor* work);

// Worker bodies (thread entry points); each returns the descriptor's result.
unsigned WINAPI AutodetectThread(void* work);
unsigned WINAPI ReadEJThread(void* work);
unsigned WINAPI WriteFileThread(void* work);

// Destroys the progress window of work running on `device` (an object released from inside the
// dialog's loop) and waits until its worker has finished with the device.
void CloseProgressWindow(CBrontal* device);

// ---- port scan (Autodetect.cpp) ----

// The serial ports of the system's port list ("COMn" texts with n above 0); 0 without the list.
int GetSystemComPortCount();
// Searches every listed port at every speed behind the progress dialog: 0 with the port and baud
// rate found, -9402 when the work cannot be set up, or the search's failure.
int RunAutodetect(CBrontal* device, DWORD* port, DWORD* baud);
