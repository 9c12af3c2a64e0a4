// Modal dialogs from in-memory templates: creation, the modal loop, EndDialog and the default
// dialog procedure.
#include "window_manager.h"

#include <brontal_presenter.h>
#include <commctrl.h>

#include <cstring>

namespace brontal::window {

namespace {

// A string in a template is at most this long; longer means the template is not one.
constexpr size_t kTemplateTextLimit = 1024;

struct ItemSpec {
    DLGITEMTEMPLATE item;
    std::string title;
};

struct DialogSpec {
    DLGTEMPLATE header;
    std::string title;
    std::vector<ItemSpec> items;
};

class TemplateReader {
  public:
    explicit TemplateReader(const BYTE* start) : start_(start), p_(start) {}

    template <class T>
    T Read() {
        T value;
        std::memcpy(&value, p_, sizeof value);
        p_ += sizeof value;
        return value;
    }
    void AlignToDword() {
        const size_t offset = static_cast<size_t>(p_ - start_);
        p_ += (4 - offset % 4) % 4;
    }
    void Skip(size_t bytes) { p_ += bytes; }

    // A zero-terminated UTF-16 string; false when it does not end within the limit.
    bool ReadString(std::u16string* text) {
        text->clear();
        for (size_t i = 0; i < kTemplateTextLimit; ++i) {
            const WCHAR unit = Read<WCHAR>();
            if (unit == 0) {
                return true;
            }
            text->push_back(unit);
        }
        return false;
    }
    // "None", an ordinal or a string: the three shapes of a template's name fields.
    enum class Name { None, Ordinal, Text, Bad };
    Name ReadName(WORD* ordinal, std::u16string* text) {
        const WORD first = Read<WORD>();
        if (first == 0x0000) {
            return Name::None;
        }
        if (first == 0xFFFF) {
            *ordinal = Read<WORD>();
            return Name::Ordinal;
        }
        text->assign(1, static_cast<char16_t>(first));
        std::u16string rest;
        if (!ReadString(&rest)) {
            return Name::Bad;
        }
        *text += rest;
        return Name::Text;
    }

  private:
    const BYTE* start_;
    const BYTE* p_;
};

std::string AnsiOf(const std::u16string& wide) {
    if (wide.empty()) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) {
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(),
                            size, nullptr, nullptr);
    }
    return text;
}

bool IsProgressClass(const std::u16string& name) {
    const char* expected = PROGRESS_CLASSA;
    if (name.size() != std::strlen(expected)) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        char16_t c = name[i];
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
        if (c != static_cast<char16_t>(expected[i])) {
            return false;
        }
    }
    return true;
}

// The template's dialog and items; the error code when it cannot be built here.
DWORD ParseTemplate(const DLGTEMPLATE* dialogTemplate, DialogSpec* spec) {
    TemplateReader reader(reinterpret_cast<const BYTE*>(dialogTemplate));
    spec->header = reader.Read<DLGTEMPLATE>();
    if (spec->header.style == 0xFFFF0001) {
        return ERROR_INVALID_PARAMETER;  // an extended template: not supported here
    }
    WORD ordinal = 0;
    std::u16string text;
    // No menus and no dialog classes of one's own exist without a display.
    if (reader.ReadName(&ordinal, &text) != TemplateReader::Name::None) {
        return ERROR_INVALID_PARAMETER;
    }
    if (reader.ReadName(&ordinal, &text) != TemplateReader::Name::None) {
        return ERROR_CANNOT_FIND_WND_CLASS;
    }
    std::u16string title;
    if (!reader.ReadString(&title)) {
        return ERROR_INVALID_PARAMETER;
    }
    spec->title = AnsiOf(title);
    if (spec->header.style & DS_SETFONT) {
        reader.Read<WORD>();  // point size
        std::u16string face;
        if (!reader.ReadString(&face)) {
            return ERROR_INVALID_PARAMETER;
        }
    }
    for (WORD i = 0; i < spec->header.cdit; ++i) {
        reader.AlignToDword();
        ItemSpec item;
        item.item = reader.Read<DLGITEMTEMPLATE>();
        std::u16string className;
        if (reader.ReadName(&ordinal, &className) != TemplateReader::Name::Text ||
            !IsProgressClass(className)) {
            return ERROR_CANNOT_FIND_WND_CLASS;
        }
        std::u16string itemTitle;
        const TemplateReader::Name shape = reader.ReadName(&ordinal, &itemTitle);
        if (shape == TemplateReader::Name::Bad) {
            return ERROR_INVALID_PARAMETER;
        }
        item.title = AnsiOf(itemTitle);
        reader.Skip(reader.Read<WORD>());  // creation data
        spec->items.push_back(std::move(item));
    }
    return ERROR_SUCCESS;
}

bool DialogGone(HWND dialog) {
    std::shared_ptr<Window> window = FindWindow(dialog);
    return !window || window->ended;
}

// Enter and Escape work the dialog's default buttons, as the dialog manager does.
bool HandleDialogKey(HWND dialog, const MSG& message) {
    if (message.message != WM_KEYDOWN) {
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (message.hwnd != dialog && !IsWithin(dialog, message.hwnd)) {
            return false;
        }
    }
    if (message.wParam == VK_RETURN) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
        return true;
    }
    if (message.wParam == VK_ESCAPE) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
        return true;
    }
    return false;
}

}  // namespace

