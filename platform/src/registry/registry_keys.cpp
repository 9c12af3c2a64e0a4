#include "registry_keys.h"

#include "registry_names.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace brontal::registry {

namespace {

constexpr ULONG_PTR kFirstHandle = 0x1000;
constexpr REGSAM kAllRights = 0x3F;
constexpr REGSAM kMaximumAllowed = 0x02000000;

struct HandleTable {
    std::mutex mutex;
    ULONG_PTR next = kFirstHandle;  // numbers are never reused, so a stale handle stays invalid
    std::map<ULONG_PTR, KeyHandle> open;
};
HandleTable& Table() {
    static auto* table = new HandleTable;
    return *table;
}

const std::vector<Text>& ClassesPath() {
    static const auto* path = new std::vector<Text>{u"Software", u"Classes"};
    return *path;
}

}  // namespace

bool IsPredefined(HKEY key) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    return value >= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) &&
           value <= reinterpret_cast<ULONG_PTR>(HKEY_CLASSES_ROOT) + 0x6F;
}

// Predefined keys redirected by RegOverridePredefKey, by their number.
struct Overrides {
    std::mutex mutex;
    std::map<ULONG_PTR, KeyHandle> keys;
};
Overrides& PredefinedOverrides() {
    static auto* overrides = new Overrides;
    return *overrides;
}

LSTATUS FindHandle(HKEY key, KeyHandle& handle) {
    const auto value = reinterpret_cast<ULONG_PTR>(key);
    if (IsPredefined(key)) {
        {
            Overrides& overrides = PredefinedOverrides();
            std::lock_guard<std::mutex> guard(overrides.mutex);
            const auto it = overrides.keys.find(value);
            if (it != overrides.keys.end()) {
                handle = it->second;
                handle.id = value;
                return ERROR_SUCCESS;
            }
        }
        handle = KeyHandle{};
        handle.id = value;
        handle.access = kAllRights;
        if (key == HKEY_CLASSES_ROOT) {
            handle.root = Root::ClassesRoot;
        } else if (key == HKEY_CURRENT_USER) {
            handle.root = Root::CurrentUser;
        } else if (key == HKEY_LOCAL_MACHINE) {
            handle.root = Root::LocalMachine;
        } else if (key == HKEY_USERS) {
            return ERROR_ACCESS_DENIED;  // other users' hives are not ours to show
        } else {
            return ERROR_INVALID_HANDLE;
        }
        return ERROR_SUCCESS;
    }
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    auto it = table.open.find(value);
    if (it == table.open.end()) {
        return ERROR_INVALID_HANDLE;
    }
    handle = it->second;
    return ERROR_SUCCESS;
}

LSTATUS OverridePredefined(HKEY key, HKEY target) {
    if (!IsPredefined(key) ||
        (key != HKEY_CLASSES_ROOT && key != HKEY_CURRENT_USER && key != HKEY_LOCAL_MACHINE)) {
        return ERROR_INVALID_HANDLE;
    }
    Overrides& overrides = PredefinedOverrides();
    if (!target) {
        std::lock_guard<std::mutex> guard(overrides.mutex);
        overrides.keys.erase(reinterpret_cast<ULONG_PTR>(key));
        return ERROR_SUCCESS;
    }
    KeyHandle resolved;
    const LSTATUS status = FindHandle(target, resolved);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::lock_guard<std::mutex> guard(overrides.mutex);
    overrides.keys[reinterpret_cast<ULONG_PTR>(key)] = resolved;
    return ERROR_SUCCESS;
}

HKEY AddHandle(Root root, std::vector<Text> path, REGSAM access) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    const ULONG_PTR id = table.next;
    table.next += 4;
    table.open[id] = KeyHandle{id, root, std::move(path), access};
    return reinterpret_cast<HKEY>(id);
}

bool RemoveHandle(HKEY key, ULONG_PTR& id) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> guard(table.mutex);
    id = reinterpret_cast<ULONG_PTR>(key);
    return table.open.erase(id) == 1;
}

REGSAM SpecificRights(REGSAM desired) {
    REGSAM rights = desired & kAllRights;
    if (desired & GENERIC_READ) {
        rights |= KEY_READ & kAllRights;
    }
    if (desired & GENERIC_WRITE) {
        rights |= KEY_WRITE & kAllRights;
    }
    if (desired & GENERIC_EXECUTE) {
        rights |= KEY_EXECUTE & kAllRights;
    }
    if (desired & (GENERIC_ALL | kMaximumAllowed)) {
        rights |= kAllRights;
    }
    return rights;
}

