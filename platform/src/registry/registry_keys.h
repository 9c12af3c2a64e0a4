// Key handles and what they stand for: a predefined root and a path under it, resolved at every
// call, so a handle always sees the hive files as they are now.
#pragma once

#include "registry_store.h"

#include <functional>
#include <string>
#include <vector>

namespace brontal::registry {

enum class Root { ClassesRoot, CurrentUser, LocalMachine };

struct KeyHandle {
    ULONG_PTR id = 0;  // the HKEY's number; predefined keys use their own
    Root root = Root::CurrentUser;
    std::vector<Text> path;
    REGSAM access = 0;  // only the specific rights, KEY_QUERY_VALUE .. KEY_CREATE_LINK
};

// ERROR_INVALID_HANDLE for a handle that is not open (or never was); predefined keys other than
// the three hives we keep give ERROR_ACCESS_DENIED (HKEY_USERS) or ERROR_INVALID_HANDLE.
LSTATUS FindHandle(HKEY key, KeyHandle& handle);
// RegOverridePredefKey: `key` (HKEY_CLASSES_ROOT, HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE) stands
// for the key `target` names now; a null target gives it back its own meaning.
LSTATUS OverridePredefined(HKEY key, HKEY target);
HKEY AddHandle(Root root, std::vector<Text> path, REGSAM access);
// False when the handle was not open; predefined keys are never removed.
bool RemoveHandle(HKEY key, ULONG_PTR& id);
bool IsPredefined(HKEY key);

// GENERIC_* and MAXIMUM_ALLOWED become the registry rights they stand for.
REGSAM SpecificRights(REGSAM desired);

// A key in one hive file.
struct Place {
    Hive hive = Hive::User;
    std::vector<Text> path;
};
// Where a key of a root lives; HKEY_CLASSES_ROOT has two places, the user's one first (it is both
// the preferred one for reading and the one written to).
std::vector<Place> PlacesOf(Root root, const std::vector<Text>& path);

// What a key shows: the key in each place that has it (null where it is missing).
struct KeyView {
    Snapshot hives[2];
    const Key* keys[2] = {nullptr, nullptr};
    FILETIME written{};
    const Key* Shown() const { return keys[0] ? keys[0] : keys[1]; }
    int ShownPlace() const { return keys[0] ? 0 : (keys[1] ? 1 : -1); }
};
// With all, every place is read (for merged subkey lists); otherwise reading stops at the first
// place that has the key, so one unreadable hive does not hide the other's keys.
LSTATUS ViewKey(Root root, const std::vector<Text>& path, bool all, KeyView& view);
// ViewKey for a key that must be there: ERROR_KEY_DELETED when no place shows it.
LSTATUS ViewShownKey(Root root, const std::vector<Text>& path, bool all, KeyView& view);

// A subkey named under an open handle: the handle, the ANSI path as given (relative) and the
// full path from the handle's root.
struct SubKeyTarget {
    KeyHandle base;
    std::vector<Text> relative;
    std::vector<Text> path;
};
LSTATUS ResolveSubKey(HKEY key, LPCSTR subKey, SubKeyTarget& target);
// The subkeys of both places, in enumeration order; the preferred place's key wins a name.
std::vector<const Key*> MergedSubkeys(const KeyView& view);

// Runs mutate on the key in the place writes go to. A key that is shown but not yet written
// there (the machine's side of HKEY_CLASSES_ROOT, a port the system lists) is created first;
// a key shown nowhere gives ERROR_KEY_DELETED.
LSTATUS ModifyKey(Root root, const std::vector<Text>& path,
                  const std::function<LSTATUS(Key& key)>& mutate);
// Runs mutate on the key in the place it is shown from, creating nothing (for deletions).
// The hive root is passed too, with the key's parent (null for the root itself).
LSTATUS ModifyShownKey(Root root, const std::vector<Text>& path,
                       const std::function<LSTATUS(Key* parent, Key& key)>& mutate);

// Path of keys from the root, created where missing; created tells whether the last one was.
Key* CreatePath(Key& root, const std::vector<Text>& path, bool& created);

}  // namespace brontal::registry
