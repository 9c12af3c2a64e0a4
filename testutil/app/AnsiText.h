// The utility's texts are Windows-1251, as the driver's are; Qt shows UTF-16. Every text that
// crosses is converted here, explicitly.
#pragma once

#include <windows.h>

#include <QString>
#include <string>

QString FromAnsi(const char* text);
QString FromAnsi(const std::string& text);
std::string ToAnsi(const QString& text);
QString FromWide(const OLECHAR* text, UINT length);
QString FromBstr(BSTR text);
// A new BSTR the caller frees; null only without memory.
BSTR ToBstr(const QString& text);
std::basic_string<OLECHAR> ToWide(const QString& text);
