// Modal dialogs from in-memory templates: the modal loop and its end codes, refused templates,
// keys, message-filter hooks, the progress bar, window data and the presenter.
#include <gtest/gtest.h>

#include <windows.h>
#include <brontal_presenter.h>
#include <commctrl.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "WindowTemplate.h"

using testsupport::Cp1251;
using windowtest::TemplateBuilder;

namespace {

constexpr UINT kStep = WM_USER + 7;
constexpr int kBarId = 15000;

// The dialog procedure of the test that runs now; FALSE leaves a message to the defaults.
std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> g_handler;

INT_PTR CALLBACK TestProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return g_handler ? g_handler(window, message, wParam, lParam) : FALSE;
}

INT_PTR RunDialog(const DLGTEMPLATE* dialogTemplate,
                  std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)> handler, LPARAM parameter = 0,
                  HWND parent = nullptr) {
    g_handler = std::move(handler);
    const INT_PTR result =
        DialogBoxIndirectParamA(nullptr, dialogTemplate, parent, TestProcedure, parameter);
    g_handler = nullptr;
    return result;
}

TEST(ModalDialog, RunsUntilEndDialogAndReturnsItsCode) {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    HWND dialog = nullptr;
    HWND bar = nullptr;
    HWND firstControl = nullptr;
    LPARAM parameter = 0;
    HWND activeInside = nullptr;
    std::string title;
    int titleLength = 0;
    std::vector<HWND> destroyed;
    const INT_PTR result = RunDialog(
        builder.Build(),
        [&](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> INT_PTR {
            switch (message) {
                case WM_INITDIALOG: {
                    dialog = window;
                    firstControl = reinterpret_cast<HWND>(wParam);
                    parameter = lParam;
                    bar = GetDlgItem(window, kBarId);
                    activeInside = GetActiveWindow();
                    char text[32] = {};
                    titleLength = GetWindowTextA(window, text, sizeof text);
                    title = text;
                    EXPECT_TRUE(PostMessageA(window, kStep, 0, 0));
                    return TRUE;
                }
                case kStep:
                    EXPECT_TRUE(EndDialog(window, 42));
                    return TRUE;
                case WM_DESTROY:
                    destroyed.push_back(window);
                    return TRUE;
                default:
                    return FALSE;
            }
        },
        77);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(parameter, 77);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(firstControl, bar);
    EXPECT_EQ(activeInside, dialog);
    EXPECT_EQ(title, Cp1251("Ждите..."));
    EXPECT_EQ(titleLength, 8);
    EXPECT_EQ(destroyed, (std::vector<HWND>{dialog}));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_EQ(GetActiveWindow(), nullptr);
}

TEST(ModalDialog, EndedDuringItsInitialisationItRunsNoLoop) {
    TemplateBuilder builder;
    int steps = 0;
    const INT_PTR result =
        RunDialog(builder.Build(), [&](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) {
                PostMessageA(window, kStep, 0, 0);
                EndDialog(window, 3);
                return TRUE;
            }
            steps += message == kStep ? 1 : 0;
            return FALSE;
        });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(steps, 0);
}

// The wide form runs the same dialog; wide texts are the ANSI texts converted, a character
// Windows-1251 lacks reads back as '?', and a short buffer gets the text cut and terminated.
TEST(ModalDialog, TheWideFormRunsTheSameDialogAndConvertsItsTexts) {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    std::string ansi;
    std::u16string wide;
    std::u16string cut;
    int copied = -1;
    g_handler = [&](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_INITDIALOG) {
            return FALSE;
        }
        EXPECT_TRUE(SetWindowTextW(window, u"Ждите\u00e9"));
        char narrow[64] = {};
        GetWindowTextA(window, narrow, sizeof narrow);
        ansi = narrow;
        char16_t text[64] = {};
        copied = GetWindowTextW(window, text, 64);
        wide = text;
        char16_t shortText[4] = {u'x', u'x', u'x', u'x'};
        GetWindowTextW(window, shortText, 4);
        cut.assign(shortText, 4);
        EndDialog(window, 7);
        return TRUE;
    };
    EXPECT_EQ(DialogBoxIndirectParamW(nullptr, builder.Build(), nullptr, TestProcedure, 0), 7);
    g_handler = nullptr;
    EXPECT_EQ(ansi, Cp1251("Ждите?"));
    EXPECT_EQ(wide, u"Ждите?");
    EXPECT_EQ(copied, 6);
    EXPECT_EQ(cut, std::u16string(u"Жди\0", 4));
    EXPECT_FALSE(SetWindowTextW(nullptr, u"x"));
    char16_t none[2] = {u'x', 0};
    EXPECT_EQ(GetWindowTextW(nullptr, none, 2), 0);
    EXPECT_EQ(none[0], u'\0');
}