LRESULT DialogProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    DLGPROC proc = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (std::shared_ptr<Window> window = FindWindow(hwnd)) {
            proc = window->dialogProc;
        }
    }
    const INT_PTR handled = proc ? proc(hwnd, message, wParam, lParam) : FALSE;
    if (message == WM_INITDIALOG) {
        return handled;
    }
    std::unique_lock<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hwnd);
    if (!window) {
        return 0;
    }
    if (handled) {
        return window->messageResult;
    }
    LRESULT result = 0;
    if (!HandleTextMessage(*window, message, wParam, lParam, &result)) {
        return 0;
    }
    if (message == WM_SETTEXT && window->shown) {
        const std::string caption = window->text;
        lock.unlock();
        PresentCaption(hwnd, caption);
    }
    return result;
}

}  // namespace brontal::window

using namespace brontal::window;

WINBASEAPI INT_PTR WINAPI DialogBoxIndirectParamA(HINSTANCE, LPCDLGTEMPLATEA hDialogTemplate,
                                                  HWND hWndParent, DLGPROC lpDialogFunc,
                                                  LPARAM dwInitParam) {
    if (!hDialogTemplate) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    DialogSpec spec;
    const DWORD parsed = ParseTemplate(hDialogTemplate, &spec);
    if (parsed != ERROR_SUCCESS) {
        SetLastError(parsed);
        return -1;
    }
    std::shared_ptr<ThreadQueue> queue = CurrentQueue();
    HWND dialog = nullptr;
    HWND firstControl = nullptr;
    HWND previousActive = nullptr;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (hWndParent && !FindWindow(hWndParent)) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return -1;
        }
        std::shared_ptr<Window> window = InsertWindow(WindowKind::Dialog, queue);
        window->parent = hWndParent;
        window->style = spec.header.style;
        window->text = spec.title;
        window->dialogProc = lpDialogFunc;
        dialog = window->handle;
        for (const ItemSpec& item : spec.items) {
            std::shared_ptr<Window> control = InsertWindow(WindowKind::Progress, queue);
            control->parent = dialog;
            control->style = item.item.style;
            control->id = item.item.id;
            control->text = item.title;
            window->children.push_back(control->handle);
            if (!firstControl) {
                firstControl = control->handle;
            }
        }
        previousActive = queue->active;
        queue->active = dialog;
    }

    CallWindowProcedure(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstControl), dwInitParam);
    bool shown = false;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        std::shared_ptr<Window> window = FindWindow(dialog);
        if (window && !window->ended) {
            window->shown = shown = true;
        }
    }
    if (shown) {
        PresentShown(dialog);
    }

    for (;;) {
        MSG message;
        const bool idle = shown && PresenterWantsIdle();
        if (!NextMessage(
                queue, &message, nullptr, 0, 0, true, true, [dialog] { return DialogGone(dialog); },
                idle ? BRONTAL_PRESENTER_IDLE_MS : -1)) {
            bool gone = true;
            if (idle) {
                std::lock_guard<std::mutex> lock(WindowLock());
                gone = DialogGone(dialog);
            }
            if (gone) {
                break;
            }
            PresentIdle(dialog);
            continue;
        }
        if (CallMessageFilter(MSGF_DIALOGBOX, &message) != 0) {
            continue;
        }
        if (HandleDialogKey(dialog, message)) {
            continue;
        }
        DispatchMessageA(&message);
    }

    INT_PTR result = -1;
    bool exists = false;
    {
        std::lock_guard<std::mutex> lock(WindowLock());
        if (std::shared_ptr<Window> window = FindWindow(dialog)) {
            exists = true;
            result = window->endCode;
            shown = window->shown;
        }
    }
    if (exists) {
        if (shown) {
            PresentEnded(dialog, result);
        }
        DestroyWindow(dialog);
    } else if (shown) {
        PresentEnded(dialog, result);
    }
    std::lock_guard<std::mutex> lock(WindowLock());
    queue->active = FindWindow(previousActive) ? previousActive : nullptr;
    return result;
}

WINBASEAPI BOOL WINAPI EndDialog(HWND hDlg, INT_PTR nResult) {
    std::lock_guard<std::mutex> lock(WindowLock());
    std::shared_ptr<Window> window = FindWindow(hDlg);
    if (!window || window->kind != WindowKind::Dialog) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    // The last call before the loop looks again decides the code.
    window->ended = true;
    window->endCode = nResult;
    // The loop may be asleep in its queue when another thread ends it.
    window->queue->wakeup.notify_all();
    return TRUE;
}

WINBASEAPI INT_PTR WINAPI DialogBoxIndirectParamW(HINSTANCE hInstance,
                                                  LPCDLGTEMPLATEW hDialogTemplate, HWND hWndParent,
                                                  DLGPROC lpDialogFunc, LPARAM dwInitParam) {
    return DialogBoxIndirectParamA(hInstance, hDialogTemplate, hWndParent, lpDialogFunc,
                                   dwInitParam);
}
