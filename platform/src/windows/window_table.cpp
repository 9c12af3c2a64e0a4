// The window table, the thread queues, window destruction and window data.
#include "window_manager.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace brontal::window {

namespace {

// Even numbers like Windows' handles; values are not reused until the counter wraps, so a
// handle of a destroyed window stays invalid.
constexpr std::uintptr_t kFirstWindow = 0x10010;
constexpr std::uintptr_t kLastWindow = 0x7FFFFFFE;

struct Table {
    std::unordered_map<std::uintptr_t, std::shared_ptr<Window>> windows;
    std::uintptr_t next = kFirstWindow;
};

// Never destroyed: threads may still end (and clean up) while the process exits.
Table& TheTable() {
    static Table* table = new Table;
    return *table;
}

void RemoveSubtree(HWND hwnd, std::vector<std::shared_ptr<Window>>& removed) {
    std::shared_ptr<Window> window = FindWindow(hwnd);
    if (!window) {
        return;
    }
    removed.push_back(window);
    for (HWND child : window->children) {
        RemoveSubtree(child, removed);
    }
}

// Takes the windows out of the table and answers what waits for them.
void Forget(const std::vector<std::shared_ptr<Window>>& windows) {
    Table& table = TheTable();
    for (const auto& window : windows) {
        table.windows.erase(reinterpret_cast<std::uintptr_t>(window->handle));
        DropMessagesFor(*window->queue, window->handle);
        if (window->queue->active == window->handle) {
            window->queue->active = nullptr;
        }
    }
    for (const auto& window : windows) {
        if (std::shared_ptr<Window> parent = FindWindow(window->parent)) {
            auto& siblings = parent->children;
            siblings.erase(std::remove(siblings.begin(), siblings.end(), window->handle),
                           siblings.end());
        }
    }
}

// Ends a thread's queue: its windows go, and what was sent to it is answered with 0.
struct QueueOwner {
    std::shared_ptr<ThreadQueue> queue;

    ~QueueOwner() {
        if (!queue) {
            return;
        }
        std::lock_guard<std::mutex> lock(WindowLock());
        queue->alive = false;
        std::vector<std::shared_ptr<Window>> owned;
        for (const auto& [value, window] : TheTable().windows) {
            if (window->queue == queue) {
                owned.push_back(window);
            }
        }
        Forget(owned);
        while (!queue->sent.empty()) {
            Complete(*queue->sent.front(), 0);
            queue->sent.pop_front();
        }
        queue->posted.clear();
        queue->hooks.clear();
    }
};

thread_local QueueOwner currentQueue;

}  // namespace

std::mutex& WindowLock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

std::shared_ptr<ThreadQueue> CurrentQueue() {
    if (!currentQueue.queue) {
        auto queue = std::make_shared<ThreadQueue>();
        queue->threadId = GetCurrentThreadId();
        currentQueue.queue = std::move(queue);
    }
    return currentQueue.queue;
}

std::shared_ptr<Window> FindWindow(HWND hwnd) {
    if (!hwnd) {
        return nullptr;
    }
    Table& table = TheTable();
    auto it = table.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == table.windows.end() ? nullptr : it->second;
}

std::shared_ptr<Window> InsertWindow(WindowKind kind, const std::shared_ptr<ThreadQueue>& queue) {
    Table& table = TheTable();
    while (table.windows.count(table.next) != 0) {
        table.next = table.next >= kLastWindow ? kFirstWindow : table.next + 2;
    }
    auto window = std::make_shared<Window>();
    window->handle = reinterpret_cast<HWND>(table.next);
    window->kind = kind;
    window->threadId = queue->threadId;
    window->queue = queue;
    table.windows.emplace(table.next, window);
    table.next = table.next >= kLastWindow ? kFirstWindow : table.next + 2;
    return window;
}

