// The settings document "settings.xml" in the current folder: the remembered values of the pages
// and the printer's tables as the table pages saved them.
#pragma once

#include <memory>

class CSimpleXML;

constexpr char kSettingsFile[] = "settings.xml";
constexpr char kSettingsRoot[] = "SETTINGS";

// The document loaded from `fileName`; when it cannot be loaded, an empty "SETTINGS" document
// (a file that is there but does not parse is first copied to "<name>.bak", or "<name>.N.bak"
// when that is taken, so that the next save does not destroy it); null when no document can be
// made at all.
std::unique_ptr<CSimpleXML> OpenSettingsDocument(const char* fileName);
// Empties `document` and loads `fileName` into it, or starts a fresh "SETTINGS" document when the
// file cannot be loaded. False only when even that fails.
bool ReloadSettingsDocument(CSimpleXML& document, const char* fileName);
