// Helpers of the settings tests: the record's initial values, the settings key as the tests see
// it, a temporary working folder and expected trace files.
#pragma once

#include <windows.h>

#include <ostream>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace settingstest {

// Puts every value of the record back to its initial value, the call-flow mask copy to 0, and
// the link's hooks back to none.
void ResetRecord();

struct StoredValue {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const StoredValue&) const = default;
};
void PrintTo(const StoredValue& value, std::ostream* out);

std::string Word(DWORD value);            // the four bytes of a REG_DWORD
std::string Sz(const std::string& text);  // the text with its terminator

// Every value of HKEY_CURRENT_USER\<settings key>[\<subkey>], in the order they were created;
// empty when the key does not exist.
std::vector<StoredValue> StoredValues(const std::string& subkey = "");
bool SettingsKeyExists();
// Writes a value under HKEY_CURRENT_USER\<settings key>[\<subkey>], creating the keys.
void StoreWord(const std::string& subkey, const std::string& name, DWORD value);
void StoreText(const std::string& subkey, const std::string& name, const std::string& text);
void StoreRaw(const std::string& subkey, const std::string& name, DWORD type,
              const std::string& data);
// Opens the settings key for query (a test's stand-in for the handle the monitor holds).
HKEY OpenSettingsKey();

using testsupport::ScopedWorkDir;

// A trace file with the stamp of each stamped line replaced by "{stamp}". Fails the test when a
// stamp is malformed or names another thread than `threadId`.
std::string MaskedTrace(const std::string& path, DWORD threadId);
// An expected trace from tests/settings/expected/: UTF-8 with "\n" in the source tree, turned into
// the Windows-1251 bytes with "\r\n" that the trace writes.
std::string ExpectedTrace(const std::string& name);
// The same conversion for a text given in the test.
std::string Crlf1251(const std::string& utf8);

}  // namespace settingstest