TEST(ModalDialog, TemplatesItCannotBuildAreRefused) {
    int calls = 0;
    const auto count = [&](HWND, UINT, WPARAM, LPARAM) -> INT_PTR {
        ++calls;
        return FALSE;
    };
    SetLastError(0);
    EXPECT_EQ(RunDialog(nullptr, count), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    TemplateBuilder button;
    button.Progress(1).Control(2, u"BUTTON");
    EXPECT_EQ(RunDialog(button.Build(), count), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    TemplateBuilder predefined;
    predefined.Control(2, u"", 0x0080);
    EXPECT_EQ(RunDialog(predefined.Build(), count), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    TemplateBuilder menu;
    menu.Menu(100);
    EXPECT_EQ(RunDialog(menu.Build(), count), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    TemplateBuilder plain;
    EXPECT_EQ(RunDialog(plain.Build(), count, 0, reinterpret_cast<HWND>(0x1234)), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(calls, 0);

    // Class names are not case-sensitive.
    TemplateBuilder upper;
    upper.Control(kBarId, u"MSCTLS_Progress32");
    EXPECT_EQ(RunDialog(upper.Build(),
                        [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
                            if (message == WM_INITDIALOG) {
                                EXPECT_NE(GetDlgItem(window, kBarId), nullptr);
                                EndDialog(window, 1);
                            }
                            return TRUE;
                        }),
              1);
}

// Runs a dialog that presses `keys` at its start and ends itself with 9 on kStep; the WM_COMMAND
// identifiers it saw end it with theirs.
INT_PTR PressKeys(std::vector<WPARAM> keys, std::vector<UINT>* seen) {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    return RunDialog(builder.Build(),
                     [&](HWND window, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
                         if (seen) {
                             seen->push_back(message);
                         }
                         if (message == WM_INITDIALOG) {
                             for (WPARAM key : keys) {
                                 EXPECT_TRUE(BrontalPresenterPressKey(window, key));
                             }
                             PostMessageA(window, kStep, 0, 0);
                             return TRUE;
                         }
                         if (message == WM_COMMAND) {
                             EndDialog(window, LOWORD(wParam));
                             return TRUE;
                         }
                         if (message == kStep) {
                             EndDialog(window, 9);
                             return TRUE;
                         }
                         return FALSE;
                     });
}

TEST(ModalDialog, EnterAndEscapeWorkTheDefaultButtons) {
    EXPECT_EQ(PressKeys({VK_ESCAPE}, nullptr), IDCANCEL);
    EXPECT_EQ(PressKeys({VK_RETURN}, nullptr), IDOK);
    // Other keys reach the dialog procedure as they are.
    std::vector<UINT> seen;
    EXPECT_EQ(PressKeys({'A'}, &seen), 9);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_INITDIALOG, WM_KEYDOWN, WM_KEYUP, kStep, WM_DESTROY}));
}

struct FilterRecord {
    std::vector<std::pair<int, UINT>> calls;  // code, message
    HHOOK self = nullptr;
};
FilterRecord g_newer;
FilterRecord g_older;

LRESULT CALLBACK NewerFilter(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    g_newer.calls.emplace_back(code, message->message);
    if (message->message == WM_KEYDOWN || message->message == WM_KEYUP) {
        return TRUE;
    }
    return CallNextHookEx(g_newer.self, code, wParam, lParam);
}

LRESULT CALLBACK OlderFilter(int code, WPARAM wParam, LPARAM lParam) {
    g_older.calls.emplace_back(code, reinterpret_cast<const MSG*>(lParam)->message);
    return CallNextHookEx(g_older.self, code, wParam, lParam);
}

TEST(MessageFilter, SeesTheLoopsMessagesFirstAndCanDropThem) {
    g_newer = {};
    g_older = {};
    g_older.self = SetWindowsHookExA(WH_MSGFILTER, OlderFilter, nullptr, GetCurrentThreadId());
    g_newer.self = SetWindowsHookExA(WH_MSGFILTER, NewerFilter, nullptr, 0);
    ASSERT_NE(g_older.self, nullptr);
    ASSERT_NE(g_newer.self, nullptr);
    std::vector<UINT> seen;
    EXPECT_EQ(PressKeys({VK_RETURN, VK_ESCAPE}, &seen), 9);
    EXPECT_EQ(seen, (std::vector<UINT>{WM_INITDIALOG, kStep, WM_DESTROY}));
    const std::vector<std::pair<int, UINT>> all = {{MSGF_DIALOGBOX, WM_KEYDOWN},
                                                   {MSGF_DIALOGBOX, WM_KEYUP},
                                                   {MSGF_DIALOGBOX, WM_KEYDOWN},
                                                   {MSGF_DIALOGBOX, WM_KEYUP},
                                                   {MSGF_DIALOGBOX, kStep}};
    EXPECT_EQ(g_newer.calls, all);
    // The older hook hears only what the newer one passed on.
    EXPECT_EQ(g_older.calls, (std::vector<std::pair<int, UINT>>{{MSGF_DIALOGBOX, kStep}}));

    EXPECT_TRUE(UnhookWindowsHookEx(g_newer.self));
    EXPECT_FALSE(UnhookWindowsHookEx(g_newer.self));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HOOK_HANDLE));
    EXPECT_TRUE(UnhookWindowsHookEx(g_older.self));
    // Without hooks the keys work again.
    EXPECT_EQ(PressKeys({VK_RETURN}, nullptr), IDOK);
}

