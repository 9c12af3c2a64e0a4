#include "SettingsTesting.h"

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "LinkTrace.h"
#include "Registry.h"
#include "Settings.h"
#include "SettingsPath.h"
#include "Trace.h"

namespace settingstest {

void ResetRecord() {
    const ExtenderSettingsRecord initial;
    ExtenderSettings.traceMask = initial.traceMask.load();
    StoreTracePath("", 0);
    ExtenderSettings.traceFileSizeLimit = initial.traceFileSizeLimit.load();
    ExtenderSettings.downloadEJ = initial.downloadEJ.load();
    ExtenderSettings.printEJ = initial.printEJ.load();
    ExtenderSettings.comPort = initial.comPort.load();
    ExtenderSettings.baud = initial.baud.load();
    ExtenderSettings.minBill = initial.minBill.load();
    ExtenderSettings.hyphenationLength = initial.hyphenationLength.load();
    ExtenderSettings.cmdRetryCount = initial.cmdRetryCount.load();
    ExtenderSettings.refundSumMismatchLimit = initial.refundSumMismatchLimit.load();
    ExtenderSettings.quantityPrecision = initial.quantityPrecision.load();
    SetCallFlowTraceMask(0);
    SetLinkTraceHooks(nullptr);
}

void PrintTo(const StoredValue& value, std::ostream* out) {
    *out << "{" << value.name << ", type " << value.type << ", " << value.data.size() << " bytes:";
    for (unsigned char byte : value.data) {
        *out << " " << static_cast<unsigned>(byte);
    }
    *out << "}";
}

std::string Word(DWORD value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof value);
}

std::string Sz(const std::string& text) {
    return text + std::string(1, '\0');
}

namespace {

std::string KeyPath(const std::string& subkey) {
    return subkey.empty() ? std::string(kSettingsKeyName)
                          : std::string(kSettingsKeyName) + "\\" + subkey;
}

}  // namespace

std::vector<StoredValue> StoredValues(const std::string& subkey) {
    std::vector<StoredValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyPath(subkey).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return values;
    }
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH] = {};
        DWORD nameLength = sizeof name;
        BYTE data[4096] = {};
        DWORD size = sizeof data;
        DWORD type = REG_NONE;
        const LONG status =
            RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &size);
        if (status != ERROR_SUCCESS) {
            EXPECT_EQ(status, ERROR_NO_MORE_ITEMS);
            break;
        }
        values.push_back({name, type, std::string(reinterpret_cast<const char*>(data), size)});
    }
    RegCloseKey(key);
    return values;
}

bool SettingsKeyExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

void StoreRaw(const std::string& subkey, const std::string& name, DWORD type,
              const std::string& data) {
    testsupport::WriteValue(HKEY_CURRENT_USER, KeyPath(subkey), name, type, data);
}

void StoreWord(const std::string& subkey, const std::string& name, DWORD value) {
    StoreRaw(subkey, name, REG_DWORD, Word(value));
}

void StoreText(const std::string& subkey, const std::string& name, const std::string& text) {
    StoreRaw(subkey, name, REG_SZ, Sz(text));
}

HKEY OpenSettingsKey() {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    return key;
}

std::string MaskedTrace(const std::string& path, DWORD threadId) {
    static const std::regex kStamp(
        R"(^(\d{4})/(\d{2})/(\d{2}) (\d{2}):(\d{2}):(\d{2}):(\d{3}) \[(\d+)\])");
    const std::string bytes = testsupport::ReadFileBytes(path);
    std::string masked;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        std::string line = bytes.substr(start, end - start);
        std::smatch match;
        // Only lines that begin with a digit are stamped; dump lines begin with spaces.
        if (!line.empty() && line[0] >= '0' && line[0] <= '9') {
            if (std::regex_search(line, match, kStamp)) {
                EXPECT_GE(std::stoi(match[1]), 2000) << line;
                EXPECT_LE(std::stoi(match[2]), 12) << line;
                EXPECT_LE(std::stoi(match[4]), 23) << line;
                EXPECT_LE(std::stoi(match[5]), 59) << line;
                EXPECT_EQ(std::stoul(match[8]), threadId) << line;
                line = "{stamp}" + line.substr(match[0].length());
            } else {
                ADD_FAILURE() << "malformed stamp: " << line;
            }
        }
        masked += line;
        start = end;
    }
    return masked;
}

std::string Crlf1251(const std::string& utf8) {
    std::string crlf;
    for (char c : utf8) {
        if (c == '\n') {
            crlf += '\r';
        }
        crlf += c;
    }
    return testsupport::Cp1251(crlf);
}

std::string ExpectedTrace(const std::string& name) {
    const std::string path = std::string(BRONTAL_SOURCE_DIR) + "/tests/settings/expected/" + name;
    const std::string text = testsupport::ReadFileBytes(path);
    EXPECT_FALSE(text.empty()) << "missing expected file " << path;
    return Crlf1251(text);
}

}  // namespace settingstest
