// Text conversions and registry reads shared by the component runtime.
#pragma once

#include <objbase.h>
#include <winreg.h>

#include <string>

namespace com {

// Wide text to ANSI (CP_ACP); false when a character has no ANSI form or memory runs out.
bool AnsiFromWide(LPCOLESTR text, std::string& ansi);
bool WideFromAnsi(const std::string& ansi, std::u16string& wide);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidText(REFGUID guid);
bool ParseGuid(LPCOLESTR text, GUID& guid);

// The default value of HKEY_CLASSES_ROOT\<subKey> as a text (REG_SZ or REG_EXPAND_SZ).
// ERROR_FILE_NOT_FOUND when the key or its default value is missing.
LSTATUS ReadClassesRootText(const std::string& subKey, std::string& text);

}  // namespace com
