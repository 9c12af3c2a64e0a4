// File names and errors where ANSI Windows names meet the POSIX file system.
#pragma once

#include <windows.h>

#include <string>

namespace brontal::file {

// The file system's UTF-8 name of an ANSI (Windows-1251) name, with '\\' turned into '/'.
std::string HostPath(LPCSTR ansiName);

// The Windows code for a failed POSIX call on `hostPath`. ENOENT tells a missing file
// (ERROR_FILE_NOT_FOUND) from a missing folder on the way (ERROR_PATH_NOT_FOUND).
DWORD ErrorFromErrno(int error, const std::string& hostPath);

}  // namespace brontal::file
