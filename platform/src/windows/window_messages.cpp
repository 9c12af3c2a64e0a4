// Sending, posting and taking messages.
//
// A thread's queue holds messages sent to its windows from other threads and messages posted to
// them. Whenever the owner thread looks at its queue (or waits for its own sent message to be
// answered) it first handles everything sent to it, so that two threads sending to each other
// do not deadlock, and only then takes a posted message.
#include "window_manager.h"

#include <chrono>

namespace brontal::window {

namespace {

bool Matches(const MSG& message, HWND hwnd, UINT first, UINT last) {
    if (hwnd && message.hwnd != hwnd && !IsWithin(hwnd, message.hwnd)) {
        return false;
    }
    if (first == 0 && last == 0) {
        return true;
    }
    return message.message >= first && message.message <= last;
}

// Handles what other threads sent to this thread; called and returns with `lock` held.
void HandleSent(const std::shared_ptr<ThreadQueue>& queue, std::unique_lock<std::mutex>& lock) {
    while (!queue->sent.empty()) {
        std::shared_ptr<SentMessage> message = queue->sent.front();
        queue->sent.pop_front();
        lock.unlock();
        const LRESULT result =
            CallWindowProcedure(message->hwnd, message->message, message->wParam, message->lParam);
        lock.lock();
        Complete(*message, result);
    }
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG posted = {};
    posted.hwnd = hwnd;
    posted.message = message;
    posted.wParam = wParam;
    posted.lParam = lParam;
    posted.time = GetTickCount();
    return posted;
}

// The queue of `hwnd`'s owner when that is another thread; null for the calling thread's own
// window. False when there is no such window.
bool OwnerQueue(HWND hwnd, std::shared_ptr<ThreadQueue>* queue) {
    std::shared_ptr<Window> window = FindWindow(hwnd);
    if (!window) {
        return false;
    }
    *queue = window->threadId == GetCurrentThreadId() ? nullptr : window->queue;
    return true;
}

// Queues a message sent from another thread and wakes its target; a `sender` waits for the
// answer, a notification (null sender) does not.
std::shared_ptr<SentMessage> QueueSent(ThreadQueue& target, HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam, const std::shared_ptr<ThreadQueue>& sender) {
    auto sent = std::make_shared<SentMessage>();
    sent->hwnd = hwnd;
    sent->message = message;
    sent->wParam = wParam;
    sent->lParam = lParam;
    sent->waiting = sender != nullptr;
    sent->sender = sender;
    target.sent.push_back(sent);
    target.wakeup.notify_all();
    return sent;
}

}  // namespace

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowKind kind;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        std::shared_ptr<Window> window = FindWindow(hwnd);
        if (!window || window->threadId != GetCurrentThreadId()) {
            return 0;
        }
        kind = window->kind;
    }
    return kind == WindowKind::Dialog ? DialogProcedure(hwnd, message, wParam, lParam)
                                      : ProgressProcedure(hwnd, message, wParam, lParam);
}

bool NextMessage(const std::shared_ptr<ThreadQueue>& queue, MSG* message, HWND hwnd, UINT first,
                 UINT last, bool wait, bool remove, const std::function<bool()>& stop,
                 int patienceMs) {
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(patienceMs < 0 ? 0 : patienceMs);
    std::unique_lock<std::mutex> lock(WindowLock());
    for (;;) {
        HandleSent(queue, lock);
        if (stop && stop()) {
            return false;
        }
        for (auto it = queue->posted.begin(); it != queue->posted.end(); ++it) {
            if (Matches(*it, hwnd, first, last)) {
                *message = *it;
                if (remove) {
                    queue->posted.erase(it);
                }
                return true;
            }
        }
        if (!wait) {
            return false;
        }
        if (patienceMs < 0) {
            queue->wakeup.wait(lock);
        } else if (queue->wakeup.wait_until(lock, deadline) == std::cv_status::timeout) {
            wait = false;  // one more look at the queue, then give up
        }
    }
}

}  // namespace brontal::window

using namespace brontal::window;

WINBASEAPI LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> own = CurrentQueue();
    std::unique_lock<std::mutex> lock(WindowLock());
    std::shared_ptr<ThreadQueue> target;
    if (!OwnerQueue(hWnd, &target)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (!target) {
        lock.unlock();
        return CallWindowProcedure(hWnd, Msg, wParam, lParam);
    }
    if (!target->alive) {
        return 0;
    }
    std::shared_ptr<SentMessage> message = QueueSent(*target, hWnd, Msg, wParam, lParam, own);
    while (!message->done) {
        if (!own->sent.empty()) {
            // Answer what is sent to us meanwhile: the target may be waiting for us.
            MSG unused;
            lock.unlock();
            NextMessage(own, &unused, nullptr, 0, 0, false, false, [] { return true; });
            lock.lock();
            continue;
        }
        own->wakeup.wait(lock);
    }
    return message->result;
}

WINBASEAPI BOOL WINAPI SendNotifyMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::mutex> lock(WindowLock());
    std::shared_ptr<ThreadQueue> target;
    if (!OwnerQueue(hWnd, &target)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!target) {
        lock.unlock();
        CallWindowProcedure(hWnd, Msg, wParam, lParam);
        return TRUE;
    }
    if (!target->alive) {
        return TRUE;  // nobody left to hear it, as with a thread that ends before it looks
    }
    QueueSent(*target, hWnd, Msg, wParam, lParam, nullptr);
    return TRUE;
}

WINBASEAPI BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> queue;
    if (!hWnd) {
        queue = CurrentQueue();
    }
    std::lock_guard<std::mutex> lock(WindowLock());
    if (hWnd) {
        std::shared_ptr<Window> window = FindWindow(hWnd);
        if (!window) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        queue = window->queue;
    }
    queue->posted.push_back(MakeMessage(hWnd, Msg, wParam, lParam));
    queue->wakeup.notify_all();
    return TRUE;
}

namespace {

// -1 for a filter window that is not the calling thread's.
BOOL CheckFilter(HWND hwnd) {
    if (!hwnd) {
        return TRUE;
    }
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hwnd);
    if (!window || window->threadId != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    return TRUE;
}

}  // namespace

WINBASEAPI BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
    if (!lpMsg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    if (CheckFilter(hWnd) != TRUE) {
        return -1;
    }
    NextMessage(CurrentQueue(), lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, true, true, nullptr);
    return TRUE;
}

WINBASEAPI BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                                    UINT wRemoveMsg) {
    if (!lpMsg || CheckFilter(hWnd) != TRUE) {
        return FALSE;
    }
    return NextMessage(CurrentQueue(), lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, false,
                       (wRemoveMsg & PM_REMOVE) != 0, nullptr)
               ? TRUE
               : FALSE;
}

WINBASEAPI LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
    if (!lpMsg || !lpMsg->hwnd) {
        return 0;
    }
    return CallWindowProcedure(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}
