// The serial port map under HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM.
#include "registry_testing.h"

#include <cstdlib>
#include <filesystem>
#include <set>

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

}  // namespace
