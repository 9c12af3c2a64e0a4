#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "LinkTrace.h"
#include "Settings.h"
#include "SettingsTesting.h"
#include "ChildProcess.h"
#include "TestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;
using settingstest::StoreWord;
using testsupport::Cp1251;

// Generous: the monitor reacts in milliseconds, the bound only stops a broken test.
constexpr int kReactionBoundMs = 10000;

bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kReactionBoundMs);
    while (!done()) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Writes a REG_DWORD from another process; its exit code.
int WriteFromAnotherProcess(const std::string& subkey, const std::string& name, DWORD value) {
    const std::string key = std::string(kSettingsKeyName) + (subkey.empty() ? "" : "\\" + subkey);
    return testsupport::RunProgram(SETTINGS_REGWRITE, {key, name, std::to_string(value)}).exitCode;
}

class RegistryMonitorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        unsetenv("BRONTAL_ERRLOG");
        settingstest::ResetRecord();
    }
    void TearDown() override {
        CBrontExtender::UnInitialize();
        unsetenv("BRONTAL_ERRLOG");
        settingstest::ResetRecord();
    }

    std::string ErrorLog() const { return testsupport::ReadFileBytes(work.file("bronterr.log")); }

    testsupport::ScopedRegistryDir registry;
    settingstest::ScopedWorkDir work;
};

TEST_F(RegistryMonitorTest, WithoutTheKeyTheMonitorMakesItAndFollowsLaterChanges) {
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    EXPECT_EQ(ExtenderSettings.cmdRetryCount, 11u);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyName, 0, KEY_QUERY_VALUE, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    // A fresh machine: the first values arrive after the driver objects started.
    ASSERT_EQ(WriteFromAnotherProcess("Fiscal", "CmdRetryCount", 2), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.cmdRetryCount == 2; }));
    StoreWord("Fiscal", "MinBill", 50);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.minBill == 50; }));
    EXPECT_EQ(CBrontExtender::Initialize(), -1);
}

TEST_F(RegistryMonitorTest, OneMonitorPerProcess) {
    EXPECT_EQ(CBrontExtender::UnInitialize(), 0);  // none runs yet
    StoreWord("Fiscal", "MinBill", 10);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    EXPECT_EQ(ExtenderSettings.minBill, 10u);
    // A second driver object finds it running.
    StoreWord("Fiscal", "MinBill", 20);
    EXPECT_EQ(CBrontExtender::Initialize(), -1);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.minBill == 20; }));
    EXPECT_EQ(CBrontExtender::UnInitialize(), 0);
    EXPECT_EQ(CBrontExtender::UnInitialize(), 0);
    // And it can be started again.
    EXPECT_EQ(CBrontExtender::Initialize(), 0);
}

TEST_F(RegistryMonitorTest, ChangesByAnotherProcessArriveWithoutAnyCall) {
    StoreWord("", "PrintEJ", 1);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    ASSERT_EQ(WriteFromAnotherProcess("Communication", "Baud", 57600), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.baud == 57600; }));
    ASSERT_EQ(WriteFromAnotherProcess("Fiscal", "CmdRetryCount", 4), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.cmdRetryCount == 4; }));
    ASSERT_EQ(WriteFromAnotherProcess("", "PrintEJ", 0), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.printEJ == 0; }));
}

TEST_F(RegistryMonitorTest, EveryChangeInARowIsSeen) {
    StoreWord("Communication", "COM", 1);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    for (DWORD port = 2; port <= 30; ++port) {
        StoreWord("Communication", "COM", port);
        ASSERT_TRUE(WaitFor([port] { return ExtenderSettings.comPort == port; })) << port;
    }
    // A burst, without waiting in between: the last value is what stays.
    for (DWORD baud : {1200u, 2400u, 4800u, 38400u}) {
        StoreWord("Communication", "Baud", baud);
    }
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.baud == 38400; }));
}

TEST_F(RegistryMonitorTest, SubkeysMadeWhileItRunsAreWatchedToo) {
    StoreWord("", "PrintEJ", 1);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    ASSERT_EQ(WriteFromAnotherProcess("Fiscal", "QuantityPrecision", 2), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.quantityPrecision == 2; }));
    ASSERT_EQ(WriteFromAnotherProcess("Fiscal", "MinBill", 50), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.minBill == 50; }));
    StoreWord("Communication", "COM", 6);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.comPort == 6; }));
}

