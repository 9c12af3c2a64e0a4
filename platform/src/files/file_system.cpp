// Names in the file system: move, delete, folders, attributes, and the current folder and
// environment seen as ANSI texts.
#include "codepage.h"
#include "file_errors.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brontal::file {

namespace {

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::string FolderOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

int RenameNoReplace(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return -1;
    }
    // A file system without RENAME_NOREPLACE: check, then rename.
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return -1;
    }
    return rename(from.c_str(), to.c_str());
}

// Copies `from` next to `to` and renames the copy into place, so that `to` is never half written;
// the copy reaches the disk before the source goes. Returns 0 or an errno value.
int CopyAcross(const std::string& from, const std::string& to, bool replace) {
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return errno;
    }
    struct stat info {};
    if (fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        int error = S_ISDIR(info.st_mode) ? EXDEV : errno;
        close(in);
        return error;
    }
    std::string temporary = to + ".XXXXXX";
    int out = mkostemp(temporary.data(), O_CLOEXEC);
    if (out < 0) {
        int error = errno;
        close(in);
        return error;
    }
    int error = 0;
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        for (ssize_t written = 0; written < n && error == 0;) {
            ssize_t w = write(out, buffer + written, static_cast<size_t>(n - written));
            if (w < 0 && errno != EINTR) {
                error = errno;
            } else if (w > 0) {
                written += w;
            }
        }
        if (error != 0) {
            break;
        }
    }
    if (error == 0 && (fchmod(out, info.st_mode & 07777) != 0 || fsync(out) != 0)) {
        error = errno;
    }
    close(in);
    if (close(out) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0) {
        int rc = replace ? rename(temporary.c_str(), to.c_str()) : RenameNoReplace(temporary, to);
        if (rc != 0) {
            error = errno;
        }
    }
    if (error != 0) {
        unlink(temporary.c_str());
        return error;
    }
    SyncFolder(FolderOf(to));
    // As on Windows, a source that cannot be removed after a good copy does not fail the move.
    unlink(from.c_str());
    return 0;
}

// Copies an ANSI answer into the caller's buffer with the Windows size rule: the length without
// the terminator when it fits, else the size needed including the terminator.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size <= text.size()) {
        return static_cast<DWORD>(text.size() + 1);
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

}  // namespace

}  // namespace brontal::file

using brontal::file::FailWith;
using brontal::file::HostPath;

WINBASEAPI BOOL WINAPI MoveFileExA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName, DWORD dwFlags) {
    if (!lpExistingFileName || !lpNewFileName || !*lpExistingFileName || !*lpNewFileName) {
        return FailWith(ERROR_INVALID_PARAMETER);
    }
    const std::string from = HostPath(lpExistingFileName);
    const std::string to = HostPath(lpNewFileName);
    const bool replace = (dwFlags & MOVEFILE_REPLACE_EXISTING) != 0;
    int rc = replace ? rename(from.c_str(), to.c_str()) : brontal::file::RenameNoReplace(from, to);
    if (rc != 0 && errno == EXDEV && (dwFlags & MOVEFILE_COPY_ALLOWED)) {
        int error = brontal::file::CopyAcross(from, to, replace);
        if (error != 0) {
            errno = error;
            rc = -1;
        } else {
            rc = 0;
        }
    }
    if (rc != 0) {
        DWORD error = errno == EEXIST ? static_cast<DWORD>(ERROR_ALREADY_EXISTS)
                                      : brontal::file::ErrorFromErrno(errno, from);
        if (errno == ENOENT && access(from.c_str(), F_OK) == 0) {
            error = ERROR_PATH_NOT_FOUND;  // it is the target's folder that is missing
        }
        return FailWith(error);
    }
    if (dwFlags & MOVEFILE_WRITE_THROUGH) {
        brontal::file::SyncFolder(brontal::file::FolderOf(to));
    }
    return TRUE;
}

WINBASEAPI BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
    if (!lpFileName || !*lpFileName) {
        return FailWith(lpFileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    }
    const std::string path = HostPath(lpFileName);
    if (unlink(path.c_str()) != 0) {
        return FailWith(brontal::file::ErrorFromErrno(errno, path));
    }
    return TRUE;
}

WINBASEAPI BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
    if (!lpPathName || !*lpPathName) {
        return FailWith(lpPathName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
    }
    std::string path = HostPath(lpPathName);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    if (mkdir(path.c_str(), 0755) != 0) {
        DWORD error = errno == EEXIST   ? static_cast<DWORD>(ERROR_ALREADY_EXISTS)
                      : errno == ENOENT ? static_cast<DWORD>(ERROR_PATH_NOT_FOUND)
                                        : brontal::file::ErrorFromErrno(errno, path);
        return FailWith(error);
    }
    return TRUE;
}

WINBASEAPI DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
    if (!lpFileName || !*lpFileName) {
        SetLastError(lpFileName ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    const std::string path = HostPath(lpFileName);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        SetLastError(brontal::file::ErrorFromErrno(errno, path));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(info.st_mode)) {
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= FILE_ATTRIBUTE_READONLY;
    }
    return attributes != 0 ? attributes : static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL);
}

WINBASEAPI DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
    std::string folder(256, '\0');
    while (!getcwd(folder.data(), folder.size())) {
        if (errno != ERANGE || folder.size() > (1u << 20)) {
            SetLastError(brontal::file::ErrorFromErrno(errno, std::string()));
            return 0;
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(std::strlen(folder.c_str()));
    return brontal::file::CopyOut(brontal::codepage::Utf8ToAnsi(folder), lpBuffer, nBufferLength);
}

WINBASEAPI DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize) {
    if (!lpName || !*lpName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* value = std::getenv(brontal::codepage::AnsiToUtf8(lpName).c_str());
    if (!value) {
        SetLastError(ERROR_ENVVAR_NOT_FOUND);
        return 0;
    }
    std::string ansi = brontal::codepage::Utf8ToAnsi(value);
    if (ansi.empty()) {
        SetLastError(ERROR_SUCCESS);  // tells an empty value from a missing one
    }
    return brontal::file::CopyOut(ansi, lpBuffer, nSize);
}
