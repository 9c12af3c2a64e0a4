// The program's version resource and the title built from it.
#include <windows.h>

#include <versionresource.h>

#include <cstdio>
#include <vector>

#include "AnsiText.h"
#include "DrvKeltortestDlg.h"

BRONTAL_VERSION_RESOURCE(BRONTAL_VERSION_MAJOR, BRONTAL_VERSION_MINOR, BRONTAL_VERSION_PATCH, 0,
                         BRONTAL_VERSION_MAJOR, BRONTAL_VERSION_MINOR, BRONTAL_VERSION_PATCH, 0,
                         VFT_APP, 0x0419, 1251,
                         "CompanyName\0"
                         "Orvane\0"
                         "FileDescription\0"
                         "DrvKeltortest\0"
                         "FileVersion\0" BRONTAL_VERSION_TEXT
                         "\0"
                         "ProductName\0"
                         "DrvKeltortest\0"
                         "ProductVersion\0" BRONTAL_VERSION_TEXT "\0");

QString ProductVersion() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return QString();
    }
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (size == 0) {
        return QString();
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoA(path, handle, size, block.data())) {
        return QString();
    }
    LPVOID translation = nullptr;
    UINT translationLength = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", &translation,
                        &translationLength) ||
        translationLength < 4) {
        return QString();
    }
    const auto* pair = static_cast<const WORD*>(translation);
    char name[64];  // "\\StringFileInfo\\%04x%04x\\ProductVersion"
    std::snprintf(name, sizeof name, "\\StringFileInfo\\%04x%04x\\ProductVersion",
                  static_cast<unsigned>(pair[0]), static_cast<unsigned>(pair[1]));
    LPVOID value = nullptr;
    UINT valueLength = 0;
    if (!VerQueryValueA(block.data(), name, &value, &valueLength) || valueLength == 0) {
        return QString();
    }
    return FromAnsi(static_cast<const char*>(value));
}

QString MainTitle() {
    const QString version = ProductVersion();
    return FromAnsi("Тест драйвера ФР") + QLatin1Char(' ') + version;
}
