// What the connection, port scan and progress tests share: the component with the virtual
// printer on a COM port of the test's registry, registry helpers, and a presenter that writes
// down what the progress dialog shows.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <brontal_presenter.h>

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "ComponentClient.h"
#include "TestSupport.h"
#include "VirtualPrinter.h"

namespace connecttest {

enum Dispid : DISPID {
    kComPort = 1,
    kConnect = 2,
    kBaudRate = 3,
    kResultCode = 5,
    kResultCodeDescription = 6,
    kCashierLogin = 7,
    kDisconnect = 8,
    kDateTime = 9,
    kStatus = 11,
    kResetPrinter = 35,
    kRefreshStatus = 36,
    kCancelPrint = 37,
    kPrinterWidth = 94,
    kPrinterName = 95,
    kTraceMask = 103,
    kManufacturerCountryCode = 172,
    kManufacturerSerialNumber = 173,
    kTaxpayerAccountNumber = 174,
    kFirmwareVersion = 175,
    kFirmwareMnemo = 176,
    kControlUnitSerialNumber = 201,
    kControlUnitRegisterNumber = 202,
    kInitializationOptions = 210,
    kSuppressAutodetect = 229,
    kDateTimeYYYYMMDDhhmmss = 335,
    kNecessityToDownloadEJ = 336,
};

inline const std::string kFs = "\x1C";
inline const std::string kGs = "\x1D";
inline const char kSerialCommKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// HRESULT of a result code of the interface facility.
inline HRESULT Failure(int code) {
    return static_cast<HRESULT>(0x80040000u | static_cast<unsigned>(-code));
}

// What a call through IDispatch failed with: the exception's code for a failure that came with
// error information (DISP_E_EXCEPTION), else the HRESULT itself.
inline HRESULT Outcome(const client::Call& call) {
    return call.hr == DISP_E_EXCEPTION ? call.scode : call.hr;
}

inline void WriteDword(HKEY root, const std::string& path, const char* name, DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

// The DWORD value, or `missing` when it is not there.
inline DWORD ReadDword(HKEY root, const std::string& path, const char* name, DWORD missing) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return missing;
    }
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    const LONG rc =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? value : missing;
}

inline const std::string kSettingsPath = "SOFTWARE\\Orvane\\Brontl\\Settings";
inline const std::string kCommunicationPath = kSettingsPath + "\\Communication";
inline const std::string kFiscalPath = kSettingsPath + "\\Fiscal";

// A port-map entry as the system's list holds it: the device path named, the port as data.
inline void MapPort(const std::string& device, const std::string& port) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSerialCommKey, 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(
        RegSetValueExA(key, device.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                       static_cast<DWORD>(port.size() + 1)),
        ERROR_SUCCESS);
    RegCloseKey(key);
}

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

// The component, registered in the test's registry, and the virtual printer as COMn there.
// Every command is tried once, so that a silent printer costs one reply time-out.
class ConnectTest : public client::ComponentTest {
  protected:
    void SetUp() override {
        client::ComponentTest::SetUp();
        WriteDword(HKEY_CURRENT_USER, kFiscalPath, "CmdRetryCount", 1);
        ASSERT_EQ(printer_.Start(), 0);
        if (registerPrinter_) {
            port_ = printer_.RegisterPort();
            ASSERT_GT(port_, 0);
        }
    }
    void TearDown() override {
        printer_.Stop();
        client::ComponentTest::TearDown();
    }

    // Sets `driver` to the printer's port at `baud`.
    void SetToPrinter(client::Driver& driver, ULONG baud = 9600) {
        EXPECT_EQ(driver.Put(kComPort, client::UI2(static_cast<USHORT>(port_))).hr, S_OK);
        EXPECT_EQ(driver.Put(kBaudRate, client::UI4(baud)).hr, S_OK);
    }
    // An object set to the printer's port at 9600 and connected, with the printer's log cleared.
    client::Driver Connected() {
        client::Driver driver = Create();
        SetToPrinter(driver);
        EXPECT_EQ(driver.Method(kConnect).hr, S_OK);
        printer_.ClearLog();
        return driver;
    }
    std::vector<std::string> Requests() const { return printer_.Requests(); }
    // Codes of every frame that arrived, executed or not.
    std::vector<std::string> FrameCodes() const {
        std::vector<std::string> codes;
        for (const emu::ReceivedFrame& frame : printer_.Frames()) {
            codes.push_back(frame.payload.substr(0, 2));
        }
        return codes;
    }

    bool registerPrinter_ = true;
    emu::VirtualPrinter printer_;
    int port_ = 0;
};

using Strings = std::vector<std::string>;

}  // namespace connecttest