std::vector<Place> PlacesOf(Root root, const std::vector<Text>& path) {
    switch (root) {
        case Root::CurrentUser:
            return {Place{Hive::User, path}};
        case Root::LocalMachine:
            return {Place{Hive::Machine, path}};
        case Root::ClassesRoot:
            break;
    }
    std::vector<Text> full = ClassesPath();
    full.insert(full.end(), path.begin(), path.end());
    return {Place{Hive::User, full}, Place{Hive::Machine, full}};
}

LSTATUS ViewKey(Root root, const std::vector<Text>& path, bool all, KeyView& view) {
    view = KeyView{};
    const std::vector<Place> places = PlacesOf(root, path);
    for (size_t i = 0; i < places.size(); ++i) {
        FILETIME written{};
        const LSTATUS status = ReadHive(places[i].hive, view.hives[i], &written);
        if (status != ERROR_SUCCESS) {
            return status;
        }
        view.keys[i] = FindPath(*view.hives[i], places[i].path);
        if (view.keys[i]) {
            if (view.ShownPlace() == static_cast<int>(i)) {
                view.written = written;
            }
            if (!all) {
                break;
            }
        }
    }
    if (root == Root::ClassesRoot && path.empty() && !view.Shown()) {
        // Software\Classes is written on the first registration; until then the root is empty.
        static const Key* empty = new Key;
        view.keys[0] = empty;
    }
    return ERROR_SUCCESS;
}

LSTATUS ViewShownKey(Root root, const std::vector<Text>& path, bool all, KeyView& view) {
    const LSTATUS status = ViewKey(root, path, all, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    return view.Shown() ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

LSTATUS ResolveSubKey(HKEY key, LPCSTR subKey, SubKeyTarget& target) {
    LSTATUS status = FindHandle(key, target.base);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status = ParseSubKey(subKey, target.relative);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    target.path = target.base.path;
    target.path.insert(target.path.end(), target.relative.begin(), target.relative.end());
    return ERROR_SUCCESS;
}

std::vector<const Key*> MergedSubkeys(const KeyView& view) {
    std::vector<const Key*> merged;
    if (view.keys[0]) {
        for (const auto& sub : view.keys[0]->subkeys) {
            merged.push_back(sub.get());
        }
    }
    if (view.keys[1]) {
        const size_t preferred = merged.size();
        for (const auto& sub : view.keys[1]->subkeys) {
            if (!view.keys[0] || !view.keys[0]->FindSubkey(sub->name)) {
                merged.push_back(sub.get());
            }
        }
        if (preferred > 0 && merged.size() > preferred) {
            std::stable_sort(merged.begin(), merged.end(), [](const Key* a, const Key* b) {
                return CompareNames(a->name, b->name) < 0;
            });
        }
    }
    return merged;
}

Key* CreatePath(Key& root, const std::vector<Text>& path, bool& created) {
    created = false;
    Key* key = &root;
    for (const Text& part : path) {
        Key* sub = key->FindSubkey(part);
        created = sub == nullptr;
        key = sub ? sub : key->AddSubkey(part);
    }
    return key;
}

LSTATUS ModifyKey(Root root, const std::vector<Text>& path,
                  const std::function<LSTATUS(Key& key)>& mutate) {
    KeyView view;
    const LSTATUS status = ViewShownKey(root, path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const Place target = PlacesOf(root, path).front();
    return WriteHive(target.hive, [&](Key& hiveRoot) {
        bool created = false;
        return mutate(*CreatePath(hiveRoot, target.path, created));
    });
}

LSTATUS ModifyShownKey(Root root, const std::vector<Text>& path,
                       const std::function<LSTATUS(Key* parent, Key& key)>& mutate) {
    KeyView view;
    LSTATUS status = ViewKey(root, path, false, view);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    const int shown = view.ShownPlace();
    if (shown < 0) {
        return ERROR_FILE_NOT_FOUND;
    }
    const Place target = PlacesOf(root, path)[static_cast<size_t>(shown)];
    return WriteHive(target.hive, [&](Key& hiveRoot) -> LSTATUS {
        Key* parent = nullptr;
        Key* key = &hiveRoot;
        for (const Text& part : target.path) {
            parent = key;
            key = key->FindSubkey(part);
            if (!key) {
                return ERROR_FILE_NOT_FOUND;
            }
        }
        return mutate(parent, *key);
    });
}

}  // namespace brontal::registry
