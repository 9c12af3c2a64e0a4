// The background work and its progress dialog, driven directly: end codes and results, the
// progress reports, the dialog's template, work that cannot start, and an object released from
// inside the dialog.
#include <gtest/gtest.h>

#include <commctrl.h>

#include <condition_variable>
#include <cstring>
#include <future>
#include <thread>

#include "BackgroundWork.h"
#include "DriverHost.h"
#include "DrvKeltorResult.h"
#include "ProgressDialog.h"
#include "RecordingPresenter.h"
#include "Trace.h"

using namespace drivertest;
using Strings = std::vector<std::string>;
using testsupport::CountOf;
using testsupport::Cp1251;

namespace {

struct WorkDeleter {
    void operator()(WorkDescriptor* work) const { ReleaseWork(work); }
};
using Work = std::unique_ptr<WorkDescriptor, WorkDeleter>;

Work NewWork(CBrontal* device, DWORD kind) {
    Work work(AllocateWork());
    EXPECT_TRUE(work);
    work->device = device;
    work->kind = kind;
    return work;
}

using Progress = DriverTest;

TEST_F(Progress, AJournalReadOfNoBytesClosesAtOnceWithIdOk) {
    std::unique_ptr<CBrontal> layer = AttachedLayer();
    printer_.ClearLog();
    SetCallFlowTraceMask(kCallFlowTraceBit);
    RecordingPresenter presenter;
    char buffer[1] = {'x'};
    Work work = NewWork(layer.get(), kWorkJournalRead);
    work->progressStep = 512;
    work->buffer = buffer;
    work->bufferSize = 0;
    EXPECT_EQ(RunProgress(work.get()), 0);
    EXPECT_EQ(work->result, 0);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_TRUE(printer_.Requests().empty());
    EXPECT_EQ(presenter.Events(),
              (Strings{"shown Чтение электронного журнала", "bar 0..0 at 0", "ended 1"}));

    const std::string flow = MaskedCallFlow(CallFlowPath());
    for (const char* line :
         {"CDrvKeltor::RunProgress() try...", "CProgressDialog::OnInitDialog() try...",
          "CDrvKeltor::ReadEJThread() try...", "CDrvKeltor::NotifyProgressDone() done, res=0(0)",
          "CProgressDialog::OnOK() done, res=1(0x1)",
          "CDrvKeltor::ReadEJThread() done, res=0(0)"}) {
        EXPECT_EQ(CountOf(flow, line), 1) << line << "\n" << flow;
    }
    // The worker is waited for: its last line comes before the end of RunProgress.
    EXPECT_LT(flow.find("CDrvKeltor::ReadEJThread() done"),
              flow.find("CDrvKeltor::RunProgress() done, res=0(0)"));
}

TEST_F(Progress, AFailingWorkerEndsWithIdCancelAndItsCodeIsTheResult) {
    CBrontal unlinked;
    RecordingPresenter presenter;
    const BYTE data[300] = {};
    Work work = NewWork(&unlinked, kWorkFileWrite);
    work->progressMaximum = sizeof data;
    work->progressStep = 255;
    work->firstValue = reinterpret_cast<DWORD_PTR>(data);
    work->secondValue = sizeof data;
    EXPECT_EQ(RunProgress(work.get()), kBrontalNoLink);
    EXPECT_EQ(presenter.Events(), (Strings{"shown Запись файла", "bar 0..300 at 0", "ended 2"}));
}

TEST_F(Progress, WorkThatCannotStartEndsTheDialogWithAFailure) {
    CBrontal unlinked;
    RecordingPresenter presenter;
    EXPECT_EQ(RunProgress(nullptr), kDriverWorkerStartFailed);

    // No worker of that kind: the dialog would wait for ever.
    Work unknown = NewWork(&unlinked, 7);
    EXPECT_EQ(RunProgress(unknown.get()), kDriverWorkerStartFailed);
    EXPECT_EQ(unknown->thread, nullptr);

    // A worker without a device reports a failure, not a success.
    char buffer[1] = {};
    Work deviceless = NewWork(nullptr, kWorkJournalRead);
    deviceless->buffer = buffer;
    EXPECT_EQ(RunProgress(deviceless.get()), kDriverWorkerInitFailed);
    EXPECT_EQ(presenter.Only("ended"), (Strings{"ended 2"}));
}

TEST_F(Progress, EndModalExEndsTheDialogWithItsCodeAndTheWorkerIsStillWaitedFor) {
    std::unique_ptr<CBrontal> layer = AttachedLayer();
    printer_.ClearLog();
    SetCallFlowTraceMask(kCallFlowTraceBit);
    printer_.KeepBusy(600);
    RecordingPresenter presenter;
    presenter.OnShow(
        [](HWND dialog) { EXPECT_TRUE(PostMessageA(dialog, kEndModalExMessage, 5, 0)); });
    const BYTE data[10] = {};
    Work work = NewWork(layer.get(), kWorkFileWrite);
    work->firstValue = reinterpret_cast<DWORD_PTR>(data);
    work->secondValue = sizeof data;
    const int result = RunProgress(work.get());
    EXPECT_EQ(presenter.Only("ended"), (Strings{"ended 5"}));
    // Not IDOK: the worker's own result, which it had stored by the time RunProgress returned.
    EXPECT_EQ(result, work->result);
    ASSERT_EQ(printer_.Requests().size(), 1u);
    EXPECT_EQ(printer_.Requests()[0].substr(0, 2), "fw");
    const std::string flow = MaskedCallFlow(CallFlowPath());
    EXPECT_EQ(CountOf(flow, "CProgressDialog::OnEndModalEx() done, res=5(0x5)"), 1);
    EXPECT_EQ(CountOf(flow, "CDrvKeltor::WriteFileThread() done"), 1);
}

TEST_F(Progress, OnlyOnePieceOfWorkRunsAtATime) {
    std::unique_ptr<CBrontal> layer = AttachedLayer();
    RecordingPresenter presenter;
    int nested = 0;
    char second[1] = {};
    presenter.OnShow([&](HWND) {
        Work other = NewWork(layer.get(), kWorkJournalRead);
        other->buffer = second;
        nested = RunProgress(other.get());
    });
    const BYTE data[10] = {};
    Work work = NewWork(layer.get(), kWorkFileWrite);
    work->firstValue = reinterpret_cast<DWORD_PTR>(data);
    work->secondValue = sizeof data;
    RunProgress(work.get());
    EXPECT_EQ(nested, kDriverWorkerStartFailed);
    EXPECT_EQ(presenter.Only("shown").size(), 1u);
}

TEST_F(Progress, ReleasingTheDeviceFromInsideTheDialogWaitsForTheWorker) {
    std::unique_ptr<CBrontal> layer = AttachedLayer();
    printer_.KeepBusy(500);
    RecordingPresenter presenter;
    const BYTE data[10] = {};
    Work work = NewWork(layer.get(), kWorkFileWrite);
    WorkDescriptor* running = work.get();
    bool workerDone = false;
    presenter.OnShow([&](HWND) {
        CloseProgressWindow(layer.get());
        // Back from it, the worker has let go of the device.
        workerDone = WaitForSingleObject(running->thread, 0) == WAIT_OBJECT_0;
    });
    work->firstValue = reinterpret_cast<DWORD_PTR>(data);
    work->secondValue = sizeof data;
    const int result = RunProgress(work.get());
    EXPECT_TRUE(workerDone);
    EXPECT_EQ(result, work->result);
    EXPECT_EQ(presenter.Only("ended"), (Strings{"ended -1"}));
}

TEST(ProgressCaption, IsCutBehindTheLastColonAndTakesTextAndNumber) {
    char caption[256];
    std::strcpy(caption, "Scan: COM1 9600");
    ComposeProgressCaption(caption, sizeof caption, "COM2", 19200);
    EXPECT_STREQ(caption, "Scan: COM2 19200");

    std::strcpy(caption, "a:b:c");
    ComposeProgressCaption(caption, sizeof caption, "x", 0);
    EXPECT_STREQ(caption, "a:b: x 0");

    // Without a colon the whole caption stays.
    std::strcpy(caption, "Reading");
    ComposeProgressCaption(caption, sizeof caption, "block", 4294967295u);
    EXPECT_STREQ(caption, "Reading block 4294967295");
}

TEST(ProgressCaption, TheNumberNeedsMoreThanSixteenCharactersOfRoom) {
    char caption[40];
    // 40 bytes: 39 characters. "0123456789:" (11) + " " + 10 = 22, room 17: the number fits.
    std::strcpy(caption, "0123456789:");
    ComposeProgressCaption(caption, sizeof caption, "abcdefghij", 7);
    EXPECT_STREQ(caption, "0123456789: abcdefghij 7");
    // One character more of text leaves 16: no number.
    std::strcpy(caption, "0123456789:");
    ComposeProgressCaption(caption, sizeof caption, "abcdefghijk", 7);
    EXPECT_STREQ(caption, "0123456789: abcdefghijk");
    // A text that does not fit is left out; the number still has room.
    std::strcpy(caption, "0123456789:");
    ComposeProgressCaption(caption, sizeof caption, std::string(28, 't').c_str(), 7);
    EXPECT_STREQ(caption, "0123456789: 7");
    // A caption that fills its buffer without a terminator is cut to it.
    char full[8];
    std::memset(full, 'z', sizeof full);
    ComposeProgressCaption(full, sizeof full, "q", 1);
    EXPECT_STREQ(full, "zzzzzzz");
}

// The progress dialog's template run by the platform on a thread of its own, with a dialog
// procedure that answers kSync once everything posted before it is handled.
class ProgressWindow {
  public:
    static constexpr UINT kSync = WM_USER + 20;

