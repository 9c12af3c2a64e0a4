#include "AnsiText.h"

#include <cstring>

QString FromWide(const OLECHAR* text, UINT length) {
    return text ? QString::fromUtf16(text, static_cast<qsizetype>(length)) : QString();
}

QString FromBstr(BSTR text) {
    return FromWide(text, SysStringLen(text));
}

QString FromAnsi(const std::string& text) {
    if (text.empty()) {
        return QString();
    }
    const int count =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (count <= 0) {
        return QString();
    }
    std::basic_string<OLECHAR> wide(static_cast<size_t>(count), OLECHAR(0));
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
    return FromWide(wide.data(), static_cast<UINT>(wide.size()));
}

QString FromAnsi(const char* text) {
    return text ? FromAnsi(std::string(text)) : QString();
}

std::basic_string<OLECHAR> ToWide(const QString& text) {
    return std::basic_string<OLECHAR>(reinterpret_cast<const OLECHAR*>(text.utf16()),
                                      static_cast<size_t>(text.size()));
}

std::string ToAnsi(const QString& text) {
    const std::basic_string<OLECHAR> wide = ToWide(text);
    if (wide.empty()) {
        return std::string();
    }
    const int count = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                          nullptr, 0, nullptr, nullptr);
    if (count <= 0) {
        return std::string();
    }
    std::string ansi(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), count,
                        nullptr, nullptr);
    return ansi;
}

BSTR ToBstr(const QString& text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()),
                             static_cast<UINT>(text.size()));
}