TEST(MessageFilter, OnlyTheCallingThreadsFilterHooksExist) {
    EXPECT_EQ(SetWindowsHookExA(2 /* WH_KEYBOARD */, OlderFilter, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HOOK_FILTER));
    EXPECT_EQ(SetWindowsHookExA(WH_MSGFILTER, nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_EQ(SetWindowsHookExA(WH_MSGFILTER, OlderFilter, nullptr, other), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

TEST(ProgressBar, KeepsItsPositionWithinTheRangeAndStepsRoundIt) {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    RunDialog(builder.Build(), [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message != WM_INITDIALOG) {
            return FALSE;
        }
        HWND bar = GetDlgItem(window, kBarId);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(SendMessageA(bar, PBM_STEPIT, 0, 0), 0);  // the step is 10 at first
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 10);
        EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE32, 0, 25), MAKELONG(0, 100));
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 10);
        SendMessageA(bar, PBM_STEPIT, 0, 0);
        EXPECT_EQ(SendMessageA(bar, PBM_STEPIT, 0, 0), 20);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 5);  // 30 is past 25: round again
        EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 100, 0), 5);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 25);
        SendMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(-3), 0);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
        EXPECT_EQ(SendMessageA(bar, PBM_SETSTEP, static_cast<WPARAM>(-4), 0), 10);
        EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE32, 10, 20), MAKELONG(0, 25));
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 10);
        SendMessageA(bar, PBM_STEPIT, 0, 0);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 16);  // 6 is below 10: from the top
        // An empty range keeps the bar at its minimum.
        SendMessageA(bar, PBM_SETRANGE32, 0, 0);
        SendMessageA(bar, PBM_STEPIT, 0, 0);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
        EndDialog(window, 1);
        return TRUE;
    });
}

