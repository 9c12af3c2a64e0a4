// Change notification for the writes of this process: filters, subtrees, one-shot arming, and
// writes that must not fire.
#include "registry_testing.h"

#include <atomic>
#include <thread>

using namespace registrytest;

namespace {

class RegistryNotify : public ::testing::Test {
  protected:
    void SetUp() override {
        event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ASSERT_NE(event_, nullptr);
        key_ = CreateKey(HKEY_CURRENT_USER, "Software\\Watched");
        sibling_ = CreateKey(HKEY_CURRENT_USER, "Software\\Sibling");
    }
    void TearDown() override {
        // Keys first: closing one signals its pending watch, which needs the event alive.
        RegCloseKey(key_);
        RegCloseKey(sibling_);
        CloseHandle(event_);
    }

    LSTATUS Arm(DWORD filter, BOOL subtree = FALSE, HKEY key = nullptr) {
        ResetEvent(event_);
        return RegNotifyChangeKeyValue(key ? key : key_, subtree, filter, event_, TRUE);
    }
    // Writes of this process signal before the writing call returns.
    bool Signalled() { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

    testsupport::ScopedRegistryDir dir_;
    HANDLE event_ = nullptr;
    HKEY key_ = nullptr;
    HKEY sibling_ = nullptr;
};

TEST_F(RegistryNotify, ValueChangeSignalsOncePerArming) {
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET), ERROR_SUCCESS);
    EXPECT_FALSE(Signalled());
    ASSERT_EQ(SetDword(key_, "Baud", 9600), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());

    ResetEvent(event_);
    ASSERT_EQ(SetDword(key_, "Baud", 19200), ERROR_SUCCESS);
    EXPECT_FALSE(Signalled()) << "a fired watch is spent until armed again";

    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(key_, "Baud"), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
}

TEST_F(RegistryNotify, WritesThatChangeNothingHereDoNotFire) {
    ASSERT_EQ(SetDword(key_, "Same", 1), ERROR_SUCCESS);
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME, TRUE), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(sibling_, "Other", 1), ERROR_SUCCESS);
    RegCloseKey(CreateKey(sibling_, "Child"));
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "AtRoot", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(HKEY_LOCAL_MACHINE, "Software\\Watched", 1), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key_, "Same", 1), ERROR_SUCCESS);  // the same data again
    EXPECT_FALSE(Signalled());
    ASSERT_EQ(SetDword(key_, "Same", 2), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
}

TEST_F(RegistryNotify, FiltersSeparateValuesFromKeyNames) {
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_NAME), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key_, "v", 1), ERROR_SUCCESS);
    EXPECT_FALSE(Signalled());
    HKEY child = CreateKey(key_, "Child");
    EXPECT_TRUE(Signalled());

    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET), ERROR_SUCCESS);
    RegCloseKey(CreateKey(key_, "Second"));
    EXPECT_FALSE(Signalled());
    ASSERT_EQ(SetDword(key_, "v", 2), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());

    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_NAME), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(key_, "Second"), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
    RegCloseKey(child);
}

TEST_F(RegistryNotify, SubtreeWatchesSeeDeeperKeys) {
    HKEY deep = CreateKey(key_, "Fiscal\\Deeper");
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, FALSE), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(deep, "MinBill", 1), ERROR_SUCCESS);
    EXPECT_FALSE(Signalled()) << "not watching the subtree";
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, TRUE), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(deep, "MinBill", 2), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
    // A branch of values removed whole is a change of values in the subtree.
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, TRUE), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteTreeA(key_, "Fiscal"), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_NAME, TRUE), ERROR_SUCCESS);
    RegCloseKey(CreateKey(key_, "A\\B\\C"));
    EXPECT_TRUE(Signalled());
    RegCloseKey(deep);
}

TEST_F(RegistryNotify, DeletingOrClosingTheWatchedKeySignals) {
    HKEY watched = CreateKey(HKEY_CURRENT_USER, "Software\\Watched\\Gone");
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, FALSE, watched), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyA(key_, "Gone"), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
    EXPECT_EQ(RegNotifyChangeKeyValue(watched, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event_, TRUE),
              ERROR_KEY_DELETED);
    RegCloseKey(watched);

    HKEY other = CreateKey(HKEY_CURRENT_USER, "Software\\Watched");
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, FALSE, other), ERROR_SUCCESS);
    EXPECT_FALSE(Signalled());
    RegCloseKey(other);
    EXPECT_TRUE(Signalled()) << "closing the handle ends its watch, as on Windows";
}

TEST_F(RegistryNotify, ArgumentsAreChecked) {
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, TRUE),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, 0, event_, TRUE), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegNotifyChangeKeyValue(key_, FALSE, 0x100, event_, TRUE), ERROR_INVALID_PARAMETER);
    HKEY closed = CreateKey(HKEY_CURRENT_USER, "Software\\Closed");
    RegCloseKey(closed);
    EXPECT_EQ(RegNotifyChangeKeyValue(closed, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event_, TRUE),
              ERROR_INVALID_HANDLE);
}

TEST_F(RegistryNotify, ClassesRootWatchSeesBothSides) {
    HKEY machine = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Classes\\BrontalOcx.DrvKeltor");
    HKEY merged = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "BrontalOcx.DrvKeltor", 0, KEY_READ, &merged),
              ERROR_SUCCESS);
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, FALSE, merged), ERROR_SUCCESS);
    ASSERT_EQ(SetText(machine, nullptr, "DrvKeltor Class"), ERROR_SUCCESS);
    EXPECT_TRUE(Signalled());
    ASSERT_EQ(Arm(REG_NOTIFY_CHANGE_LAST_SET, FALSE, merged), ERROR_SUCCESS);
    HKEY user = CreateKey(HKEY_CURRENT_USER, "Software\\Classes\\BrontalOcx.DrvKeltor");
    EXPECT_TRUE(Signalled()) << "a user's key now hides the machine's";
    RegCloseKey(user);
    RegCloseKey(merged);
    RegCloseKey(machine);
}

TEST_F(RegistryNotify, SynchronousWaitReturnsAfterAChange) {
    std::atomic<LSTATUS> result{-1};
    std::atomic<bool> done{false};
    std::thread waiter([&] {
        result = RegNotifyChangeKeyValue(key_, TRUE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE);
        done = true;
    });
    // The waiter arms at a moment this thread cannot see, so keep changing until it has seen one.
    for (DWORD i = 0; i < 2000 && !done; ++i) {
        ASSERT_EQ(SetDword(key_, "Tick", i), ERROR_SUCCESS);
        Sleep(5);
    }
    waiter.join();
    EXPECT_TRUE(done);
    EXPECT_EQ(result, ERROR_SUCCESS);
}

}  // namespace
