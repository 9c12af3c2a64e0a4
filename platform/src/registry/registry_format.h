// Hive files: the text of a Windows registry export ("Windows Registry Editor Version 5.00"),
// written as regedit writes it (UTF-16LE with BOM, CRLF) and read from that or from UTF-8, so a
// file exchanges with Windows and can be edited by hand.
#pragma once

#include "registry_model.h"

#include <string>
#include <string_view>

namespace brontal::registry {

// Fills root (which must be empty) from the file's bytes. Any input that is not a well-formed
// export gives false; an empty file is an empty hive. rootName is the section prefix the file
// must use, e.g. HKEY_CURRENT_USER.
bool ParseHive(std::string_view bytes, const Text& rootName, Key& root);

std::string FormatHive(const Key& root, const Text& rootName);

}  // namespace brontal::registry
