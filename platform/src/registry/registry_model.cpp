#include "registry_model.h"

#include <algorithm>

namespace brontal::registry {

char16_t FoldChar(char16_t c) {
    if (c >= u'a' && c <= u'z') {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c < 0x80) {
        return c;
    }
    // Latin-1 small letters (except the division sign and y with diaeresis).
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0x430 && c <= 0x44F) {  // а..я
        return static_cast<char16_t>(c - 0x20);
    }
    if (c >= 0x450 && c <= 0x45F) {  // ѐ..џ, among them ё, ђ, ѓ, є, ѕ, і, ї, ј, љ, њ, ћ, ќ, ў
        return static_cast<char16_t>(c - 0x50);
    }
    if (c == 0x491) {  // ґ
        return 0x490;
    }
    return c;
}

int CompareNames(const Text& a, const Text& b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = FoldChar(a[i]);
        const char16_t y = FoldChar(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool SameName(const Text& a, const Text& b) {
    return a.size() == b.size() && CompareNames(a, b) == 0;
}

namespace {
auto SubkeyPosition(const std::vector<std::unique_ptr<Key>>& subkeys, const Text& name) {
    return std::lower_bound(
        subkeys.begin(), subkeys.end(), name,
        [](const std::unique_ptr<Key>& k, const Text& n) { return CompareNames(k->name, n) < 0; });
}
}  // namespace

Key* Key::FindSubkey(const Text& subkeyName) const {
    auto it = SubkeyPosition(subkeys, subkeyName);
    if (it != subkeys.end() && SameName((*it)->name, subkeyName)) {
        return it->get();
    }
    return nullptr;
}

Key* Key::AddSubkey(const Text& subkeyName) {
    auto it = SubkeyPosition(subkeys, subkeyName);
    auto key = std::make_unique<Key>();
    key->name = subkeyName;
    return subkeys.insert(it, std::move(key))->get();
}

bool Key::RemoveSubkey(const Text& subkeyName) {
    auto it = SubkeyPosition(subkeys, subkeyName);
    if (it != subkeys.end() && SameName((*it)->name, subkeyName)) {
        subkeys.erase(it);
        return true;
    }
    return false;
}

const Value* Key::FindValue(const Text& valueName) const {
    for (const Value& v : values) {
        if (SameName(v.name, valueName)) {
            return &v;
        }
    }
    return nullptr;
}

Value* Key::FindValue(const Text& valueName) {
    return const_cast<Value*>(static_cast<const Key*>(this)->FindValue(valueName));
}

void Key::SetValue(const Text& valueName, DWORD type, std::vector<BYTE> data) {
    if (Value* v = FindValue(valueName)) {
        v->type = type;
        v->data = std::move(data);
        return;
    }
    values.push_back(Value{valueName, type, std::move(data)});
}

bool Key::RemoveValue(const Text& valueName) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (SameName(it->name, valueName)) {
            values.erase(it);
            return true;
        }
    }
    return false;
}

std::unique_ptr<Key> CloneKey(const Key& key) {
    auto copy = std::make_unique<Key>();
    copy->name = key.name;
    copy->values = key.values;
    copy->subkeys.reserve(key.subkeys.size());
    for (const auto& sub : key.subkeys) {
        copy->subkeys.push_back(CloneKey(*sub));
    }
    return copy;
}

bool SameContent(const Key& a, const Key& b) {
    if (a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size()) {
        return false;
    }
    for (size_t i = 0; i < a.values.size(); ++i) {
        const Value& x = a.values[i];
        const Value& y = b.values[i];
        if (x.name != y.name || x.type != y.type || x.data != y.data) {
            return false;
        }
    }
    for (size_t i = 0; i < a.subkeys.size(); ++i) {
        if (a.subkeys[i]->name != b.subkeys[i]->name ||
            !SameContent(*a.subkeys[i], *b.subkeys[i])) {
            return false;
        }
    }
    return true;
}

const Key* FindPath(const Key& root, const std::vector<Text>& path) {
    const Key* key = &root;
    for (const Text& part : path) {
        key = key->FindSubkey(part);
        if (!key) {
            return nullptr;
        }
    }
    return key;
}

Key* FindPath(Key& root, const std::vector<Text>& path) {
    return const_cast<Key*>(FindPath(static_cast<const Key&>(root), path));
}

}  // namespace brontal::registry
