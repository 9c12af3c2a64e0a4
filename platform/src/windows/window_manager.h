// Windows and message queues behind winuser.h.
//
// One lock guards the window table and every thread's queue. Window procedures, hooks and
// presenter callbacks are always called with the lock released, on the window's own thread.
#pragma once

#include <windows.h>
#include <winuser.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace brontal::window {

enum class WindowKind { Dialog, Progress };

struct ProgressState {
    int minimum = 0;
    int maximum = 100;
    int step = 10;
    int position = 0;
};

struct ThreadQueue;

struct Window {
    HWND handle = nullptr;
    WindowKind kind = WindowKind::Dialog;
    DWORD threadId = 0;
    std::shared_ptr<ThreadQueue> queue;
    HWND parent = nullptr;  // the owner of a dialog, the dialog of a control
    std::vector<HWND> children;
    DWORD style = 0;
    LONG_PTR id = 0;
    LONG_PTR userData = 0;
    std::string text;  // ANSI
    // Dialogs.
    DLGPROC dialogProc = nullptr;
    LONG_PTR messageResult = 0;
    LONG_PTR dialogUser = 0;
    bool shown = false;  // the presenter has heard of it
    bool ended = false;
    INT_PTR endCode = 0;
    // Progress bars.
    ProgressState progress;
};

// A message sent to another thread's window; `waiting` senders sleep until `done`.
struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    bool waiting = false;
    bool done = false;
    LRESULT result = 0;
    std::shared_ptr<ThreadQueue> sender;
};

struct Hook {
    HHOOK handle = nullptr;
    HOOKPROC proc = nullptr;
};

struct ThreadQueue {
    DWORD threadId = 0;
    bool alive = true;
    std::deque<MSG> posted;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::condition_variable wakeup;
    HWND active = nullptr;
    std::vector<Hook> hooks;  // newest first
};

std::mutex& WindowLock();

// The calling thread's queue, made on first use; it dies with the thread, taking the thread's
// windows with it and answering what was sent to them.
std::shared_ptr<ThreadQueue> CurrentQueue();

// ---- with the lock held ----

std::shared_ptr<Window> FindWindow(HWND hwnd);
// A new window of the calling thread in the table.
std::shared_ptr<Window> InsertWindow(WindowKind kind, const std::shared_ptr<ThreadQueue>& queue);
// True when `child` is `ancestor` or lies below it.
bool IsWithin(HWND ancestor, HWND child);
// Answers every message waiting for `hwnd` (sent or posted) and drops it.
void DropMessagesFor(ThreadQueue& queue, HWND hwnd);
void Complete(SentMessage& message, LRESULT result);

// WM_GETTEXT: the text cut to the buffer of `capacity` characters, terminated; its length.
LRESULT CopyWindowText(const std::string& text, WPARAM capacity, LPARAM buffer);
// WM_SETTEXT, WM_GETTEXT and WM_GETTEXTLENGTH on the window's own text, as every window class here
// handles them: true with the message's result, false for any other message.
bool HandleTextMessage(Window& window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// ---- without the lock ----

// Runs the window's procedure on the calling thread (its owner); 0 for a window that is gone.
LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Handles sent messages and takes the first posted one that matches the filter (null window and
// 0, 0 match everything). With `wait`, sleeps until there is one or `stop` (called with the lock
// held) says true, or, with a `patienceMs` of 0 or more, until that long passed without either.
// False when none was taken.
bool NextMessage(const std::shared_ptr<ThreadQueue>& queue, MSG* message, HWND hwnd, UINT first,
                 UINT last, bool wait, bool remove, const std::function<bool()>& stop,
                 int patienceMs = -1);

// The calling thread's message-filter hooks; nonzero drops the message.
LRESULT CallMessageFilter(int code, MSG* message);

// ---- presenter ----

void PresentShown(HWND dialog);
void PresentCaption(HWND dialog, const std::string& caption);
void PresentProgress(HWND dialog, HWND bar, const ProgressState& state);
void PresentEnded(HWND dialog, INT_PTR result);
// Whether the presenter wants to hear of idle loops, and telling it of one.
bool PresenterWantsIdle();
void PresentIdle(HWND dialog);

}  // namespace brontal::window
