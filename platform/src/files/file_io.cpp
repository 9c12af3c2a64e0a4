// ReadFile, WriteFile and the file pointer, size and end of file.
#include "file_errors.h"
#include "file_object.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

using brontal::file::FileObject;

WINBASEAPI BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesRead) {
        *lpNumberOfBytesRead = 0;
    }
    std::shared_ptr<brontal::kernel::IoObject> io = brontal::kernel::LookupIo(hFile);
    if (!io) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToRead > 0)) {
        SetLastError(lpOverlapped ? ERROR_INVALID_PARAMETER : ERROR_NOACCESS);
        return FALSE;
    }
    DWORD done = 0;
    DWORD error = io->Read(lpBuffer, nNumberOfBytesToRead, &done);
    if (lpNumberOfBytesRead) {
        *lpNumberOfBytesRead = done;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

WINBASEAPI BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
    if (lpNumberOfBytesWritten) {
        *lpNumberOfBytesWritten = 0;
    }
    std::shared_ptr<brontal::kernel::IoObject> io = brontal::kernel::LookupIo(hFile);
    if (!io) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpOverlapped || (!lpBuffer && nNumberOfBytesToWrite > 0)) {
        SetLastError(lpOverlapped ? ERROR_INVALID_PARAMETER : ERROR_NOACCESS);
        return FALSE;
    }
    DWORD done = 0;
    DWORD error = io->Write(lpBuffer, nNumberOfBytesToWrite, &done);
    if (lpNumberOfBytesWritten) {
        *lpNumberOfBytesWritten = done;
    }
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

WINBASEAPI BOOL WINAPI FlushFileBuffers(HANDLE hFile) {
    std::shared_ptr<brontal::kernel::IoObject> io = brontal::kernel::LookupIo(hFile);
    if (!io) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    DWORD error = io->Flush();
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

WINBASEAPI BOOL WINAPI GetFileSizeEx(HANDLE hFile, PLARGE_INTEGER lpFileSize) {
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<FileObject> file = brontal::file::LookupFile(hFile, &error);
    if (!file || !lpFileSize) {
        SetLastError(file ? ERROR_INVALID_PARAMETER : error);
        return FALSE;
    }
    struct stat info {};
    if (fstat(file->Fd(), &info) != 0) {
        SetLastError(brontal::file::ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    lpFileSize->QuadPart = info.st_size;
    return TRUE;
}

WINBASEAPI DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(hFile, &size)) {
        return INVALID_FILE_SIZE;
    }
    if (lpFileSizeHigh) {
        *lpFileSizeHigh = static_cast<DWORD>(size.QuadPart >> 32);
    }
    // INVALID_FILE_SIZE can be a true low part; the cleared error tells the two apart.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size.QuadPart & 0xFFFFFFFF);
}

WINBASEAPI DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<FileObject> file = brontal::file::LookupFile(hFile, &error);
    if (!file) {
        SetLastError(error);
        return INVALID_SET_FILE_POINTER;
    }
    // Without the high part the distance is a signed 32-bit value, as on Windows.
    LONGLONG distance =
        lpDistanceToMoveHigh
            ? static_cast<LONGLONG>(
                  (static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
                  static_cast<DWORD>(lDistanceToMove))
            : static_cast<LONGLONG>(lDistanceToMove);
    LONGLONG base = 0;
    if (dwMoveMethod == FILE_CURRENT) {
        base = lseek(file->Fd(), 0, SEEK_CUR);
    } else if (dwMoveMethod == FILE_END) {
        struct stat info {};
        base = fstat(file->Fd(), &info) == 0 ? info.st_size : -1;
    } else if (dwMoveMethod != FILE_BEGIN) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (base < 0) {
        SetLastError(brontal::file::ErrorFromErrno(errno, std::string()));
        return INVALID_SET_FILE_POINTER;
    }
    if ((distance < 0 && base + distance < 0) || (distance > 0 && base > INT64_MAX - distance)) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return INVALID_SET_FILE_POINTER;
    }
    LONGLONG target = base + distance;
    if (!lpDistanceToMoveHigh && target > 0xFFFFFFFELL) {
        // The position would not fit the 32-bit answer.
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_SET_FILE_POINTER;
    }
    if (lseek(file->Fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
        SetLastError(brontal::file::ErrorFromErrno(errno, std::string()));
        return INVALID_SET_FILE_POINTER;
    }
    if (lpDistanceToMoveHigh) {
        *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(target) >> 32);
    }
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(static_cast<ULONGLONG>(target) & 0xFFFFFFFF);
}

WINBASEAPI BOOL WINAPI SetEndOfFile(HANDLE hFile) {
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<FileObject> file = brontal::file::LookupFile(hFile, &error);
    if (!file) {
        SetLastError(error);
        return FALSE;
    }
    if (!file->CanWrite()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    off_t position = lseek(file->Fd(), 0, SEEK_CUR);
    if (position < 0 || ftruncate(file->Fd(), position) != 0) {
        SetLastError(brontal::file::ErrorFromErrno(errno, std::string()));
        return FALSE;
    }
    return TRUE;
}
