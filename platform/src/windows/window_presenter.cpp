// The host's presenter: one per process, told of what the shown dialogs do.
#include "window_manager.h"

#include <brontal_presenter.h>

namespace brontal::window {

namespace {

struct PresenterSlot {
    std::mutex mutex;
    bool installed = false;
    BRONTAL_PRESENTER presenter = {};
};

PresenterSlot& Slot() {
    static PresenterSlot* slot = new PresenterSlot;
    return *slot;
}

// A copy, so that no lock is held while the host's code runs.
bool Current(BRONTAL_PRESENTER* presenter) {
    PresenterSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    if (!slot.installed) {
        return false;
    }
    *presenter = slot.presenter;
    return true;
}

}  // namespace

void PresentShown(HWND dialog) {
    BRONTAL_PRESENTER presenter;
    if (!Current(&presenter)) {
        return;
    }
    std::string caption;
    std::vector<std::pair<HWND, ProgressState>> bars;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        std::shared_ptr<Window> window = FindWindow(dialog);
        if (!window) {
            return;
        }
        caption = window->text;
        for (HWND child : window->children) {
            std::shared_ptr<Window> control = FindWindow(child);
            if (control && control->kind == WindowKind::Progress) {
                bars.emplace_back(child, control->progress);
            }
        }
    }
    if (presenter.DialogShown) {
        presenter.DialogShown(presenter.context, dialog, caption.c_str());
    }
    for (const auto& [bar, state] : bars) {
        PresentProgress(dialog, bar, state);
    }
}

void PresentCaption(HWND dialog, const std::string& caption) {
    BRONTAL_PRESENTER presenter;
    if (Current(&presenter) && presenter.CaptionChanged) {
        presenter.CaptionChanged(presenter.context, dialog, caption.c_str());
    }
}

void PresentProgress(HWND dialog, HWND bar, const ProgressState& state) {
    BRONTAL_PRESENTER presenter;
    if (Current(&presenter) && presenter.ProgressChanged) {
        presenter.ProgressChanged(presenter.context, dialog, bar, state.minimum, state.maximum,
                                  state.position);
    }
}

void PresentEnded(HWND dialog, INT_PTR result) {
    BRONTAL_PRESENTER presenter;
    if (Current(&presenter) && presenter.DialogEnded) {
        presenter.DialogEnded(presenter.context, dialog, result);
    }
}

bool PresenterWantsIdle() {
    BRONTAL_PRESENTER presenter;
    return Current(&presenter) && presenter.Idle;
}

void PresentIdle(HWND dialog) {
    BRONTAL_PRESENTER presenter;
    if (Current(&presenter) && presenter.Idle) {
        presenter.Idle(presenter.context, dialog);
    }
}

}  // namespace brontal::window

using namespace brontal::window;

WINBASEAPI BOOL WINAPI BrontalSetPresenter(const BRONTAL_PRESENTER* presenter) {
    if (presenter && presenter->cbSize != sizeof(BRONTAL_PRESENTER)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    PresenterSlot& slot = Slot();
    std::lock_guard<std::mutex> lock(slot.mutex);
    slot.installed = presenter != nullptr;
    slot.presenter = presenter ? *presenter : BRONTAL_PRESENTER{};
    return TRUE;
}

WINBASEAPI BOOL WINAPI BrontalPresenterPressKey(HWND dialog, WPARAM virtualKey) {
    // A null window would make them thread messages of the caller.
    if (!IsWindow(dialog)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (!PostMessageA(dialog, WM_KEYDOWN, virtualKey, 1)) {
        return FALSE;
    }
    // The up stroke has the previous-state and transition bits set, as the keyboard sends it.
    return PostMessageA(dialog, WM_KEYUP, virtualKey, static_cast<LPARAM>(0xC0000001));
}
