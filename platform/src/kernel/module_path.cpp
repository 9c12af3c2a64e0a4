#include "module_path.h"

#include <windows.h>

#include "file_errors.h"

namespace module {

namespace {

bool Convert(UINT fromCodePage, UINT toCodePage, const std::string& text, std::string& out) {
    out.clear();
    if (text.empty()) {
        return true;
    }
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(fromCodePage, 0, text.data(), length, nullptr, 0);
    if (wideLength <= 0) {
        return false;
    }
    std::u16string wide(static_cast<std::size_t>(wideLength), u'\0');
    if (MultiByteToWideChar(fromCodePage, 0, text.data(), length, wide.data(), wideLength) <= 0) {
        return false;
    }
    const int outLength =
        WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (outLength <= 0) {
        return false;
    }
    out.assign(static_cast<std::size_t>(outLength), '\0');
    return WideCharToMultiByte(toCodePage, 0, wide.data(), wideLength, out.data(), outLength,
                               nullptr, nullptr) > 0;
}

}  // namespace

bool FileSystemPath(const char* ansi, std::string& path) {
    if (!ansi) {
        return false;
    }
    path = brontal::file::HostPath(ansi);  // the same path CreateFileA opens
    return true;
}

bool AnsiPath(const std::string& path, std::string& ansi) {
    return Convert(CP_UTF8, CP_ACP, path, ansi);
}

}  // namespace module
