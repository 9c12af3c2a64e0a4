// The serial port map, HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM: value name the device
// path, data "COMn". Outside a relocated registry it also lists the system's serial devices.
#pragma once

#include "registry_model.h"

namespace brontal::registry {

// Adds to a view of the machine hive the serial devices of /sys/class/tty that have no entry yet,
// numbered with the lowest COM numbers the written entries leave free, in a stable order.
void AddSystemSerialPorts(Key& machineRoot);

}  // namespace brontal::registry
