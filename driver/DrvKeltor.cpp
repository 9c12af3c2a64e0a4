// Construction, final construction and final release of the driver object.
#include "DrvKeltor.h"

#include <cstdio>
#include <mutex>
#include <new>
#include <vector>

#include "BackgroundWork.h"
#include "DrvKeltorResult.h"
#include "Settings.h"
#include "Trace.h"

namespace {

const char kInitialPrinterName[] = "RKM-204";
const char kTranslationQuery[] = "\\VarFileInfo\\Translation";
const char kProductVersionQuery[] = "\\StringFileInfo\\%04x%04x\\ProductVersion";

// An address inside this library, to find the library's own file.
const char kModuleAnchor = 0;

// The settings monitor serves every object of the process, so it stops with the last of them:
// stopped with the first, it would leave the others blind to changes made elsewhere.
std::mutex g_monitorLock;
int g_monitorUsers = 0;

void JoinSettingsMonitor() {
    const std::lock_guard<std::mutex> hold(g_monitorLock);
    // A second object finds the monitor running; either way the settings are loaded.
    CBrontExtender::Initialize();
    ++g_monitorUsers;
}

void LeaveSettingsMonitor() {
    const std::lock_guard<std::mutex> hold(g_monitorLock);
    if (--g_monitorUsers == 0) {
        CBrontExtender::UnInitialize();
    }
}

// The ProductVersion text of the library's own version resource; empty when it has none.
void LoadProductVersion() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            &kModuleAnchor, &module)) {
        return;
    }
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return;
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) {
        return;
    }
    std::vector<BYTE> block;
    try {
        block.resize(size);
    } catch (const std::bad_alloc&) {
        return;
    }
    if (!GetFileVersionInfoA(path, handle, size, block.data())) {
        return;
    }
    LPVOID translation = nullptr;
    UINT translationLength = 0;
    if (!VerQueryValueA(block.data(), kTranslationQuery, &translation, &translationLength) ||
        translationLength < 2 * sizeof(WORD)) {
        return;
    }
    const WORD* pair = static_cast<const WORD*>(translation);
    char query[64] = {};
    std::snprintf(query, sizeof query, kProductVersionQuery, static_cast<unsigned>(pair[0]),
                  static_cast<unsigned>(pair[1]));
    LPVOID version = nullptr;
    UINT versionLength = 0;
    if (VerQueryValueA(block.data(), query, &version, &versionLength) && version) {
        SetProductVersion(static_cast<LPCSTR>(version));
    }
}

}  // namespace

CDrvKeltor::CDrvKeltor() : CDrvKeltor(std::unique_ptr<CBrontal>(new (std::nothrow) CBrontal)) {}

CDrvKeltor::CDrvKeltor(std::unique_ptr<CBrontal> commandLayer)
    : m_brontal(std::move(commandLayer)), m_printerName(kInitialPrinterName) {}

CDrvKeltor::~CDrvKeltor() {
    // FinalRelease normally ran; an object that never got that far still frees its arrays.
    if (m_stringTableItems) {
        SafeArrayDestroy(m_stringTableItems);
    }
    if (m_integerTableItems) {
        SafeArrayDestroy(m_integerTableItems);
    }
}

HRESULT CDrvKeltor::FinalConstruct() {
    if (!m_brontal) {
        return E_FAIL;
    }
    if (!m_monitorUser) {
        JoinSettingsMonitor();
        m_monitorUser = true;
    }
    LoadProductVersion();
    DWORD port = 0;
    DWORD baud = 0;
    if (ReadStoredLinkSettings(m_brontal->Settings(), &port, &baud) == 0 && port != 0 &&
        baud != 0) {
        m_comPort = static_cast<WORD>(port);
        m_baudRate = baud;
        SetCallFlowTraceMask(GetTraceMask());
    }
    return S_OK;
}

void CDrvKeltor::FinalRelease() {
    // Released from inside its own progress dialog: the worker must let go of the layer first.
    CloseProgressWindow(m_brontal.get());
    if (m_monitorUser) {
        LeaveSettingsMonitor();
        m_monitorUser = false;
    }
    m_brontal.reset();
    if (m_stringTableItems) {
        SafeArrayDestroy(m_stringTableItems);
        m_stringTableItems = nullptr;
    }
    if (m_integerTableItems) {
        SafeArrayDestroy(m_integerTableItems);
        m_integerTableItems = nullptr;
    }
}

STDMETHODIMP CDrvKeltor::InterfaceSupportsErrorInfo(REFIID riid) {
    return riid == IID_IDrvKeltor ? S_OK : S_FALSE;
}
