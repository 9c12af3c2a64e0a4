// Change notification: one-shot watches on keys, fired by the writes of this process at once and
// by those of other processes through one inotify watcher thread on the hive folders.
#pragma once

#include "registry_store.h"

#include <vector>

namespace brontal::registry {

struct WatchTarget {
    HiveLocation location;
    std::vector<Text> path;  // from the hive's root
};

// Arms a watch for the key handle (identified by its number). The event is set once, at the
// first change under a target that the filter asks for, or when the handle is closed. Without an
// event the call waits for that moment itself.
LSTATUS ArmNotification(ULONG_PTR handle, const std::vector<WatchTarget>& targets, bool subtree,
                        DWORD filter, HANDLE event);

// The handle is going away: its pending watches fire and are dropped, as on Windows.
void ReleaseNotifications(ULONG_PTR handle);

// A writer of this process committed a new hive file; called while it still holds the lock.
void NotifyHiveChanged(const HiveLocation& location, const Snapshot& now);

}  // namespace brontal::registry
