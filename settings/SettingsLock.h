// The lock shared by loading and saving the settings record.
#pragma once

#include <mutex>

// Held by LoadSettings and SaveSettings; a property setter holds it from its change of the record
// to the end of the save, so that a reload cannot slip in between and bring back stored values.
std::recursive_mutex& SettingsStoreLock();
