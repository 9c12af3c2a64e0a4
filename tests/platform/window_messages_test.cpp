// Messages between threads and the queue of a thread: texts read and written on the window's own
// thread, sent before posted, answers, sends both ways, windows that go while a message waits,
// filters, and windows that are gone.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "WindowTemplate.h"

using windowtest::TemplateBuilder;

namespace {

constexpr UINT kQuit = WM_USER + 99;

// A modal dialog on a thread of its own whose messages go to `handler`; it ends on kQuit.
class DialogThread {
  public:
    using Handler = std::function<INT_PTR(HWND, UINT, WPARAM, LPARAM)>;

    explicit DialogThread(Handler handler) : handler_(std::move(handler)) {
        std::promise<HWND> started;
        std::future<HWND> ready = started.get_future();
        thread_ = std::thread([this, &started] {
            threadId_ = GetCurrentThreadId();
            started_ = &started;
            TemplateBuilder builder;
            builder.Progress(15000);
            result_ = DialogBoxIndirectParamA(nullptr, builder.Build(), nullptr, Procedure,
                                              reinterpret_cast<LPARAM>(this));
        });
        dialog_ = ready.get();
    }
    ~DialogThread() {
        PostMessageA(dialog_, kQuit, 0, 0);
        thread_.join();
    }
    DialogThread(const DialogThread&) = delete;
    DialogThread& operator=(const DialogThread&) = delete;

    HWND Dialog() const { return dialog_; }
    DWORD ThreadId() const { return threadId_; }

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<DialogThread*>(lParam);
            SetWindowLongPtrA(window, DWLP_USER, lParam);
            self->started_->set_value(window);
            return TRUE;
        }
        auto* self = reinterpret_cast<DialogThread*>(GetWindowLongPtrA(window, DWLP_USER));
        if (!self) {
            return FALSE;
        }
        if (message == kQuit) {
            EndDialog(window, 1);
            return TRUE;
        }
        return self->handler_(window, message, wParam, lParam);
    }

    Handler handler_;
    std::thread thread_;
    std::promise<HWND>* started_ = nullptr;
    HWND dialog_ = nullptr;
    std::atomic<DWORD> threadId_{0};
    INT_PTR result_ = 0;
};

TEST(CrossThread, TextIsReadAndWrittenOnTheWindowsOwnThread) {
    std::atomic<DWORD> setOn{0};
    DialogThread owner([&](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_SETTEXT) {
            setOn = GetCurrentThreadId();
        }
        return FALSE;  // the dialog's defaults keep the text
    });
    EXPECT_TRUE(SetWindowTextA(owner.Dialog(), "COM3 38400"));
    EXPECT_EQ(setOn.load(), owner.ThreadId());
    EXPECT_EQ(GetWindowThreadProcessId(owner.Dialog(), nullptr), owner.ThreadId());
    char text[32] = {};
    EXPECT_EQ(GetWindowTextA(owner.Dialog(), text, sizeof text), 10);
    EXPECT_STREQ(text, "COM3 38400");
    EXPECT_EQ(GetWindowTextLengthA(owner.Dialog()), 10);
    char small[3] = {};
    EXPECT_EQ(GetWindowTextA(owner.Dialog(), small, sizeof small), 2);
    EXPECT_STREQ(small, "CO");
}

TEST(CrossThread, SentMessagesAreHandledBeforePostedOnes) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::promise<void> busy;
    std::promise<void> drained;
    std::mutex mutex;
    std::vector<UINT> order;
    DialogThread owner([&](HWND, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_USER + 51) {
            drained.set_value();
            return TRUE;
        }
        if (message < WM_USER + 1 || message > WM_USER + 4) {
            return FALSE;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            order.push_back(message);
        }
        if (message == WM_USER + 1) {
            busy.set_value();
            released.wait();
        }
        return TRUE;
    });
    ASSERT_TRUE(PostMessageA(owner.Dialog(), WM_USER + 1, 0, 0));
    busy.get_future().wait();
    // While the owner is busy: a notification does not wait for it.
    ASSERT_TRUE(PostMessageA(owner.Dialog(), WM_USER + 2, 0, 0));
    ASSERT_TRUE(SendNotifyMessageA(owner.Dialog(), WM_USER + 3, 0, 0));
    ASSERT_TRUE(PostMessageA(owner.Dialog(), WM_USER + 4, 0, 0));
    ASSERT_TRUE(PostMessageA(owner.Dialog(), WM_USER + 51, 0, 0));
    release.set_value();
    // Posted messages keep their order: the last one is handled after the others.
    drained.get_future().wait();
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 3, WM_USER + 2, WM_USER + 4}));
}

TEST(CrossThread, SendMessageReturnsTheAnswer) {
    DialogThread owner([](HWND window, UINT message, WPARAM wParam, LPARAM) -> INT_PTR {
        if (message == WM_USER + 5) {
            SetWindowLongPtrA(window, DWLP_MSGRESULT, static_cast<LONG_PTR>(wParam * 6));
            return TRUE;
        }
        return FALSE;
    });
    EXPECT_EQ(SendMessageA(owner.Dialog(), WM_USER + 5, 7, 0), 42);
    HWND bar = GetDlgItem(owner.Dialog(), 15000);
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 30, 0), 0);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 30);
}

