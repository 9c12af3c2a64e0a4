// The in-memory form of a hive: a tree of keys holding values. Names and string data are kept as
// UTF-16, as the Windows registry keeps them; the *A functions convert at the boundary.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace brontal::registry {

using Text = std::u16string;

// Windows limits: a key name component, a value name, and the depth of a key path.
constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;
constexpr size_t kMaxKeyDepth = 512;
// The size limit of a value in the standard hive format of Windows.
constexpr size_t kMaxValueDataBytes = 1u << 20;

struct Value {
    Text name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;  // string types hold UTF-16LE bytes
};

struct Key {
    Text name;
    std::vector<Value> values;                  // in creation order
    std::vector<std::unique_ptr<Key>> subkeys;  // ordered by folded name, as Windows enumerates

    Key* FindSubkey(const Text& subkeyName) const;
    // Inserts a new empty subkey in enumeration order; the caller has checked it is absent.
    Key* AddSubkey(const Text& subkeyName);
    bool RemoveSubkey(const Text& subkeyName);
    const Value* FindValue(const Text& valueName) const;
    Value* FindValue(const Text& valueName);
    // Rewriting keeps the value's place (and the case of its name); a new one goes to the end.
    void SetValue(const Text& valueName, DWORD type, std::vector<BYTE> data);
    bool RemoveValue(const Text& valueName);
};

std::unique_ptr<Key> CloneKey(const Key& key);
// Same values (in the same order) and the same subkeys, recursively.
bool SameContent(const Key& a, const Key& b);
// Follows path components from key; null when one is missing.
const Key* FindPath(const Key& root, const std::vector<Text>& path);
Key* FindPath(Key& root, const std::vector<Text>& path);

// Case-insensitive comparison of key and value names, as Windows folds them (upper case of the
// ASCII, Latin-1 and Cyrillic letters).
char16_t FoldChar(char16_t c);
bool SameName(const Text& a, const Text& b);
int CompareNames(const Text& a, const Text& b);

}  // namespace brontal::registry
