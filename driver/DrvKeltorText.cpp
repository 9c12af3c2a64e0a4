// BSTR <-> ANSI conversions of the driver's texts.
#include "DrvKeltorText.h"

#include <climits>
#include <cstdio>
#include <new>

namespace {

HRESULT BstrFromBytes(UINT codePage, LPCSTR text, size_t length, BSTR* wide) {
    if (!wide) {
        return E_POINTER;
    }
    *wide = nullptr;
    if (length > static_cast<size_t>(INT_MAX)) {
        return E_OUTOFMEMORY;
    }
    const int count = static_cast<int>(length);
    const int wideLength =
        count == 0 ? 0 : MultiByteToWideChar(codePage, 0, text, count, nullptr, 0);
    if (count != 0 && wideLength <= 0) {
        return E_FAIL;
    }
    BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(wideLength));
    if (!result) {
        return E_OUTOFMEMORY;
    }
    if (wideLength > 0 && MultiByteToWideChar(codePage, 0, text, count, result, wideLength) <= 0) {
        SysFreeString(result);
        return E_FAIL;
    }
    result[wideLength] = 0;
    *wide = result;
    return S_OK;
}

HRESULT BytesFromBstr(UINT codePage, BSTR wide, std::string& text) {
    const UINT length = SysStringLen(wide);
    if (length == 0) {
        text.clear();
        return S_OK;
    }
    if (length > static_cast<UINT>(INT_MAX)) {
        return E_OUTOFMEMORY;
    }
    const int count = static_cast<int>(length);
    const int ansiLength =
        WideCharToMultiByte(codePage, 0, wide, count, nullptr, 0, nullptr, nullptr);
    if (ansiLength <= 0) {
        return E_FAIL;
    }
    try {
        std::string converted(static_cast<size_t>(ansiLength), '\0');
        WideCharToMultiByte(codePage, 0, wide, count, converted.data(), ansiLength, nullptr,
                            nullptr);
        text.swap(converted);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT BstrFromString(UINT codePage, LPCSTR text, BSTR* wide) {
    size_t length = 0;
    if (text) {
        while (text[length] != '\0') {
            ++length;
        }
    }
    return BstrFromBytes(codePage, text ? text : "", length, wide);
}

}  // namespace

HRESULT AnsiFromBstr(BSTR wide, std::string& text) {
    return BytesFromBstr(kDriverTextCodePage, wide, text);
}

HRESULT BstrFromAnsi(const std::string& text, BSTR* wide) {
    return BstrFromBytes(kDriverTextCodePage, text.data(), text.size(), wide);
}

HRESULT BstrFromAnsi(LPCSTR text, BSTR* wide) {
    return BstrFromString(kDriverTextCodePage, text, wide);
}

HRESULT PathFromBstr(BSTR wide, std::string& path) {
    return BytesFromBstr(CP_ACP, wide, path);
}

HRESULT BstrFromPath(LPCSTR path, BSTR* wide) {
    return BstrFromString(CP_ACP, path, wide);
}

BOOL SetCaption(HWND window, LPCSTR text) {
    BSTR wide = nullptr;
    if (FAILED(BstrFromString(kDriverTextCodePage, text, &wide))) {
        return FALSE;
    }
    const BOOL done = SetWindowTextW(window, wide);
    SysFreeString(wide);
    return done;
}

int GetCaption(HWND window, LPSTR text, int capacity) {
    if (!text || capacity <= 0) {
        return 0;
    }
    text[0] = '\0';
    WCHAR wide[kCaptionCapacity] = {};
    const int length =
        GetWindowTextW(window, wide, capacity < kCaptionCapacity ? capacity : kCaptionCapacity);
    if (length <= 0) {
        return 0;
    }
    const int count = WideCharToMultiByte(kDriverTextCodePage, 0, wide, length, text, capacity - 1,
                                          nullptr, nullptr);
    text[count > 0 ? count : 0] = '\0';
    return count > 0 ? count : 0;
}

bool DateOfPrinterClock(LPCSTR date, LPCSTR time, bool lenient, DATE* value) {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    const bool dateRead = std::sscanf(date, "%04d%02d%02d", &year, &month, &day) == 3;
    const bool timeRead = std::sscanf(time, "%02d%02d%02d", &hour, &minute, &second) == 3;
    if (!lenient && (!dateRead || !timeRead)) {
        return false;
    }
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) {
        return false;
    }
    if (!lenient && (year > 9999 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
                     minute > 59 || second > 59)) {
        return false;
    }
    SYSTEMTIME moment = {};
    moment.wYear = static_cast<WORD>(year);
    moment.wMonth = static_cast<WORD>(month);
    moment.wDay = static_cast<WORD>(day);
    moment.wHour = static_cast<WORD>(hour);
    moment.wMinute = static_cast<WORD>(minute);
    moment.wSecond = static_cast<WORD>(second);
    return SystemTimeToVariantTime(&moment, value) != 0;
}