bool IsWithin(HWND ancestor, HWND child) {
    for (std::shared_ptr<Window> window = FindWindow(child); window;
         window = FindWindow(window->parent)) {
        if (window->handle == ancestor) {
            return true;
        }
        if (window->kind == WindowKind::Dialog) {
            return false;  // an owner is not a parent
        }
    }
    return false;
}

void Complete(SentMessage& message, LRESULT result) {
    message.done = true;
    message.result = result;
    if (message.sender) {
        message.sender->wakeup.notify_all();
    }
}

void DropMessagesFor(ThreadQueue& queue, HWND hwnd) {
    for (auto it = queue.sent.begin(); it != queue.sent.end();) {
        if ((*it)->hwnd == hwnd) {
            Complete(**it, 0);
            it = queue.sent.erase(it);
        } else {
            ++it;
        }
    }
    queue.posted.erase(std::remove_if(queue.posted.begin(), queue.posted.end(),
                                      [hwnd](const MSG& m) { return m.hwnd == hwnd; }),
                       queue.posted.end());
    queue.wakeup.notify_all();
}

}  // namespace brontal::window

using namespace brontal::window;

WINBASEAPI BOOL WINAPI IsWindow(HWND hWnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    return FindWindow(hWnd) ? TRUE : FALSE;
}

WINBASEAPI BOOL WINAPI DestroyWindow(HWND hWnd) {
    std::vector<std::shared_ptr<Window>> doomed;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        std::shared_ptr<Window> window = FindWindow(hWnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (window->threadId != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        RemoveSubtree(hWnd, doomed);
    }
    // The window first, then its children, as Windows sends it.
    for (const auto& window : doomed) {
        CallWindowProcedure(window->handle, WM_DESTROY, 0, 0);
    }
    std::lock_guard<std::mutex> lock(WindowLock());
    Forget(doomed);
    return TRUE;
}

WINBASEAPI HWND WINAPI GetActiveWindow(void) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(WindowLock());
    return queue->active;
}

WINBASEAPI HWND WINAPI GetParent(HWND hWnd) {
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    return window->parent;
}

WINBASEAPI DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId) {
        *lpdwProcessId = GetCurrentProcessId();
    }
    return window->threadId;
}

WINBASEAPI HWND WINAPI GetDlgItem(HWND hDlg, int nIDDlgItem) {
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> dialog = FindWindow(hDlg);
    if (!dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : dialog->children) {
        std::shared_ptr<Window> control = FindWindow(child);
        if (control && control->id == nIDDlgItem) {
            return child;
        }
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

namespace {

// The slot of window data `index`, or null for an index the window does not have.
LONG_PTR* WindowData(Window& window, int index) {
    switch (index) {
        case GWLP_USERDATA:
            return &window.userData;
        case GWLP_ID:
            return &window.id;
        default:
            break;
    }
    if (window.kind != WindowKind::Dialog) {
        return nullptr;
    }
    if (index == DWLP_MSGRESULT) {
        return &window.messageResult;
    }
    if (index == static_cast<int>(DWLP_USER)) {
        return &window.dialogUser;
    }
    return nullptr;
}

}  // namespace

WINBASEAPI LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->kind == WindowKind::Dialog && nIndex == static_cast<int>(DWLP_DLGPROC)) {
        return reinterpret_cast<LONG_PTR>(window->dialogProc);
    }
    LONG_PTR* slot = WindowData(*window, nIndex);
    if (!slot) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    return *slot;
}

WINBASEAPI LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (window->kind == WindowKind::Dialog && nIndex == static_cast<int>(DWLP_DLGPROC)) {
        const LONG_PTR previous = reinterpret_cast<LONG_PTR>(window->dialogProc);
        window->dialogProc = reinterpret_cast<DLGPROC>(dwNewLong);
        return previous;
    }
    LONG_PTR* slot = WindowData(*window, nIndex);
    if (!slot) {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    const LONG_PTR previous = *slot;
    *slot = dwNewLong;
    SetLastError(ERROR_SUCCESS);
    return previous;
}