TEST_F(RegistryMonitorTest, AZeroMaskGivesWayToTheStoredOneAtTheNextChange) {
    StoreWord("", "TraceMask", 3);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    EXPECT_EQ(GetTraceMask(), 3u);
    CBrontExtender::UnInitialize();

    // Without the monitor the zero stays in memory only.
    EXPECT_EQ(SetTraceMask(0), ERROR_SUCCESS);
    EXPECT_EQ(GetTraceMask(), 0u);
    EXPECT_EQ(settingstest::StoredValues()[0],
              (settingstest::StoredValue{"TraceMask", REG_DWORD, settingstest::Word(3)}));

    // The monitor's start loads the stored mask, so zero it again while it runs: its own save is
    // a change under the key too.
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    EXPECT_EQ(SetTraceMask(0), ERROR_SUCCESS);
    ASSERT_EQ(WriteFromAnotherProcess("Communication", "Baud", 4800), 0);
    EXPECT_TRUE(WaitFor([] { return ExtenderSettings.baud == 4800; }));
    EXPECT_EQ(GetTraceMask(), 3u);
    EXPECT_EQ(settingstest::StoredValues()[0],
              (settingstest::StoredValue{"TraceMask", REG_DWORD, settingstest::Word(3)}));
}

TEST_F(RegistryMonitorTest, UnInitializeStopsTheThreadWellWithinItsBound) {
    setenv("BRONTAL_ERRLOG", "1", 1);
    StoreWord("Communication", "Baud", 9600);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    const auto start = Clock::now();
    EXPECT_EQ(CBrontExtender::UnInitialize(), 0);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_LT(elapsed, 4000);
    EXPECT_EQ(ErrorLog().find(Cp1251("терминирован")), std::string::npos);

    // Nobody listens any more.
    ASSERT_EQ(WriteFromAnotherProcess("Communication", "Baud", 2400), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ExtenderSettings.baud, 9600u);
}

TEST_F(RegistryMonitorTest, InitializeInstallsTheExchangeTraceAsTheLinksHooks) {
    StoreWord("", "TraceMask", 0);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    LinkTraceError(-8105);
    EXPECT_NE(testsupport::ReadFileBytes(work.file("tracexch.txt")).find("Err: -8105(0xffffe057)"),
              std::string::npos);
}

TEST_F(RegistryMonitorTest, ErrorLogIsSilentUnlessAskedFor) {
    // A hive that cannot be read: the key can be neither opened nor made.
    const std::string hive = registry.path() + "/user.reg";
    ASSERT_EQ(mkdir(hive.c_str(), 0700), 0);
    for (const char* value : {"", "0"}) {
        setenv("BRONTAL_ERRLOG", value, 1);
        EXPECT_EQ(CBrontExtender::Initialize(), ERROR_CANTREAD);
        EXPECT_FALSE(testsupport::FileExists(work.file("bronterr.log"))) << value;
    }
    unsetenv("BRONTAL_ERRLOG");
    EXPECT_EQ(CBrontExtender::Initialize(), ERROR_CANTREAD);
    EXPECT_FALSE(testsupport::FileExists(work.file("bronterr.log")));

    setenv("BRONTAL_ERRLOG", "yes", 1);
    EXPECT_EQ(CBrontExtender::Initialize(), ERROR_CANTREAD);
    const std::string log = ErrorLog();
    EXPECT_NE(log.find("]CBrontExtender::Initialize() try...\r\n"), std::string::npos);
    EXPECT_NE(log.find(Cp1251("]Ошибка доступа к реестру при запуске мониторинга: \r\n\tкод: "
                              "1012(0x3f4) - The configuration registry key could not be "
                              "read.\r\n")),
              std::string::npos)
        << log;

    ASSERT_EQ(rmdir(hive.c_str()), 0);
    StoreWord("", "PrintEJ", 1);
    ASSERT_EQ(CBrontExtender::Initialize(), 0);
    EXPECT_EQ(CBrontExtender::UnInitialize(), 0);
    const std::string after = ErrorLog();
    EXPECT_NE(after.find("]CBrontExtender::RegMonitorThread(0x"), std::string::npos);
    EXPECT_NE(after.find("]CBrontExtender::UnInitialize() try...\r\n"), std::string::npos);
}

}  // namespace
