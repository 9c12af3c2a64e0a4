// Journal files: the raw bytes of a read, named "%08u.txt" after the session inside a folder,
// or under the name the client gave.
#include <cstdio>
#include <cstring>

#include "JournalOperations.h"
#include "Trace.h"

namespace {

const char kSaveName[] = "CDrvKeltor::SaveElectronicJournal";
const char kTryFormat[] = "%s() try...";
const char kDoneFormat[] = "%s() done, res=%d(%#0x)";

// "%08u.txt" is 12 characters for every 32-bit number.
constexpr DWORD kJournalFileNameCapacity = 16;
// The folder, a separator, the file name and the temporary suffix.
constexpr DWORD kJournalFilePathCapacity = kJournalPathCapacity + 1 + kJournalFileNameCapacity;
constexpr DWORD kTemporaryPathCapacity = kJournalFilePathCapacity + 24;

bool IsFolder(LPCSTR path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool EndsInSeparator(LPCSTR path, size_t length) {
    return length > 0 && (path[length - 1] == '\\' || path[length - 1] == '/');
}

// The file to write: `path` itself, or the session's file inside the folder `path` names.
bool JournalFilePath(DWORD identifier, LPCSTR path, LPSTR file, DWORD capacity) {
    const size_t length = std::strlen(path);
    int written = 0;
    if (IsFolder(path)) {
        written = std::snprintf(file, capacity, "%s%s%08u.txt", path,
                                EndsInSeparator(path, length) ? "" : "/",
                                static_cast<unsigned>(identifier));
    } else {
        written = std::snprintf(file, capacity, "%s", path);
    }
    return written > 0 && static_cast<DWORD>(written) < capacity;
}

bool WriteAll(HANDLE file, const BYTE* bytes, DWORD count) {
    DWORD done = 0;
    while (done < count) {
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, count - done, &written, nullptr) || written == 0) {
            return false;
        }
        done += written;
    }
    return FlushFileBuffers(file) != FALSE;
}

// The bytes under a temporary name beside the file, then renamed over it.
BOOL WriteWhole(LPCSTR file, const BYTE* bytes, DWORD count) {
    char temporary[kTemporaryPathCapacity];
    const int length = std::snprintf(temporary, sizeof temporary, "%s.%lu.tmp", file,
                                     static_cast<unsigned long>(GetCurrentProcessId()));
    if (length <= 0 || static_cast<DWORD>(length) >= sizeof temporary) {
        return FALSE;
    }
    HANDLE handle = CreateFileA(temporary, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FALSE;
    }
    const bool written = WriteAll(handle, bytes, count);
    const bool closed = CloseHandle(handle) != FALSE;
    if (written && closed &&
        MoveFileExA(temporary, file, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return TRUE;
    }
    DeleteFileA(temporary);
    return FALSE;
}

}  // namespace

BOOL SaveElectronicJournal(DWORD identifier, LPCSTR path, const BYTE* bytes, DWORD count) {
    TraceCallHelper(kCallFlowTraceFile, kTryFormat, kSaveName);
    BOOL saved = FALSE;
    // A path that does not fit is refused whole: a cut one would name another file.
    char file[kJournalFilePathCapacity];
    if (path && path[0] != '\0' && (bytes || count == 0) &&
        std::strlen(path) < kJournalPathCapacity &&
        JournalFilePath(identifier, path, file, sizeof file)) {
        static const BYTE kNothing[1] = {0};
        saved = WriteWhole(file, bytes ? bytes : kNothing, count);
    }
    TraceCallHelper(kCallFlowTraceFile, kDoneFormat, kSaveName, static_cast<int>(saved),
                    static_cast<unsigned>(saved));
    return saved;
}
