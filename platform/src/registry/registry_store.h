// Hive files on disk: where they live, reading them under a shared lock and changing them as a
// read-modify-write under an exclusive lock, committed by renaming a synced temporary file.
#pragma once

#include "registry_model.h"

#include <functional>
#include <memory>
#include <string>

namespace brontal::registry {

enum class Hive { User, Machine };

using Snapshot = std::shared_ptr<const Key>;

struct HiveLocation {
    Hive hive = Hive::User;
    std::string dir;
    std::string file;
    bool relocated = false;  // BRONTAL_REGISTRY_DIR is in force
};

// Looked up at every call, so that a process (or a test) can move its hives at any time.
LSTATUS LocateHive(Hive hive, HiveLocation& location);
const Text& HiveRootName(Hive hive);

// What the file holds, parsed; an absent file is an empty hive. ERROR_REGISTRY_CORRUPT for a file
// that does not parse, ERROR_CANTREAD when it cannot be read.
LSTATUS LoadHiveFile(const HiveLocation& location, Snapshot& root, FILETIME* written = nullptr);

// Loads the file under its shared lock and runs whileLocked before the lock is let go, so that
// no write of this or another process can fall between the read and what whileLocked does.
LSTATUS InspectHiveFile(const HiveLocation& location,
                        const std::function<void(const Snapshot&)>& whileLocked);

// What the registry shows of a hive: the file, plus the system's serial ports in the port map of
// the machine hive when it is not relocated.
LSTATUS ReadHive(Hive hive, Snapshot& root, FILETIME* written = nullptr);

// Creates the hive's folder if it is missing (for watching it before anything was written).
LSTATUS EnsureHiveFolder(const HiveLocation& location);

// Runs mutate on a private copy of the current file contents. If it succeeds and the copy differs,
// the copy replaces the file and the watchers of this process are told at once. A file that
// cannot be read or parsed is never written.
LSTATUS WriteHive(Hive hive, const std::function<LSTATUS(Key& root)>& mutate);

}  // namespace brontal::registry