TEST(ProgressBar, CommonControlsTakeOnlyAWellFormedRequest) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    EXPECT_TRUE(InitCommonControlsEx(&controls));
    controls.dwSize = sizeof controls + 1;
    EXPECT_FALSE(InitCommonControlsEx(&controls));
    EXPECT_FALSE(InitCommonControlsEx(nullptr));
}

TEST(WindowData, DialogsAndControlsKeepTheirWords) {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    constexpr UINT kAnswer = WM_USER + 8;
    RunDialog(builder.Build(), [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == kAnswer) {
            SetWindowLongPtrA(window, DWLP_MSGRESULT, 1234);
            return TRUE;
        }
        if (message != WM_INITDIALOG) {
            return FALSE;
        }
        EXPECT_EQ(SetWindowLongPtrA(window, DWLP_USER, 55), 0);
        EXPECT_EQ(GetWindowLongPtrA(window, DWLP_USER), 55);
        EXPECT_EQ(GetWindowLongPtrA(window, DWLP_DLGPROC),
                  reinterpret_cast<LONG_PTR>(&TestProcedure));
        HWND bar = GetDlgItem(window, kBarId);
        EXPECT_EQ(GetWindowLongPtrA(bar, GWLP_ID), kBarId);
        EXPECT_EQ(SetWindowLongPtrA(bar, GWLP_USERDATA, -8), 0);
        EXPECT_EQ(GetWindowLongPtrA(bar, GWLP_USERDATA), -8);
        EXPECT_EQ(GetWindowLongPtrA(bar, DWLP_USER), 0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
        EXPECT_EQ(GetDlgItem(window, 1), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CONTROL_ID_NOT_FOUND));
        // A handled message answers with DWLP_MSGRESULT, an unhandled one with the default.
        EXPECT_EQ(SendMessageA(window, kAnswer, 0, 0), 1234);
        EXPECT_EQ(SendMessageA(window, WM_USER + 9, 0, 0), 0);
        EndDialog(window, 1);
        return TRUE;
    });
}

TEST(ModalDialog, DestroyedWithoutAnEndCodeItReturnsMinusOne) {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    HWND bar = nullptr;
    BOOL fromOtherThread = TRUE;
    DWORD otherError = 0;
    const INT_PTR result =
        RunDialog(builder.Build(), [&](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == WM_INITDIALOG) {
                bar = GetDlgItem(window, kBarId);
                // Only the owner thread may destroy a window.
                std::thread([&] {
                    fromOtherThread = DestroyWindow(window);
                    otherError = GetLastError();
                }).join();
                PostMessageA(window, kStep, 0, 0);
                return TRUE;
            }
            if (message == kStep) {
                EXPECT_TRUE(DestroyWindow(window));
                return TRUE;
            }
            return FALSE;
        });
    EXPECT_EQ(result, -1);
    EXPECT_FALSE(fromOtherThread);
    EXPECT_EQ(otherError, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(IsWindow(bar));
}

struct Recorder {
    std::mutex mutex;
    std::vector<std::string> events;
    void Add(std::string event) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(std::move(event));
    }
};

BRONTAL_PRESENTER RecordingPresenter(Recorder* recorder) {
    BRONTAL_PRESENTER presenter = {};
    presenter.cbSize = sizeof presenter;
    presenter.context = recorder;
    presenter.DialogShown = [](void* self, HWND, LPCSTR caption) {
        static_cast<Recorder*>(self)->Add("shown " + testsupport::Utf8(caption));
    };
    presenter.CaptionChanged = [](void* self, HWND, LPCSTR caption) {
        static_cast<Recorder*>(self)->Add("caption " + testsupport::Utf8(caption));
    };
    presenter.ProgressChanged = [](void* self, HWND, HWND, int minimum, int maximum, int at) {
        static_cast<Recorder*>(self)->Add("bar " + std::to_string(minimum) + ".." +
                                          std::to_string(maximum) + " at " + std::to_string(at));
    };
    presenter.DialogEnded = [](void* self, HWND, INT_PTR result) {
        static_cast<Recorder*>(self)->Add("ended " + std::to_string(result));
    };
    return presenter;
}

