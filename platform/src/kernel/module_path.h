// File names between the ANSI texts of the API and the file system's UTF-8.
#pragma once

#include <string>

namespace module {

// An ANSI (Windows-1251) path as the file system's UTF-8, '\\' turned into '/'. False when the
// text cannot be converted.
bool FileSystemPath(const char* ansi, std::string& path);
// A file system path as ANSI text; characters without an ANSI form become '?'.
bool AnsiPath(const std::string& path, std::string& ansi);

}  // namespace module
