// The process-wide result code, its HRESULT and the driver's own result texts.
#include "DrvKeltorResult.h"

#include <atomic>

#include "DrvKeltor.h"

namespace {

std::atomic<int> g_resultCode{0};
char g_productVersion[kProductVersionLimit + 1] = {};

constexpr LONGLONG kInterfaceFacilityRange = 1000;
constexpr LONGLONG kInterfaceFacilityThousands = 9;
constexpr HRESULT kInterfaceSuccess = 0x00040000;
constexpr ULONG kInterfaceFailure = 0x80040000UL;

// -c as a 64-bit value, so that the most negative code has a magnitude too.
LONGLONG Magnitude(int code) {
    return -static_cast<LONGLONG>(code);
}

}  // namespace

int DriverResultCode() {
    return g_resultCode.load(std::memory_order_relaxed);
}

void SetDriverResultCode(int code) {
    g_resultCode.store(code, std::memory_order_relaxed);
}

HRESULT HResultFromResultCode(int code) {
    if (code == 0) {
        return S_OK;
    }
    if (code > 0) {
        return static_cast<HRESULT>(kInterfaceSuccess | code);
    }
    const LONGLONG magnitude = Magnitude(code);
    if (magnitude / kInterfaceFacilityRange == kInterfaceFacilityThousands) {
        return static_cast<HRESULT>(kInterfaceFailure | static_cast<ULONG>(magnitude));
    }
    return E_FAIL;
}

bool IsDriverObjectCode(int code) {
    if (code >= 0) {
        return false;
    }
    const LONGLONG magnitude = Magnitude(code);
    return magnitude / kInterfaceFacilityRange == kInterfaceFacilityThousands &&
           magnitude % kInterfaceFacilityRange > 400;
}

LPCSTR DriverResultText(int code) {
    switch (code) {
        case kDriverInitFailed:
            return "Ошибка инициализации драйвера";
        case kDriverWorkerStartFailed:
            return "Ошибка запуска вспомогательного потока";
        case kDriverWorkerInitFailed:
            return "Ошибка инициализации вспомогательного потока";
        default:
            return nullptr;
    }
}

void SetProductVersion(LPCSTR version) {
    DWORD length = 0;
    if (version) {
        while (length < kProductVersionLimit && version[length] != '\0') {
            g_productVersion[length] = version[length];
            ++length;
        }
    }
    g_productVersion[length] = '\0';
}

LPCSTR ProductVersion() {
    return g_productVersion;
}
