// The serial port map under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.
#include "registry_testing.h"

#include <brontal_portmap.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include <unistd.h>

using namespace registrytest;

namespace {

const char kPortMap[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

TEST(RegistrySerialComm, RelocatedRegistryHoldsOnlyWrittenPorts) {
    testsupport::ScopedRegistryDir dir;
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMap, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    key = CreateKey(HKEY_LOCAL_MACHINE, kPortMap);
    ASSERT_EQ(SetText(key, "/dev/pts/7", "COM5"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(key, "/dev/pts/3", "COM2"), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMap, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"/dev/pts/7", "/dev/pts/3"}));
    EXPECT_EQ(Query(key, "/dev/pts/7"), std::string("COM5\0", 5));
    RegCloseKey(key);
}

// Outside a relocated registry the map lists the machine's own serial devices. This reads the
// real machine hive and /sys, and writes nothing.
TEST(RegistrySerialComm, SystemDevicesAreListedOnceEach) {
    const char* saved = std::getenv("BRONTAL_REGISTRY_DIR");
    const std::string previous = saved ? saved : "";
    unsetenv("BRONTAL_REGISTRY_DIR");

    std::set<std::string> devices;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/tty", ec)) {
        if (std::filesystem::exists(entry.path() / "device")) {
            devices.insert("/dev/" + entry.path().filename().string());
        }
    }
    HKEY key = nullptr;
    const LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMap, 0, KEY_READ, &key);
    std::set<std::string> listed;
    std::set<std::string> numbers;
    if (status == ERROR_SUCCESS) {
        for (const std::string& name : ValueNames(key)) {
            DWORD type = 0;
            const std::string data = Query(key, name.c_str(), &type);
            EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << name;
            ASSERT_GE(data.size(), 5u) << name;
            EXPECT_EQ(data.substr(0, 3), "COM") << name;
            EXPECT_TRUE(numbers.insert(data).second) << "two ports share " << data;
            listed.insert(name);
        }
        RegCloseKey(key);
    }
    if (saved) {
        setenv("BRONTAL_REGISTRY_DIR", previous.c_str(), 1);
    }
    ASSERT_EQ(status, ERROR_SUCCESS);
    for (const std::string& device : devices) {
        EXPECT_EQ(listed.count(device), 1u) << device;
    }
}

std::string BootId() {
    std::ifstream file("/proc/sys/kernel/random/boot_id");
    std::string id;
    std::getline(file, id);
    return id;
}

// The port map as readers see it: value names in order.
std::vector<std::string> ShownPorts() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortMap, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<std::string> names = ValueNames(key);
    RegCloseKey(key);
    return names;
}

// A claimed entry lasts as long as its owner. Owners that have ended: a process id nobody has,
// a process id taken since by another process (another start time) and an owner of an earlier
// boot. The entries of this process and the unclaimed ones stay.
TEST(RegistrySerialComm, EntriesOfEndedOwnersAreNeitherShownNorKept) {
    testsupport::ScopedRegistryDir dir;
    const std::string self = std::to_string(getpid());
    HKEY map = CreateKey(HKEY_LOCAL_MACHINE, kPortMap);
    ASSERT_EQ(SetText(map, "/dev/ttyS0", "COM1"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(map, "/dev/pts/4", "COM2"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(map, "/dev/pts/5", "COM3"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(map, "/dev/pts/6", "COM4"), ERROR_SUCCESS);
    ASSERT_EQ(SetText(map, "/dev/pts/7", "COM5"), ERROR_SUCCESS);
    ASSERT_EQ(BrontalClaimPortMapEntry("/dev/pts/7"), ERROR_SUCCESS);
    HKEY owners = CreateKey(HKEY_LOCAL_MACHINE, std::string(kPortMap) + "\\Owners");
    // Process ids stop below 2^22 on Linux.
    ASSERT_EQ(SetText(owners, "/dev/pts/4", "4999999 100 " + BootId()), ERROR_SUCCESS);
    ASSERT_EQ(SetText(owners, "/dev/pts/5", self + " 1 " + BootId()), ERROR_SUCCESS);
    ASSERT_EQ(SetText(owners, "/dev/pts/6", self + " 1 00000000-0000-0000-0000-000000000000"),
              ERROR_SUCCESS);
    RegCloseKey(owners);

    EXPECT_EQ(ShownPorts(), (std::vector<std::string>{"/dev/ttyS0", "/dev/pts/7"}));
    // The driver's way to a port: COM2 leads nowhere now.
    HANDLE port = CreateFileA("\\\\.\\COM2", GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(port, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The next write drops them from the file as well, and COM2 can be given again.
    ASSERT_EQ(SetText(map, "/dev/pts/9", "COM2"), ERROR_SUCCESS);
    RegCloseKey(map);
    std::string file;
    std::ifstream hive(dir.path() + "/machine.reg", std::ios::binary);
    file.assign(std::istreambuf_iterator<char>(hive), std::istreambuf_iterator<char>());
    const auto utf16 = [](const std::string& ascii) {
        std::string wide;
        for (const char c : ascii) {
            wide += c;
            wide += '\0';
        }
        return wide;
    };
    EXPECT_EQ(file.find(utf16("pts/4")), std::string::npos);
    EXPECT_EQ(file.find(utf16("pts/5")), std::string::npos);
    EXPECT_EQ(file.find(utf16("pts/6")), std::string::npos);
    EXPECT_NE(file.find(utf16("pts/7")), std::string::npos);
    EXPECT_EQ(ShownPorts(), (std::vector<std::string>{"/dev/ttyS0", "/dev/pts/7", "/dev/pts/9"}));
}

TEST(RegistrySerialComm, AClaimIsDroppedWithItsEntry) {
    testsupport::ScopedRegistryDir dir;
    HKEY map = CreateKey(HKEY_LOCAL_MACHINE, kPortMap);
    ASSERT_EQ(SetText(map, "/dev/pts/3", "COM1"), ERROR_SUCCESS);
    ASSERT_EQ(BrontalClaimPortMapEntry("/dev/pts/3"), ERROR_SUCCESS);
    EXPECT_EQ(BrontalClaimPortMapEntry(""), ERROR_INVALID_PARAMETER);
    ASSERT_EQ(RegDeleteValueA(map, "/dev/pts/3"), ERROR_SUCCESS);
    // Another program's entry under the same name later is not taken for the old claim's.
    ASSERT_EQ(SetText(map, "/dev/pts/3", "COM1"), ERROR_SUCCESS);
    RegCloseKey(map);
    HKEY owners = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kPortMap) + "\\Owners").c_str(), 0,
                            KEY_READ, &owners),
              ERROR_SUCCESS);
    EXPECT_TRUE(ValueNames(owners).empty());
    RegCloseKey(owners);
    EXPECT_EQ(ShownPorts(), (std::vector<std::string>{"/dev/pts/3"}));
}

}  // namespace