TEST(CrossThread, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    std::atomic<HWND> first{nullptr};
    DialogThread second([&](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_USER + 7) {
            // The first dialog's thread waits for this answer and must still hear us.
            const LRESULT inner = SendMessageA(first.load(), WM_USER + 8, 0, 0);
            SetWindowLongPtrA(window, DWLP_MSGRESULT, inner + 1);
            return TRUE;
        }
        return FALSE;
    });
    HWND secondDialog = second.Dialog();
    DialogThread one([&](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_USER + 6) {
            SetWindowLongPtrA(window, DWLP_MSGRESULT,
                              SendMessageA(secondDialog, WM_USER + 7, 0, 0) * 10);
            return TRUE;
        }
        if (message == WM_USER + 8) {
            SetWindowLongPtrA(window, DWLP_MSGRESULT, 5);
            return TRUE;
        }
        return FALSE;
    });
    first = one.Dialog();
    EXPECT_EQ(SendMessageA(one.Dialog(), WM_USER + 6, 0, 0), 60);
}

TEST(CrossThread, AMessageWaitingForAWindowThatGoesIsAnsweredWithZero) {
    std::promise<void> busy;
    std::promise<void> sending;
    std::shared_future<void> sent = sending.get_future().share();
    std::atomic<int> handled{0};
    DialogThread owner([&](HWND window, UINT message, WPARAM, LPARAM) -> INT_PTR {
        if (message == WM_USER + 1) {
            busy.set_value();
            sent.wait();
            // Give the sender a moment to queue its message; either way it must come back.
            Sleep(50);
            EXPECT_TRUE(DestroyWindow(window));
            return TRUE;
        }
        if (message == WM_USER + 9) {
            ++handled;
        }
        return FALSE;
    });
    HWND dialog = owner.Dialog();
    ASSERT_TRUE(PostMessageA(dialog, WM_USER + 1, 0, 0));
    // The owner is inside WM_USER+1 and takes nothing from its queue until it has destroyed
    // the window.
    busy.get_future().wait();
    LRESULT answer = -1;
    std::thread sender([&] {
        sending.set_value();
        answer = SendMessageA(dialog, WM_USER + 9, 0, 0);
    });
    sender.join();
    EXPECT_EQ(answer, 0);
    EXPECT_EQ(handled.load(), 0);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST(Queue, ThreadMessagesAreTakenByFilterAndInOrder) {
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 1, 1, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 2, 2, 0));
    ASSERT_TRUE(PostMessageA(nullptr, WM_USER + 3, 3, 0));
    MSG message = {};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER + 2, WM_USER + 2, PM_NOREMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 2));
    ASSERT_TRUE(PeekMessageA(&message, nullptr, WM_USER + 2, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(message.wParam, 2u);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, WM_USER + 2, WM_USER + 2, PM_REMOVE));
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.wParam, 1u);
    EXPECT_EQ(message.hwnd, nullptr);
    EXPECT_EQ(DispatchMessageA(&message), 0);
    ASSERT_EQ(GetMessageA(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST(Queue, AWindowFilterTakesTheWindowAndItsChildren) {
    TemplateBuilder builder;
    builder.Progress(15000);
    DialogThread other([](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
    const DLGTEMPLATE* dialogTemplate = builder.Build();
    struct Context {
        HWND foreign;
    } context{other.Dialog()};
    DialogBoxIndirectParamA(
        nullptr, dialogTemplate, nullptr,
        [](HWND window, UINT message, WPARAM, LPARAM lParam) -> INT_PTR {
            if (message != WM_INITDIALOG) {
                return FALSE;
            }
            const HWND foreign = reinterpret_cast<Context*>(lParam)->foreign;
            HWND bar = GetDlgItem(window, 15000);
            PostMessageA(nullptr, WM_USER + 1, 0, 0);
            PostMessageA(bar, WM_USER + 2, 0, 0);
            PostMessageA(window, WM_USER + 3, 0, 0);
            MSG taken = {};
            EXPECT_TRUE(PeekMessageA(&taken, bar, 0, 0, PM_REMOVE));
            EXPECT_EQ(taken.message, static_cast<UINT>(WM_USER + 2));
            EXPECT_FALSE(PeekMessageA(&taken, bar, 0, 0, PM_REMOVE));
            EXPECT_TRUE(PeekMessageA(&taken, window, 0, 0, PM_REMOVE));
            EXPECT_EQ(taken.message, static_cast<UINT>(WM_USER + 3));
            EXPECT_TRUE(PeekMessageA(&taken, nullptr, 0, 0, PM_REMOVE));
            EXPECT_EQ(taken.message, static_cast<UINT>(WM_USER + 1));
            // Another thread's window is no filter of ours.
            EXPECT_EQ(GetMessageA(&taken, foreign, 0, 0), -1);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
            EXPECT_FALSE(PeekMessageA(&taken, foreign, 0, 0, PM_REMOVE));
            EndDialog(window, 1);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
}

TEST(Queue, WindowsThatAreGoneTakeNoMessages) {
    HWND gone = nullptr;
    {
        DialogThread owner([](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; });
        gone = owner.Dialog();
    }
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_FALSE(PostMessageA(gone, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SendMessageA(gone, WM_USER, 0, 0), 0);
    EXPECT_FALSE(SendNotifyMessageA(gone, WM_USER, 0, 0));
    EXPECT_FALSE(SetWindowTextA(gone, "x"));
    char text[8] = "keep";
    EXPECT_EQ(GetWindowTextA(gone, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(GetWindowTextA(gone, nullptr, 8), 0);
    EXPECT_FALSE(DestroyWindow(gone));
    EXPECT_FALSE(EndDialog(gone, 1));
    EXPECT_EQ(GetDlgItem(gone, 15000), nullptr);
    EXPECT_EQ(GetWindowThreadProcessId(gone, nullptr), 0u);
}

}  // namespace
