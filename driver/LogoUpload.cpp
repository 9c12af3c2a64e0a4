// Logo files: uploading a bitmap file into the printer behind the progress dialog, and selecting
// a logo the printer holds.
#include <memory>
#include <new>

#include "BackgroundWork.h"
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "Trace.h"

namespace {

// A logo picture is a few kilobytes; a file larger than this is not one the printer can hold.
constexpr DWORD kLogoFileLimit = 1024 * 1024;
// The progress bar moves by one "fw" block.
constexpr DWORD kLogoProgressStep = 255;

// "sl" names the picture format and its size word as the printer expects a logo.
constexpr UINT kLogoKindEpson = 0;
constexpr DWORD kLogoSizeWord = 172;

// The part of `path` behind its last separator, and whether there was one.
bool FileNameOf(const AnsiText& path, AnsiText* name) {
    const size_t separator = path.find_last_of("\\/");
    if (separator == AnsiText::npos) {
        name->clear();
        return false;
    }
    name->assign(path, separator + 1, AnsiText::npos);
    return true;
}

// The logo file on the computer: opened for reading, then read whole into memory.
class CLogoFile {
  public:
    CLogoFile() = default;
    ~CLogoFile() {
        if (m_handle != INVALID_HANDLE_VALUE) {
            CloseHandle(m_handle);
        }
    }
    CLogoFile(const CLogoFile&) = delete;
    CLogoFile& operator=(const CLogoFile&) = delete;

    bool Open(LPCSTR path) {
        m_handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_handle != INVALID_HANDLE_VALUE;
    }
    // False when the file cannot be read whole or is too large for a logo.
    bool Read() {
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(m_handle, &size) || size.QuadPart < 0 ||
            size.QuadPart > static_cast<LONGLONG>(kLogoFileLimit)) {
            return false;
        }
        const DWORD count = static_cast<DWORD>(size.QuadPart);
        // One byte more, so that an empty file has a buffer too.
        m_data.reset(new (std::nothrow) BYTE[static_cast<size_t>(count) + 1]);
        if (!m_data) {
            return false;
        }
        DWORD done = 0;
        while (done < count) {
            DWORD got = 0;
            if (!ReadFile(m_handle, m_data.get() + done, count - done, &got, nullptr) || got == 0) {
                return false;
            }
            done += got;
        }
        m_size = count;
        return true;
    }
    const BYTE* Data() const { return m_data.get(); }
    DWORD Size() const { return m_size; }

  private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    std::unique_ptr<BYTE[]> m_data;
    DWORD m_size = 0;
};

// The "fw" blocks of `data` on the file-write worker behind the progress dialog.
int RunWriteBmpLogoFile(CBrontal& layer, const BYTE* data, DWORD size) {
    const char name[] = "CDrvKeltor::RunWriteBmpLogoFile";
    TraceCallHelper(kCallFlowTraceFile, "%s() try...", name);
    int result = kDriverWorkerStartFailed;
    if (WorkDescriptor* work = AllocateWork()) {
        work->device = &layer;
        work->kind = kWorkFileWrite;
        work->progressMinimum = 0;
        work->progressMaximum = size;
        work->progressStep = kLogoProgressStep;
        work->firstValue = reinterpret_cast<DWORD_PTR>(data);
        work->secondValue = size;
        result = RunProgress(work);
        ReleaseWork(work);
    }
    TraceCallHelper(kCallFlowTraceFile, "%s() done, res=%d(%#0x)", name, result,
                    static_cast<unsigned>(result));
    return result;
}

}  // namespace

STDMETHODIMP CDrvKeltor::UploadBmpLogoFile() {
    return RunDeviceMethod(*this, "CDrvKeltor::UploadBmpLogoFile", [&](CDeviceFrame& frame) {
        CBrontal& layer = frame.Layer();
        CLogoFile file;
        if (!file.Open(m_bmpLogoToLoadFilePath.c_str())) {
            return static_cast<int>(kDriverWorkerStartFailed);
        }
        AnsiText name;
        bool named = false;
        try {
            named = FileNameOf(m_bmpLogoToLoadFilePath, &name);
        } catch (const std::bad_alloc&) {
            return static_cast<int>(kDriverWorkerStartFailed);
        }
        if (frame.Store(layer.OpenFileUpload(name.c_str())) != 0) {
            return DriverResultCode();
        }
        int result = kDriverWorkerStartFailed;
        if (file.Read()) {
            result = RunWriteBmpLogoFile(layer, file.Data(), file.Size());
        }
        // The printer's file is closed whatever became of its blocks; a file that did not close
        // is not known to be stored, however well its blocks went.
        const int closed = layer.CloseFileUpload();
        if (result == 0) {
            result = closed;
        }
        if (result == 0 && named) {
            m_bmpLogoFileToSelect.swap(name);
        }
        return result;
    });
}

STDMETHODIMP CDrvKeltor::SelectBmpLogoFile() {
    return RunDeviceMethod(*this, "CDrvKeltor::SelectBmpLogoFile", [&](CDeviceFrame& frame) {
        return frame.Layer().SelectLogo(kLogoKindEpson, m_bmpLogoFileToSelect.c_str(),
                                        kLogoSizeWord);
    });
}