    // `caption` (UTF-8) replaces the template's title unless it is null.
    explicit ProgressWindow(const char* caption = "Сканирование портов:") {
        caption_ = caption ? Cp1251(caption) : std::string();
        hasCaption_ = caption != nullptr;
        std::promise<HWND> ready;
        std::future<HWND> shown = ready.get_future();
        thread_ = std::thread([this, &ready] {
            templateWords_ = BuildProgressDialogTemplate();
            self_ = this;
            ready_ = &ready;
            result_ = DialogBoxIndirectParamA(
                nullptr, reinterpret_cast<const DLGTEMPLATE*>(templateWords_.data()), nullptr,
                Procedure, 0);
        });
        dialog_ = shown.get();
        bar_ = GetDlgItem(dialog_, kProgressBarId);
    }
    ~ProgressWindow() {
        PostMessageA(dialog_, WM_COMMAND, IDOK, 0);
        thread_.join();
    }

    HWND Dialog() const { return dialog_; }
    // The bar's position once the dialog has handled what was posted to it.
    int Position() {
        std::unique_lock<std::mutex> lock(mutex_);
        const int ticket = ++asked_;
        EXPECT_TRUE(PostMessageA(dialog_, kSync, 0, 0));
        synced_.wait(lock, [&] { return answered_ >= ticket; });
        lock.unlock();
        return static_cast<int>(SendMessageA(bar_, PBM_GETPOS, 0, 0));
    }
    std::string Caption() const {
        char text[256] = {};
        GetWindowTextA(dialog_, text, sizeof text);
        return testsupport::Utf8(text);
    }
    INT_PTR Result() const { return result_; }

