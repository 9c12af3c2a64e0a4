// The progress line on Linux: the platform's dialogs are headless, and its presenter hook tells
// of each one shown, its caption, its bar and its end.
#include "Progress.h"

#include <windows.h>

#include <brontal_presenter.h>

#include <cerrno>
#include <mutex>
#include <string>

#include <unistd.h>

#include "Values.h"

namespace drvkeltor {

namespace {

constexpr UINT kTextCodePage = 1251;

constexpr int kBarCells = 30;

struct TerminalState {
    std::mutex mutex;
    int fd = -1;
    std::string caption;  // UTF-8
    bool hasBar = false;
    int minimum = 0;
    int maximum = 0;
    int position = 0;
    size_t drawnWidth = 0;  // characters of the last line drawn
};

TerminalState& Terminal() {
    static TerminalState* state = new TerminalState;
    return *state;
}

// The driver's captions are Windows-1251; the terminal's text is UTF-8.
std::string Utf8Of(LPCSTR ansi) {
    if (!ansi || ansi[0] == '\0') {
        return {};
    }
    const int wide = MultiByteToWideChar(kTextCodePage, 0, ansi, -1, nullptr, 0);
    if (wide <= 1) {
        return {};
    }
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(wide - 1));
    if (!text) {
        return {};
    }
    MultiByteToWideChar(kTextCodePage, 0, ansi, -1, text, wide);
    std::string utf8 = Utf8FromBstr(text);
    SysFreeString(text);
    return utf8;
}

size_t CharactersOf(const std::string& utf8) {
    size_t count = 0;
    for (unsigned char c : utf8) {
        count += (c & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        done += static_cast<size_t>(written);
    }
}

// The line as it stands; called with the state's mutex held.
void Draw(TerminalState& state, bool finish) {
    std::string line = state.caption;
    if (state.hasBar) {
        const long long span = static_cast<long long>(state.maximum) - state.minimum;
        long long done = static_cast<long long>(state.position) - state.minimum;
        if (span <= 0 || done < 0) {
            done = 0;
        } else if (done > span) {
            done = span;
        }
        const int cells = span > 0 ? static_cast<int>(done * kBarCells / span) : 0;
        const int percent = span > 0 ? static_cast<int>(done * 100 / span) : 0;
        line += " [";
        line.append(static_cast<size_t>(cells), '#');
        line.append(static_cast<size_t>(kBarCells - cells), '.');
        line += "] " + std::to_string(percent) + "%";
    }
    const size_t width = CharactersOf(line);
    // Spaces over what is left of a longer line before.
    if (width < state.drawnWidth) {
        line.append(state.drawnWidth - width, ' ');
    }
    state.drawnWidth = width;
    WriteAll(state.fd, "\r" + line + (finish ? "\n" : ""));
}

void OnShown(void*, HWND, LPCSTR caption) {
    TerminalState& state = Terminal();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.caption = Utf8Of(caption);
    state.hasBar = false;
    state.drawnWidth = 0;
    Draw(state, false);
}

void OnCaption(void*, HWND, LPCSTR caption) {
    TerminalState& state = Terminal();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.caption = Utf8Of(caption);
    Draw(state, false);
}

void OnProgress(void*, HWND, HWND, int minimum, int maximum, int position) {
    TerminalState& state = Terminal();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.hasBar = true;
    state.minimum = minimum;
    state.maximum = maximum;
    state.position = position;
    Draw(state, false);
}

void OnEnded(void*, HWND, INT_PTR) {
    TerminalState& state = Terminal();
    std::lock_guard<std::mutex> lock(state.mutex);
    Draw(state, true);
    state.drawnWidth = 0;
}

}  // namespace

bool InstallTerminalProgress(int fd) {
    if (fd < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    {
        TerminalState& state = Terminal();
        std::lock_guard<std::mutex> lock(state.mutex);
        state.fd = fd;
        state.drawnWidth = 0;
    }
    BRONTAL_PRESENTER presenter = {};
    presenter.cbSize = sizeof presenter;
    presenter.DialogShown = OnShown;
    presenter.CaptionChanged = OnCaption;
    presenter.ProgressChanged = OnProgress;
    presenter.DialogEnded = OnEnded;
    return BrontalSetPresenter(&presenter) != FALSE;
}

}  // namespace drvkeltor
