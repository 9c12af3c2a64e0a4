// The progress bar control ("msctls_progress32").
#include "window_manager.h"

#include <commctrl.h>

namespace brontal::window {

namespace {

int Clamped(const ProgressState& state, long long position) {
    if (position < state.minimum) {
        return state.minimum;
    }
    if (position > state.maximum) {
        return state.maximum;
    }
    return static_cast<int>(position);
}

// A step past either end starts again from the other, as the control does.
int Stepped(const ProgressState& state) {
    const long long span = static_cast<long long>(state.maximum) - state.minimum;
    long long position = static_cast<long long>(state.position) + state.step;
    if (span <= 0) {
        return state.minimum;
    }
    if (position > state.maximum) {
        position = (position - state.minimum) % span + state.minimum;
    } else if (position < state.minimum) {
        position = state.maximum - (state.minimum - position) % span;
    }
    return static_cast<int>(position);
}

}  // namespace

LRESULT ProgressProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    std::unique_lock<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> bar = FindWindow(hwnd);
    if (!bar) {
        return 0;
    }
    ProgressState& state = bar->progress;
    const ProgressState before = state;
    LRESULT result = 0;
    switch (message) {
        case PBM_SETRANGE32:
            result = MAKELONG(state.minimum, state.maximum);
            state.minimum = static_cast<int>(wParam);
            state.maximum = static_cast<int>(lParam);
            state.position = Clamped(state, state.position);
            break;
        case PBM_SETSTEP:
            result = state.step;
            state.step = static_cast<int>(wParam);
            break;
        case PBM_SETPOS:
            result = state.position;
            state.position = Clamped(state, static_cast<int>(wParam));
            break;
        case PBM_STEPIT:
            result = state.position;
            state.position = Stepped(state);
            break;
        case PBM_GETPOS:
            return state.position;
        default:
            HandleTextMessage(*bar, message, wParam, lParam, &result);
            return result;
    }
    const bool changed = before.minimum != state.minimum || before.maximum != state.maximum ||
                         before.position != state.position;
    std::shared_ptr<Window> dialog = FindWindow(bar->parent);
    const bool shown = dialog && dialog->shown;
    const ProgressState now = state;
    const HWND dialogHandle = bar->parent;
    lock.unlock();
    if (changed && shown) {
        PresentProgress(dialogHandle, hwnd, now);
    }
    return result;
}

}  // namespace brontal::window

WINBASEAPI BOOL WINAPI InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
    return picce && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}