  private:
    static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM) {
        if (message == WM_INITDIALOG) {
            HWND bar = GetDlgItem(window, kProgressBarId);
            SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
            SendMessageA(bar, PBM_SETSTEP, 10, 0);
            if (self_->hasCaption_) {
                SetWindowTextA(window, self_->caption_.c_str());
            }
            self_->ready_->set_value(window);
            return TRUE;
        }
        if (message == kSync) {
            std::lock_guard<std::mutex> lock(self_->mutex_);
            ++self_->answered_;
            self_->synced_.notify_all();
            return TRUE;
        }
        if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
            EndDialog(window, IDOK);
            return TRUE;
        }
        return FALSE;
    }

    static inline ProgressWindow* self_ = nullptr;
    std::promise<HWND>* ready_ = nullptr;
    std::string caption_;
    bool hasCaption_ = false;
    std::vector<DWORD> templateWords_;
    std::thread thread_;
    HWND dialog_ = nullptr;
    HWND bar_ = nullptr;
    INT_PTR result_ = 0;
    std::mutex mutex_;
    std::condition_variable synced_;
    int asked_ = 0;
    int answered_ = 0;
};

TEST(ProgressReport, WithoutTextSmallNumbersStepAndLargerOnesSetThePosition) {
    ProgressWindow window;
    EXPECT_EQ(UpdateProgress(window.Dialog(), nullptr, 0), TRUE);
    EXPECT_EQ(window.Position(), 10);
    EXPECT_EQ(UpdateProgress(window.Dialog(), "", 1), TRUE);
    EXPECT_EQ(window.Position(), 20);
    EXPECT_EQ(UpdateProgress(window.Dialog(), nullptr, 2), TRUE);
    EXPECT_EQ(window.Position(), 2);
    EXPECT_EQ(UpdateProgress(window.Dialog(), nullptr, 700), TRUE);
    EXPECT_EQ(window.Position(), 700);
    EXPECT_EQ(window.Caption(), "Сканирование портов:");
}

