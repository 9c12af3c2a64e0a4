// The progress line: one line per dialog, redrawn in place, in UTF-8.
#include <gtest/gtest.h>

#include <windows.h>
#include <brontal_presenter.h>
#include <commctrl.h>

#include <unistd.h>

#include <string>

#include "Progress.h"
#include "TestSupport.h"
#include "WindowTemplate.h"

using testsupport::Cp1251;
using windowtest::TemplateBuilder;

namespace {

constexpr UINT kStep = WM_USER + 7;

std::string ReadAvailable(int fd) {
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<size_t>(got));
    }
}

INT_PTR RunSteps() {
    TemplateBuilder builder;
    builder.Progress(15000);
    return DialogBoxIndirectParamA(
        nullptr, builder.Build(), nullptr,
        [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
            HWND bar = GetDlgItem(window, 15000);
            if (message == WM_INITDIALOG) {
                SendMessageA(bar, PBM_SETRANGE32, 0, 10);
                PostMessageA(window, kStep, 0, 0);
                return TRUE;
            }
            if (message == kStep) {
                SetWindowTextA(window, Cp1251("Запись файла").c_str());
                SendMessageA(bar, PBM_SETPOS, 5, 0);
                SetWindowTextA(window, "ok");
                EndDialog(window, IDOK);
                return TRUE;
            }
            return FALSE;
        },
        0);
}

std::string Bar(int cells, int percent) {
    return " [" + std::string(static_cast<size_t>(cells), '#') +
           std::string(static_cast<size_t>(30 - cells), '.') + "] " + std::to_string(percent) + "%";
}

TEST(TerminalProgress, DrawsOneLineInPlaceAndEndsIt) {
    int fds[2] = {-1, -1};
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_TRUE(drvkeltor::InstallTerminalProgress(fds[1]));
    EXPECT_EQ(RunSteps(), IDOK);
    EXPECT_TRUE(BrontalSetPresenter(nullptr));
    close(fds[1]);
    const std::string output = ReadAvailable(fds[0]);
    close(fds[0]);

    const std::string half = Bar(15, 50);
    const std::string wide = "Запись файла" + half;  // 12 + 39 characters
    const std::string expected = "\rЖдите..." + ("\rЖдите..." + Bar(0, 0)) +
                                 ("\rЗапись файла" + Bar(0, 0)) + ("\r" + wide) +
                                 // A shorter line covers what is left of the longer one.
                                 ("\rok" + half + std::string(10, ' ')) + ("\rok" + half + "\n");
    EXPECT_EQ(output, expected);
}

TEST(TerminalProgress, NeedsADescriptor) {
    EXPECT_FALSE(drvkeltor::InstallTerminalProgress(-1));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
