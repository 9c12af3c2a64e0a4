// A presenter of the progress dialog that writes down what the dialog shows, for the tests of
// the port scan, the journal reads and the logo upload.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <brontal_presenter.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace drivertest {

// Writes down, in order, what the progress dialog shows; texts as UTF-8.
class RecordingPresenter {
  public:
    RecordingPresenter() {
        BRONTAL_PRESENTER presenter = {};
        presenter.cbSize = sizeof presenter;
        presenter.context = this;
        presenter.DialogShown = [](void* self, HWND dialog, LPCSTR caption) {
            static_cast<RecordingPresenter*>(self)->Shown(dialog, caption);
        };
        presenter.CaptionChanged = [](void* self, HWND, LPCSTR caption) {
            static_cast<RecordingPresenter*>(self)->Add("caption " + testsupport::Utf8(caption));
        };
        presenter.ProgressChanged = [](void* self, HWND, HWND, int minimum, int maximum,
                                       int position) {
            static_cast<RecordingPresenter*>(self)->Add("bar " + std::to_string(minimum) + ".." +
                                                        std::to_string(maximum) + " at " +
                                                        std::to_string(position));
        };
        presenter.DialogEnded = [](void* self, HWND, INT_PTR result) {
            static_cast<RecordingPresenter*>(self)->Add("ended " + std::to_string(result));
        };
        EXPECT_TRUE(BrontalSetPresenter(&presenter));
    }
    ~RecordingPresenter() { BrontalSetPresenter(nullptr); }
    RecordingPresenter(const RecordingPresenter&) = delete;
    RecordingPresenter& operator=(const RecordingPresenter&) = delete;

    // Keys pressed as soon as the dialog is shown.
    void PressOnShow(std::vector<WPARAM> keys) { keys_ = std::move(keys); }
    // Run on the dialog's thread when it is shown, after the keys.
    void OnShow(std::function<void(HWND)> action) { onShow_ = std::move(action); }

    std::vector<std::string> Events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // The events that start with `prefix`.
    std::vector<std::string> Only(const std::string& prefix) const {
        std::vector<std::string> chosen;
        for (const std::string& event : Events()) {
            if (event.rfind(prefix, 0) == 0) {
                chosen.push_back(event);
            }
        }
        return chosen;
    }

  private:
    void Shown(HWND dialog, LPCSTR caption) {
        Add("shown " + testsupport::Utf8(caption));
        for (WPARAM key : keys_) {
            EXPECT_TRUE(BrontalPresenterPressKey(dialog, key));
        }
        if (onShow_) {
            onShow_(dialog);
        }
    }
    void Add(const std::string& event) {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<WPARAM> keys_;
    std::function<void(HWND)> onShow_;
};

}  // namespace drivertest
