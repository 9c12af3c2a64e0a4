// Owners of port map entries: a claim names a process by its id, its start time and the boot it
// started in, so that neither a reused process id nor a reboot passes for the owner.
#pragma once

#include "registry_model.h"

#include <string>

namespace brontal::serial {

// "pid start-ticks boot-id" of the calling process; empty when /proc cannot tell.
std::string OwnerOfThisProcess();
// False only when the named process has surely ended (gone, a zombie, another process under its
// id, or a boot before this one); a claim that cannot be checked counts as alive.
bool OwnerAlive(const std::string& owner);

// Whether a machine hive's port map holds any claim.
bool HasPortOwners(const registry::Key& machineRoot);
// Drops from a machine hive's port map every claimed entry whose owner has ended, and every claim
// whose entry is gone. True when anything was dropped.
bool DropEndedPortOwners(registry::Key& machineRoot);

}  // namespace brontal::serial
