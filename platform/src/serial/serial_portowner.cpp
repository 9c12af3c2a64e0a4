#include "serial_portowner.h"

#include "registry_text.h"

#include <brontal_portmap.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <vector>

#include <unistd.h>

namespace brontal::serial {

namespace {

constexpr char kOwnersKey[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM\\Owners";

struct ProcessMark {
    bool known = false;
    bool ended = false;  // a zombie has ended, though its entry in /proc is still there
    std::string start;
};

// Field 22 of /proc/<pid>/stat, the start time in clock ticks after boot. The command name in
// field 2 may hold spaces and parentheses, so the fields are counted after its last ')'.
ProcessMark ReadProcess(const std::string& pid) {
    ProcessMark mark;
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return mark;
    }
    const size_t close = line.rfind(')');
    if (close == std::string::npos) {
        return mark;
    }
    std::istringstream fields(line.substr(close + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
        if (number == 3) {
            mark.ended = field == "Z" || field == "X";
        }
        if (number == 22) {
            mark.known = true;
            mark.start = field;
        }
    }
    return mark;
}

std::string BootId() {
    std::ifstream file("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(file, id);
    return id;
}

bool ProcBrowsable() {
    return access("/proc/self/stat", R_OK) == 0;
}

std::string TextOf(const registry::Value& value) {
    std::string text;
    for (size_t i = 0; i + 1 < value.data.size(); i += 2) {
        const char16_t unit = static_cast<char16_t>(value.data[i] | (value.data[i + 1] << 8));
        if (unit == 0) {
            break;
        }
        text.push_back(registry::AnsiFromUnit(unit));
    }
    return text;
}

}  // namespace

std::string OwnerOfThisProcess() {
    const std::string pid = std::to_string(getpid());
    const ProcessMark mark = ReadProcess(pid);
    const std::string boot = BootId();
    if (!mark.known || boot.empty()) {
        return std::string();
    }
    return pid + " " + mark.start + " " + boot;
}

bool OwnerAlive(const std::string& owner) {
    std::istringstream parts(owner);
    std::string pid;
    std::string start;
    std::string boot;
    if (!(parts >> pid >> start >> boot) ||
        pid.find_first_not_of("0123456789") != std::string::npos) {
        return true;  // not a claim this platform wrote: left alone
    }
    if (!ProcBrowsable()) {
        return true;
    }
    if (BootId() != boot) {
        return false;
    }
    const ProcessMark mark = ReadProcess(pid);
    return mark.known && !mark.ended && mark.start == start;
}

bool HasPortOwners(const registry::Key& machineRoot) {
    const registry::Key* owners =
        registry::FindPath(machineRoot, {u"HARDWARE", u"DEVICEMAP", u"SERIALCOMM", u"Owners"});
    return owners && !owners->values.empty();
}

bool DropEndedPortOwners(registry::Key& machineRoot) {
    registry::Key* map =
        registry::FindPath(machineRoot, {u"HARDWARE", u"DEVICEMAP", u"SERIALCOMM"});
    registry::Key* owners = map ? map->FindSubkey(u"Owners") : nullptr;
    if (!owners) {
        return false;
    }
    std::vector<registry::Text> ended;
    for (const registry::Value& claim : owners->values) {
        if (!map->FindValue(claim.name) || claim.type != REG_SZ || !OwnerAlive(TextOf(claim))) {
            ended.push_back(claim.name);
        }
    }
    for (const registry::Text& name : ended) {
        owners->RemoveValue(name);
        map->RemoveValue(name);
    }
    return !ended.empty();
}

}  // namespace brontal::serial

WINBASEAPI LONG WINAPI BrontalClaimPortMapEntry(LPCSTR devicePath) {
    if (!devicePath || !*devicePath) {
        return ERROR_INVALID_PARAMETER;
    }
    const std::string owner = brontal::serial::OwnerOfThisProcess();
    if (owner.empty()) {
        return ERROR_NOT_SUPPORTED;
    }
    HKEY key = nullptr;
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, brontal::serial::kOwnersKey, 0, nullptr,
                                  REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    status =
        RegSetValueExA(key, devicePath, 0, REG_SZ, reinterpret_cast<const BYTE*>(owner.c_str()),
                       static_cast<DWORD>(owner.size() + 1));
    RegCloseKey(key);
    return status;
}
