#include "TraceFile.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "Settings.h"
#include "SettingsPath.h"
#include "Trace.h"

namespace {

std::mutex g_fileLock;

// "2026/12/07 01:52:07:045 [3412]" and a tab: 33 characters for a 10-digit thread identifier.
constexpr DWORD kPrefixCapacity = 64;
constexpr DWORD kLineCapacity = kPrefixCapacity + kTraceLineTextLimit + 3;

DWORD FormatPrefix(char* out, DWORD capacity, bool tabbed) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const int length = std::snprintf(
        out, capacity,
        tabbed ? "%04u/%02u/%02u %02u:%02u:%02u:%03u [%lu]\t"
               : "%04u/%02u/%02u %02u:%02u:%02u:%03u [%lu]",
        static_cast<unsigned>(now.wYear), static_cast<unsigned>(now.wMonth),
        static_cast<unsigned>(now.wDay), static_cast<unsigned>(now.wHour),
        static_cast<unsigned>(now.wMinute), static_cast<unsigned>(now.wSecond),
        static_cast<unsigned>(now.wMilliseconds), static_cast<unsigned long>(GetCurrentThreadId()));
    if (length < 0) {
        out[0] = '\0';
        return 0;
    }
    return static_cast<DWORD>(length) < capacity ? static_cast<DWORD>(length) : capacity - 1;
}

}  // namespace

void AppendToTraceFile(LPCSTR fileName, const char* bytes, DWORD length) {
    if (!fileName || !*fileName) {
        return;
    }
    std::lock_guard<std::mutex> hold(g_fileLock);
    HANDLE file = CreateFileA(fileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    LONG high = 0;
    if (SetFilePointer(file, 0, &high, FILE_END) != INVALID_SET_FILE_POINTER ||
        GetLastError() == ERROR_SUCCESS) {
        DWORD written = 0;
        WriteFile(file, bytes, length, &written, nullptr);
    }
    CloseHandle(file);
}

void AppendFormattedLine(LPCSTR fileName, bool stamped, bool tabbed, LPCSTR format,
                         va_list arguments) {
    if (!fileName || !*fileName || !format) {
        return;
    }
    char line[kLineCapacity];
    DWORD length = stamped ? FormatPrefix(line, kPrefixCapacity, tabbed) : 0;
    const int text = std::vsnprintf(line + length, kTraceLineTextLimit + 1, format, arguments);
    if (text > 0) {
        length += static_cast<DWORD>(text) < kTraceLineTextLimit ? static_cast<DWORD>(text)
                                                                 : kTraceLineTextLimit;
    }
    line[length++] = '\r';
    line[length++] = '\n';
    AppendToTraceFile(fileName, line, length);
}

void AppendStampedLine(LPCSTR fileName, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedLine(fileName, true, false, format, arguments);
    va_end(arguments);
}

void AppendLine(LPCSTR fileName, LPCSTR format, ...) {
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedLine(fileName, false, false, format, arguments);
    va_end(arguments);
}

bool TraceFileTooBig(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        return false;
    }
    std::lock_guard<std::mutex> hold(g_fileLock);
    HANDLE file = CreateFileA(fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    const DWORD error = low == INVALID_FILE_SIZE ? GetLastError() : ERROR_SUCCESS;
    CloseHandle(file);
    if (error != ERROR_SUCCESS) {
        return false;
    }
    if (high != 0) {
        return true;
    }
    const ULONGLONG limitBytes = static_cast<ULONGLONG>(ExtenderSettings.traceFileSizeLimit) * 1024;
    return low >= limitBytes;
}

void RotateTraceFile(LPCSTR fileName) {
    if (!fileName) {
        return;
    }
    const DWORD length = BoundedLength(fileName, kTracePathCapacity);
    if (length == 0 || length >= kTracePathCapacity) {
        return;
    }
    // "bak" may be longer than the extension it replaces ("trace.x").
    constexpr DWORD kBackupCapacity = kTracePathCapacity + 3;
    char backup[kBackupCapacity] = {};
    std::memcpy(backup, fileName, length);
    // Only a '.' of the file name itself counts: one in a folder name would move the trace out
    // of its folder and replace whatever file has that name.
    DWORD dot = length;
    for (DWORD i = length; i-- > 0;) {
        if (backup[i] == '/' || backup[i] == '\\') {
            break;
        }
        if (backup[i] == '.') {
            dot = i;
            break;
        }
    }
    if (dot == length) {
        return;
    }
    std::memcpy(backup + dot + 1, "bak", 4);
    std::lock_guard<std::mutex> hold(g_fileLock);
    MoveFileExA(fileName, backup,
                MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
}
