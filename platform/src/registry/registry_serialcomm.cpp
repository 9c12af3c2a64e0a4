#include "registry_serialcomm.h"

#include "registry_text.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

namespace brontal::registry {

namespace {

struct Device {
    std::string prefix;  // ttyS, ttyUSB, ttyACM, ...
    unsigned long number = 0;
    std::string name;
};

// The built-in ports (ttyS) come first, as COM1.. do on a PC; then the others by name and number.
bool DeviceBefore(const Device& a, const Device& b) {
    const bool aBuiltIn = a.prefix == "ttyS";
    const bool bBuiltIn = b.prefix == "ttyS";
    if (aBuiltIn != bBuiltIn) {
        return aBuiltIn;
    }
    if (a.prefix != b.prefix) {
        return a.prefix < b.prefix;
    }
    if (a.number != b.number) {
        return a.number < b.number;
    }
    return a.name < b.name;
}

std::vector<Device> SystemSerialDevices() {
    std::vector<Device> devices;
    DIR* dir = opendir("/sys/class/tty");
    if (!dir) {
        return devices;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.') {
            continue;
        }
        // Virtual consoles and pseudo-terminals have no device behind them.
        struct stat st {};
        if (stat(("/sys/class/tty/" + name + "/device").c_str(), &st) != 0) {
            continue;
        }
        Device d;
        d.name = name;
        size_t digits = name.size();
        while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
            --digits;
        }
        d.prefix = name.substr(0, digits);
        d.number = digits < name.size() ? std::strtoul(name.c_str() + digits, nullptr, 10) : 0;
        devices.push_back(d);
    }
    closedir(dir);
    std::sort(devices.begin(), devices.end(), DeviceBefore);
    return devices;
}

// The number of "COMn" (any case), 0 when the text is not one.
unsigned PortNumber(const Value& v) {
    if (v.type != REG_SZ) {
        return 0;
    }
    std::string text;
    for (size_t i = 0; i + 1 < v.data.size(); i += 2) {
        const char16_t u = static_cast<char16_t>(v.data[i] | (v.data[i + 1] << 8));
        if (u == 0) {
            break;
        }
        text.push_back(AnsiFromUnit(u));
    }
    if (text.size() < 4 || (text[0] | 0x20) != 'c' || (text[1] | 0x20) != 'o' ||
        (text[2] | 0x20) != 'm') {
        return 0;
    }
    unsigned n = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || n > 100000) {
            return 0;
        }
        n = n * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return n;
}

std::vector<BYTE> PortText(unsigned n) {
    return Utf16Bytes(AnsiToText("COM" + std::to_string(n)), true);
}

Key* Ensure(Key& parent, const Text& name) {
    Key* key = parent.FindSubkey(name);
    return key ? key : parent.AddSubkey(name);
}

}  // namespace

void AddSystemSerialPorts(Key& machineRoot) {
    Key* map = Ensure(*Ensure(*Ensure(machineRoot, u"HARDWARE"), u"DEVICEMAP"), u"SERIALCOMM");
    std::set<unsigned> taken;
    for (const Value& v : map->values) {
        taken.insert(PortNumber(v));
    }
    unsigned next = 1;
    for (const Device& d : SystemSerialDevices()) {
        const Text path = AnsiToText("/dev/" + d.name);
        if (map->FindValue(path)) {
            continue;
        }
        while (taken.count(next)) {
            ++next;
        }
        taken.insert(next);
        map->SetValue(path, REG_SZ, PortText(next));
    }
}

}  // namespace brontal::registry