INT_PTR RunShowingSteps() {
    TemplateBuilder builder;
    builder.Progress(kBarId);
    return RunDialog(builder.Build(), [](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        HWND bar = GetDlgItem(window, kBarId);
        if (message == WM_INITDIALOG) {
            // Before it is shown: the presenter hears of it with the showing.
            SendMessageA(bar, PBM_SETRANGE32, 0, 50);
            PostMessageA(window, kStep, 0, 0);
            return TRUE;
        }
        if (message == kStep) {
            SetWindowTextA(window, Cp1251("Шаг").c_str());
            SendMessageA(bar, PBM_SETPOS, 20, 0);
            SendMessageA(bar, PBM_SETPOS, 20, 0);  // no change, nothing to tell
            SendMessageA(bar, PBM_SETSTEP, 3, 0);  // neither
            EndDialog(window, 4);
            return TRUE;
        }
        return FALSE;
    });
}

TEST(Presenter, HearsWhatTheShownDialogDoes) {
    Recorder recorder;
    const BRONTAL_PRESENTER presenter = RecordingPresenter(&recorder);
    ASSERT_TRUE(BrontalSetPresenter(&presenter));
    EXPECT_EQ(RunShowingSteps(), 4);
    EXPECT_TRUE(BrontalSetPresenter(nullptr));
    EXPECT_EQ(recorder.events,
              (std::vector<std::string>{"shown Ждите...", "bar 0..50 at 0", "caption Шаг",
                                        "bar 0..50 at 20", "ended 4"}));

    // Removed, it hears nothing more.
    recorder.events.clear();
    EXPECT_EQ(RunShowingSteps(), 4);
    EXPECT_TRUE(recorder.events.empty());
}

// The host runs its own events while the dialog waits with nothing to do; messages still come
// first, and the dialog still ends when told to.
TEST(Presenter, IdleCallsWhileTheLoopWaits) {
    struct Idling {
        int idles = 0;
        int stepsSeen = 0;
    } idling;
    BRONTAL_PRESENTER presenter = {};
    presenter.cbSize = sizeof presenter;
    presenter.context = &idling;
    presenter.Idle = [](void* self, HWND dialog) {
        auto* state = static_cast<Idling*>(self);
        ++state->idles;
        if (state->idles == 1) {
            PostMessageA(dialog, kStep, 0, 0);
        } else if (state->idles == 3) {
            EndDialog(dialog, 7);
        }
    };
    ASSERT_TRUE(BrontalSetPresenter(&presenter));
    TemplateBuilder builder;
    builder.Progress(kBarId);
    const INT_PTR result =
        RunDialog(builder.Build(), [&idling](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
            if (message == kStep) {
                // The message posted by the first idle call comes before the second one.
                EXPECT_EQ(idling.idles, 1);
                ++idling.stepsSeen;
                return TRUE;
            }
            return message == WM_INITDIALOG ? TRUE : FALSE;
        });
    EXPECT_TRUE(BrontalSetPresenter(nullptr));
    EXPECT_EQ(result, 7);
    EXPECT_EQ(idling.idles, 3);
    EXPECT_EQ(idling.stepsSeen, 1);
}

TEST(Presenter, RefusesWhatItCannotTake) {
    BRONTAL_PRESENTER presenter = {};
    presenter.cbSize = sizeof presenter - 1;
    EXPECT_FALSE(BrontalSetPresenter(&presenter));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(BrontalPresenterPressKey(nullptr, VK_RETURN));
    EXPECT_FALSE(BrontalPresenterPressKey(reinterpret_cast<HWND>(0x5678), VK_RETURN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
