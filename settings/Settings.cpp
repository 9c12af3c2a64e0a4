#include "Settings.h"

#include <cstring>
#include <mutex>

#include "SettingsPath.h"

constinit ExtenderSettingsRecord ExtenderSettings;

const char kSettingsKeyName[] = "SOFTWARE\\Orvane\\Brontl\\Settings";
const char kCommunicationKeyName[] = "Communication";
const char kFiscalKeyName[] = "Fiscal";

namespace {
// The monitor thread rewrites the path while trace writers on other threads read it.
std::mutex g_tracePathLock;
}  // namespace

DWORD CopyTracePath(LPSTR buffer, DWORD capacity) {
    if (!buffer || capacity == 0) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(g_tracePathLock);
    DWORD length = BoundedLength(ExtenderSettings.tracePath, kTracePathCapacity - 1);
    if (length > capacity - 1) {
        length = capacity - 1;
    }
    std::memcpy(buffer, ExtenderSettings.tracePath, length);
    buffer[length] = '\0';
    return length;
}

DWORD BoundedLength(LPCSTR text, DWORD limit) {
    DWORD length = 0;
    while (length < limit && text[length] != '\0') {
        ++length;
    }
    return length;
}

bool StoreTracePath(LPCSTR path, DWORD length) {
    if (!path || length >= kTracePathCapacity) {
        return false;
    }
    std::lock_guard<std::mutex> hold(g_tracePathLock);
    std::memcpy(ExtenderSettings.tracePath, path, length);
    // Zero the rest, so that the buffer never holds the tail of a longer, older path.
    std::memset(ExtenderSettings.tracePath + length, 0, kTracePathCapacity - length);
    return true;
}