TEST(ProgressReport, WithTextTheCaptionNamesItAndTheBarSteps) {
    ProgressWindow window;
    EXPECT_EQ(UpdateProgress(window.Dialog(), "COM3", 38400), TRUE);
    EXPECT_EQ(window.Caption(), "Сканирование портов: COM3 38400");
    EXPECT_EQ(window.Position(), 10);
    EXPECT_EQ(UpdateProgress(window.Dialog(), "COM12", 9600), TRUE);
    EXPECT_EQ(window.Caption(), "Сканирование портов: COM12 9600");
    EXPECT_EQ(window.Position(), 20);
}

TEST(ProgressReport, AGoneDialogIsLeftAlone) {
    HWND gone = nullptr;
    {
        ProgressWindow window;
        gone = window.Dialog();
    }
    EXPECT_FALSE(IsWindow(gone));
    EXPECT_EQ(UpdateProgress(gone, "COM1", 9600), 0);
    EXPECT_EQ(UpdateProgress(gone, nullptr, 5), 0);
    WorkDescriptor work = {};
    work.dialog = gone;
    NotifyProgressDone(&work);
    NotifyProgressDone(nullptr);
}

TEST(ProgressTemplate, IsTheDialogOfTheProduct) {
    const std::vector<DWORD> words = BuildProgressDialogTemplate();
    ASSERT_GE(words.size() * sizeof(DWORD), sizeof(DLGTEMPLATE));
    DLGTEMPLATE dialog;
    std::memcpy(&dialog, words.data(), sizeof dialog);
    EXPECT_EQ(dialog.cdit, 1);
    EXPECT_EQ(dialog.cx, 233);
    EXPECT_EQ(dialog.cy, 31);
    // No system menu: it cannot be closed by hand.
    EXPECT_EQ(dialog.style & WS_SYSMENU, 0u);
    EXPECT_NE(dialog.style & DS_MODALFRAME, 0u);
    EXPECT_NE(dialog.style & DS_SETFONT, 0u);

    ProgressWindow window(nullptr);
    EXPECT_EQ(window.Caption(), "Ждите...");
    HWND bar = GetDlgItem(window.Dialog(), kProgressBarId);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(GetParent(bar), window.Dialog());
    EXPECT_EQ(GetWindowLongPtrA(bar, GWLP_ID), kProgressBarId);
}

}  // namespace
