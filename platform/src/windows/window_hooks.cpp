// The message-filter hooks of a thread, called by its dialogs' modal loops.
#include "window_manager.h"

#include <algorithm>
#include <cstdint>

namespace brontal::window {

namespace {

std::uintptr_t nextHook = 0x20000;

}  // namespace

LRESULT CallMessageFilter(int code, MSG* message) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    HOOKPROC first = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (!queue->hooks.empty()) {
            first = queue->hooks.front().proc;
        }
    }
    return first ? first(code, 0, reinterpret_cast<LPARAM>(message)) : 0;
}

}  // namespace brontal::window

using namespace brontal::window;

WINBASEAPI HHOOK WINAPI SetWindowsHookExA(int idHook, HOOKPROC lpfn, HINSTANCE, DWORD dwThreadId) {
    if (idHook != WH_MSGFILTER) {
        SetLastError(ERROR_INVALID_HOOK_FILTER);
        return nullptr;
    }
    if (!lpfn) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // Hooks on other threads, or for the whole desktop, have no use without a display.
    if (dwThreadId != 0 && dwThreadId != GetCurrentThreadId()) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return nullptr;
    }
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(WindowLock());
    Hook hook;
    hook.handle = reinterpret_cast<HHOOK>(nextHook);
    nextHook += 4;
    hook.proc = lpfn;
    queue->hooks.insert(queue->hooks.begin(), hook);
    return hook.handle;
}

WINBASEAPI BOOL WINAPI UnhookWindowsHookEx(HHOOK hhk) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(WindowLock());
    auto& hooks = queue->hooks;
    auto it =
        std::find_if(hooks.begin(), hooks.end(), [hhk](const Hook& h) { return h.handle == hhk; });
    if (it == hooks.end()) {
        SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    hooks.erase(it);
    return TRUE;
}

WINBASEAPI LRESULT WINAPI CallNextHookEx(HHOOK hhk, int nCode, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    HOOKPROC next = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        auto& hooks = queue->hooks;
        auto it = std::find_if(hooks.begin(), hooks.end(),
                               [hhk](const Hook& h) { return h.handle == hhk; });
        if (it != hooks.end() && ++it != hooks.end()) {
            next = it->proc;
        }
    }
    return next ? next(nCode, wParam, lParam) : 0;
}
