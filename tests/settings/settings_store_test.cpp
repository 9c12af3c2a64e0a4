#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Settings.h"
#include "SettingsPath.h"
#include "Registry.h"
#include "SettingsTesting.h"
#include "TestSupport.h"

namespace {

using settingstest::StoredValue;
using settingstest::StoredValues;
using settingstest::StoreText;
using settingstest::StoreWord;
using settingstest::Sz;
using settingstest::Word;

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { settingstest::ResetRecord(); }
    void TearDown() override { settingstest::ResetRecord(); }

    std::string TracePath() {
        char path[kTracePathCapacity] = {};
        CopyTracePath(path, sizeof path);
        return path;
    }

    LONG Load() {
        HKEY key = settingstest::OpenSettingsKey();
        const LONG status = LoadSettings(key);
        RegCloseKey(key);
        return status;
    }

    void ExpectInitialRecord() {
        EXPECT_EQ(ExtenderSettings.traceMask, 0u);
        EXPECT_EQ(TracePath(), "");
        EXPECT_EQ(ExtenderSettings.traceFileSizeLimit, 65536u);
        EXPECT_EQ(ExtenderSettings.downloadEJ, 0u);
        EXPECT_EQ(ExtenderSettings.printEJ, 1u);
        EXPECT_EQ(ExtenderSettings.comPort, 0u);
        EXPECT_EQ(ExtenderSettings.baud, 9600u);
        EXPECT_EQ(ExtenderSettings.minBill, 1u);
        EXPECT_EQ(ExtenderSettings.hyphenationLength, 0u);
        EXPECT_EQ(ExtenderSettings.cmdRetryCount, 11u);
        EXPECT_EQ(ExtenderSettings.refundSumMismatchLimit, 0u);
        EXPECT_EQ(ExtenderSettings.quantityPrecision, 0u);
    }

    testsupport::ScopedRegistryDir registry;
    SettingsMirror mirror;
};

// ---- loading ----

TEST_F(SettingsStoreTest, WithoutAnyKeyNothingIsReadAndNothingCreated) {
    DWORD port = 77;
    DWORD baud = 88;
    mirror.minBill = 42;
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), -9006);
    EXPECT_EQ(port, 77u);
    EXPECT_EQ(baud, 88u);
    EXPECT_EQ(mirror.minBill, 42);
    ExpectInitialRecord();
    EXPECT_FALSE(settingstest::SettingsKeyExists());

    EXPECT_EQ(ReadStoredLinkSettings(mirror, nullptr, &baud), -9002);
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, nullptr), -9002);
}

TEST_F(SettingsStoreTest, TraceFileSizeLimitFallsBackUnlessAPositiveWord) {
    StoreWord("", "TraceFileSizeLimit", 0);
    EXPECT_EQ(Load(), ERROR_FILE_NOT_FOUND);  // no "Fiscal" subkey
    EXPECT_EQ(ExtenderSettings.traceFileSizeLimit, 65536u);

    StoreWord("", "TraceFileSizeLimit", 12);
    Load();
    EXPECT_EQ(ExtenderSettings.traceFileSizeLimit, 12u);

    StoreText("", "TraceFileSizeLimit", "12");
    Load();
    EXPECT_EQ(ExtenderSettings.traceFileSizeLimit, 65536u);
}

TEST_F(SettingsStoreTest, ValuesOfTheWrongTypeKeepOrFallBackValueByValue) {
    ExtenderSettings.traceMask = 3;
    ExtenderSettings.printEJ = 0;
    ExtenderSettings.comPort = 4;
    ExtenderSettings.baud = 57600;
    ExtenderSettings.cmdRetryCount = 5;
    ExtenderSettings.minBill = 50;
    ExtenderSettings.hyphenationLength = 30;
    ExtenderSettings.refundSumMismatchLimit = 9;
    ExtenderSettings.quantityPrecision = 2;
    ExtenderSettings.downloadEJ = 1;
    for (const char* name : {"TraceMask", "PrintEJ", "DownloadEJ", "TracePath"}) {
        StoreText("", name, "1");
    }
    for (const char* name : {"COM", "Baud"}) {
        StoreText("Communication", name, "1");
    }
    for (const char* name : {"MinBill", "HyphenationLenth", "CmdRetryCount",
                             "RefundSumMismatchLimit", "QuantityPrecision"}) {
        StoreText("Fiscal", name, "1");
    }
    ASSERT_EQ(Load(), ERROR_SUCCESS);
    // Kept as they were.
    EXPECT_EQ(ExtenderSettings.traceMask, 3u);
    EXPECT_EQ(ExtenderSettings.printEJ, 0u);
    EXPECT_EQ(ExtenderSettings.comPort, 4u);
    EXPECT_EQ(ExtenderSettings.baud, 57600u);
    EXPECT_EQ(ExtenderSettings.cmdRetryCount, 5u);
    // Back to their defaults.
    EXPECT_EQ(ExtenderSettings.minBill, 1u);
    EXPECT_EQ(ExtenderSettings.hyphenationLength, 0u);
    EXPECT_EQ(ExtenderSettings.refundSumMismatchLimit, 0u);
    EXPECT_EQ(ExtenderSettings.quantityPrecision, 0u);
    EXPECT_EQ(ExtenderSettings.downloadEJ, 0u);
    // A text path is a path.
    EXPECT_EQ(TracePath(), "1");
}

TEST_F(SettingsStoreTest, EveryValueLoadsFromItsSubkey) {
    StoreWord("", "TraceMask", 0x0B);
    StoreText("", "TracePath", "/var/log/тр.txt");
    StoreWord("", "TraceFileSizeLimit", 4);
    StoreWord("", "PrintEJ", 0);
    StoreWord("", "DownloadEJ", 1);
    StoreWord("Communication", "COM", 7);
    StoreWord("Communication", "Baud", 115200);
    StoreWord("Fiscal", "MinBill", 5);
    StoreWord("Fiscal", "HyphenationLenth", 24);
    StoreWord("Fiscal", "CmdRetryCount", 2);
    StoreWord("Fiscal", "RefundSumMismatchLimit", 10);
    StoreWord("Fiscal", "QuantityPrecision", 7);
    // The correctly spelt name is not the setting.
    StoreWord("Fiscal", "HyphenationLength", 99);
    ASSERT_EQ(Load(), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.traceMask, 0x0Bu);
    EXPECT_EQ(TracePath(), "/var/log/тр.txt");
    EXPECT_EQ(ExtenderSettings.traceFileSizeLimit, 4u);
    EXPECT_EQ(ExtenderSettings.printEJ, 0u);
    EXPECT_EQ(ExtenderSettings.downloadEJ, 1u);
    EXPECT_EQ(ExtenderSettings.comPort, 7u);
    EXPECT_EQ(ExtenderSettings.baud, 115200u);
    EXPECT_EQ(ExtenderSettings.minBill, 5u);
    EXPECT_EQ(ExtenderSettings.hyphenationLength, 24u);
    EXPECT_EQ(ExtenderSettings.cmdRetryCount, 2u);
    EXPECT_EQ(ExtenderSettings.refundSumMismatchLimit, 10u);
    // Loading does not clamp; only the setter does.
    EXPECT_EQ(ExtenderSettings.quantityPrecision, 7u);
}

TEST_F(SettingsStoreTest, WithoutTheFiscalSubkeyItsValuesStayAndTheKeysOwnAreRead) {
    ExtenderSettings.minBill = 50;
    ExtenderSettings.quantityPrecision = 2;
    StoreWord("", "PrintEJ", 0);
    StoreWord("", "DownloadEJ", 1);
    EXPECT_EQ(Load(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(ExtenderSettings.minBill, 50u);
    EXPECT_EQ(ExtenderSettings.quantityPrecision, 2u);
    EXPECT_EQ(ExtenderSettings.printEJ, 0u);
    EXPECT_EQ(ExtenderSettings.downloadEJ, 1u);
}

TEST_F(SettingsStoreTest, TracePathMustFitItsBuffer) {
    const std::string longest(kTracePathCapacity - 1, 'p');
    StoreText("", "TracePath", longest);
    Load();
    EXPECT_EQ(TracePath(), longest);

    // 260 characters and the terminator do not fit: the old path stays.
    StoreText("", "TracePath", std::string(kTracePathCapacity, 'q'));
    Load();
    EXPECT_EQ(TracePath(), longest);
    // Nor do 260 characters stored without a terminator.
    settingstest::StoreRaw("", "TracePath", REG_SZ, std::string(kTracePathCapacity, 'r'));
    Load();
    EXPECT_EQ(TracePath(), longest);

    // A shorter path leaves nothing of the longer one behind.
    StoreText("", "TracePath", "a.txt");
    Load();
    EXPECT_EQ(TracePath(), "a.txt");
    char buffer[kTracePathCapacity];
    std::fill(std::begin(buffer), std::end(buffer), 'x');
    EXPECT_EQ(CopyTracePath(buffer, sizeof buffer), 5u);
    EXPECT_EQ(std::string(buffer), "a.txt");

    StoreText("", "TracePath", "");
    Load();
    EXPECT_EQ(TracePath(), "");
}

TEST_F(SettingsStoreTest, StoredPortNeedsTheFiscalSubkeyAndBothLinkValues) {
    StoreWord("Communication", "COM", 3);
    StoreWord("Communication", "Baud", 38400);
    DWORD port = 0;
    DWORD baud = 0;
    // No "Fiscal": the stored port is not taken, and the mirror gets the record's bill.
    mirror.minBill = 100;
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), -9006);
    EXPECT_EQ(port, 0u);
    EXPECT_EQ(mirror.minBill, 1);

    StoreWord("Fiscal", "MinBill", 5);
    StoreWord("Fiscal", "HyphenationLenth", 32);
    StoreWord("Fiscal", "RefundSumMismatchLimit", 20);
    mirror = SettingsMirror{};
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), 0);
    EXPECT_EQ(port, 3u);
    EXPECT_EQ(baud, 38400u);
    // The mirror follows later, through the getters.
    EXPECT_EQ(mirror.minBill, 1);
    EXPECT_EQ(mirror.hyphenationLength, 0u);
    EXPECT_EQ(ExtenderSettings.minBill, 5u);
    EXPECT_EQ(GetMinBill(mirror), 5u);
    EXPECT_EQ(mirror.minBill, 5);

    // Without a port the fiscal values that are set reach the mirror at once.
    StoreWord("Communication", "COM", 0);
    mirror = SettingsMirror{};
    port = 0;
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), -9006);
    EXPECT_EQ(port, 0u);
    EXPECT_EQ(mirror.minBill, 5);
    EXPECT_EQ(mirror.hyphenationLength, 32u);
    EXPECT_EQ(mirror.refundSumMismatchLimit, 20);

    // Zeros are not copied.
    StoreWord("Fiscal", "MinBill", 0);
    StoreWord("Fiscal", "HyphenationLenth", 0);
    StoreWord("Fiscal", "RefundSumMismatchLimit", 0);
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), -9006);
    EXPECT_EQ(ExtenderSettings.minBill, 0u);
    EXPECT_EQ(mirror.minBill, 5);
    EXPECT_EQ(mirror.hyphenationLength, 32u);
    EXPECT_EQ(mirror.refundSumMismatchLimit, 20);
}

// ---- saving ----

TEST_F(SettingsStoreTest, SaveOfTheInitialRecordWritesOnlyWhatItsConditionsAllow) {
    ASSERT_EQ(SaveSettings(HKEY_CURRENT_USER, 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(StoredValues(), (std::vector<StoredValue>{{"DownloadEJ", REG_DWORD, Word(0)}}));
    EXPECT_EQ(StoredValues("Communication"),
              (std::vector<StoredValue>{{"Baud", REG_DWORD, Word(9600)}}));
    EXPECT_EQ(StoredValues("Fiscal"), (std::vector<StoredValue>{
                                          {"MinBill", REG_DWORD, Word(1)},
                                          {"CmdRetryCount", REG_DWORD, Word(11)},
                                          {"QuantityPrecision", REG_DWORD, Word(0)},
                                      }));
}

TEST_F(SettingsStoreTest, SaveWritesEveryNonzeroValueAndNeverTheHandSetOnes) {
    ExtenderSettings.traceMask = 0x0A;
    ASSERT_TRUE(StoreTracePath("/tmp/link.txt", 13));
    ExtenderSettings.downloadEJ = 1;
    ExtenderSettings.hyphenationLength = 40;
    ExtenderSettings.quantityPrecision = 3;
    ExtenderSettings.cmdRetryCount = 0;
    // Hand-set values: never written.
    ExtenderSettings.traceFileSizeLimit = 7;
    ExtenderSettings.refundSumMismatchLimit = 8;
    ExtenderSettings.printEJ = 0;
    ASSERT_EQ(SaveSettings(HKEY_CURRENT_USER, 5, 19200), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.comPort, 5u);
    EXPECT_EQ(ExtenderSettings.baud, 19200u);
    EXPECT_EQ(StoredValues(), (std::vector<StoredValue>{
                                  {"TraceMask", REG_DWORD, Word(0x0A)},
                                  {"TracePath", REG_SZ, Sz("/tmp/link.txt")},
                                  {"DownloadEJ", REG_DWORD, Word(1)},
                              }));
    EXPECT_EQ(StoredValues("Communication"), (std::vector<StoredValue>{
                                                 {"COM", REG_DWORD, Word(5)},
                                                 {"Baud", REG_DWORD, Word(19200)},
                                             }));
    EXPECT_EQ(StoredValues("Fiscal"), (std::vector<StoredValue>{
                                          {"MinBill", REG_DWORD, Word(1)},
                                          {"HyphenationLenth", REG_DWORD, Word(40)},
                                          {"QuantityPrecision", REG_DWORD, Word(3)},
                                      }));
}

TEST_F(SettingsStoreTest, NegativePortAndBaudLeaveTheRecord) {
    ExtenderSettings.comPort = 2;
    ASSERT_EQ(SaveSettings(HKEY_CURRENT_USER, -1, -9600), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.comPort, 2u);
    EXPECT_EQ(ExtenderSettings.baud, 9600u);
}

TEST_F(SettingsStoreTest, ZeroMaskIsNotStoredAndTheStoredMaskStays) {
    ASSERT_EQ(SetTraceMask(3), ERROR_SUCCESS);
    EXPECT_EQ(StoredValues()[0], (StoredValue{"TraceMask", REG_DWORD, Word(3)}));
    ASSERT_EQ(SetTraceMask(0), ERROR_SUCCESS);
    EXPECT_EQ(GetTraceMask(), 0u);
    EXPECT_EQ(StoredValues()[0], (StoredValue{"TraceMask", REG_DWORD, Word(3)}));
    Load();
    EXPECT_EQ(GetTraceMask(), 3u);
    // Any value is kept as given.
    ASSERT_EQ(SetTraceMask(0xFFFF0008), ERROR_SUCCESS);
    EXPECT_EQ(GetTraceMask(), 0xFFFF0008u);
}

TEST_F(SettingsStoreTest, SaveFailuresAreReported) {
    EXPECT_NE(SaveSettings(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x1234)), 0, 0),
              ERROR_SUCCESS);
    // A registry that cannot be written: its folder is a file.
    testsupport::TempDir spare;
    const std::string notAFolder = spare.file("hive-is-a-file");
    testsupport::WriteFileBytes(notAFolder, "x");
    setenv("BRONTAL_REGISTRY_DIR", notAFolder.c_str(), 1);
    EXPECT_NE(SaveSettings(HKEY_CURRENT_USER, 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(StoreLinkSettings(3, 9600), -9007);
    EXPECT_EQ(ExtenderSettings.comPort, 3u);  // the record keeps what the save was given
    DWORD port = 0;
    DWORD baud = 0;
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), -9006);
    setenv("BRONTAL_REGISTRY_DIR", registry.path().c_str(), 1);
}

TEST_F(SettingsStoreTest, StoreLinkSettingsNeedsBothValues) {
    EXPECT_EQ(StoreLinkSettings(0, 9600), -9002);
    EXPECT_EQ(StoreLinkSettings(3, 0), -9002);
    EXPECT_EQ(StoreLinkSettings(0x80000000u, 9600), -9002);
    EXPECT_FALSE(settingstest::SettingsKeyExists());
    EXPECT_EQ(ExtenderSettings.comPort, 0u);

    EXPECT_EQ(StoreLinkSettings(3, 115200), 0);
    EXPECT_EQ(StoredValues("Communication"), (std::vector<StoredValue>{
                                                 {"COM", REG_DWORD, Word(3)},
                                                 {"Baud", REG_DWORD, Word(115200)},
                                             }));
    DWORD port = 0;
    DWORD baud = 0;
    EXPECT_EQ(ReadStoredLinkSettings(mirror, &port, &baud), 0);
    EXPECT_EQ(port, 3u);
    EXPECT_EQ(baud, 115200u);
}

// ---- the properties' setters and getters ----

TEST_F(SettingsStoreTest, MinBillFromItsLowAndHighWords) {
    EXPECT_EQ(SetMinBill(mirror, 5, 0), ERROR_SUCCESS);
    EXPECT_EQ(mirror.minBill, 5);
    EXPECT_EQ(ExtenderSettings.minBill, 5u);
    EXPECT_EQ(StoredValues("Fiscal")[0], (StoredValue{"MinBill", REG_DWORD, Word(5)}));

    EXPECT_EQ(SetMinBill(mirror, 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(mirror.minBill, 1);
    EXPECT_EQ(ExtenderSettings.minBill, 1u);

    ExtenderSettings.minBill = 5;
    EXPECT_EQ(SetMinBill(mirror, 7, -1), ERROR_SUCCESS);
    EXPECT_EQ(mirror.minBill, 1);
    EXPECT_EQ(ExtenderSettings.minBill, 1u);

    // Beyond one word: the mirror holds it, the record keeps its own rather than the low part.
    EXPECT_EQ(SetMinBill(mirror, 0, 1), ERROR_SUCCESS);
    EXPECT_EQ(mirror.minBill, 0x100000000LL);
    EXPECT_EQ(ExtenderSettings.minBill, 1u);
    EXPECT_EQ(SetMinBill(mirror, 9, 2), ERROR_SUCCESS);
    EXPECT_EQ(mirror.minBill, 0x200000009LL);
    EXPECT_EQ(ExtenderSettings.minBill, 1u);

    EXPECT_EQ(GetMinBill(mirror), 1u);
    EXPECT_EQ(mirror.minBill, 1);
}

TEST_F(SettingsStoreTest, HyphenationLengthBelowOneClearsOnlyTheMirror) {
    EXPECT_EQ(SetHyphenationLength(mirror, 25), ERROR_SUCCESS);
    EXPECT_EQ(mirror.hyphenationLength, 25u);
    EXPECT_EQ(ExtenderSettings.hyphenationLength, 25u);
    for (LONG bad : {0, -3}) {
        mirror.hyphenationLength = 25;
        EXPECT_EQ(SetHyphenationLength(mirror, bad), ERROR_SUCCESS);
        EXPECT_EQ(mirror.hyphenationLength, 0u);
        EXPECT_EQ(ExtenderSettings.hyphenationLength, 25u);
    }
    EXPECT_EQ(StoredValues("Fiscal")[1], (StoredValue{"HyphenationLenth", REG_DWORD, Word(25)}));
    EXPECT_EQ(GetHyphenationLength(mirror), 25u);
    EXPECT_EQ(mirror.hyphenationLength, 25u);
}

TEST_F(SettingsStoreTest, DownloadFlagIsStoredAsOneOrZeroAndMirroredInverted) {
    EXPECT_EQ(mirror.skipJournalDownload, 1u);
    EXPECT_EQ(SetDownloadEJ(mirror, 5), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.downloadEJ, 1u);
    EXPECT_EQ(mirror.skipJournalDownload, 0u);
    EXPECT_EQ(StoredValues()[0], (StoredValue{"DownloadEJ", REG_DWORD, Word(1)}));
    EXPECT_EQ(SetDownloadEJ(mirror, 0), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.downloadEJ, 0u);
    EXPECT_EQ(mirror.skipJournalDownload, 1u);

    ExtenderSettings.downloadEJ = 1;
    EXPECT_EQ(GetDownloadEJ(mirror), 1u);
    EXPECT_EQ(mirror.skipJournalDownload, 0u);
}

TEST_F(SettingsStoreTest, QuantityPrecisionIsClampedBySetterOnly) {
    EXPECT_EQ(SetQuantityPrecision(mirror, 7), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.quantityPrecision, 3u);
    EXPECT_EQ(mirror.quantityPrecision, 3u);
    EXPECT_EQ(StoredValues("Fiscal").back(),
              (StoredValue{"QuantityPrecision", REG_DWORD, Word(3)}));
    EXPECT_EQ(SetQuantityPrecision(mirror, -2), ERROR_SUCCESS);
    EXPECT_EQ(ExtenderSettings.quantityPrecision, 0u);
    EXPECT_EQ(SetQuantityPrecision(mirror, 2), ERROR_SUCCESS);
    EXPECT_EQ(mirror.quantityPrecision, 2u);

    StoreWord("Fiscal", "QuantityPrecision", 7);
    Load();
    EXPECT_EQ(GetQuantityPrecision(mirror), 7u);
    EXPECT_EQ(mirror.quantityPrecision, 7u);
}

TEST_F(SettingsStoreTest, TracePathSetterAndGetterRespectTheirBuffers) {
    EXPECT_EQ(SetTracePath(nullptr), ERROR_SUCCESS);
    EXPECT_EQ(SetTracePath(std::string(kTracePathCapacity, 'p').c_str()), ERROR_SUCCESS);
    EXPECT_EQ(TracePath(), "");
    EXPECT_FALSE(settingstest::SettingsKeyExists());  // ignored means not saved either

    const std::string longest(kTracePathCapacity - 1, 'p');
    EXPECT_EQ(SetTracePath(longest.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(StoredValues()[0], (StoredValue{"TracePath", REG_SZ, Sz(longest)}));

    EXPECT_EQ(SetTracePath("trace.txt"), ERROR_SUCCESS);
    char small[9];
    std::fill(std::begin(small), std::end(small), 'x');
    EXPECT_EQ(GetTracePath(small, sizeof small), 0u);
    EXPECT_EQ(small[0], 'x');
    char exact[10];
    EXPECT_EQ(GetTracePath(exact, sizeof exact), 9u);
    EXPECT_EQ(std::string(exact), "trace.txt");
    EXPECT_EQ(GetTracePath(nullptr, 100), 0u);
}

// ---- serial ports ----

TEST_F(SettingsStoreTest, SerialPortNamesByIndex) {
    LPSTR name = reinterpret_cast<LPSTR>(1);
    EXPECT_EQ(EnumSerialPortName(0, &name), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(name, nullptr);

    auto set = [](const char* value, DWORD type, const std::string& data) {
        testsupport::WriteValue(HKEY_LOCAL_MACHINE, testsupport::kSerialCommKey, value, type, data);
    };
    set("/dev/ttyS0", REG_SZ, Sz("COM1"));
    set("/dev/pts/9", REG_SZ, "COM12");  // stored without its terminator
    set("/dev/odd", REG_DWORD, Word(3));

    ASSERT_EQ(EnumSerialPortName(0, &name), ERROR_SUCCESS);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "COM1");
    delete[] name;
    ASSERT_EQ(EnumSerialPortName(1, &name), ERROR_SUCCESS);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "COM12");
    delete[] name;
    EXPECT_EQ(EnumSerialPortName(2, &name), ERROR_SUCCESS);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(EnumSerialPortName(3, &name), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(EnumSerialPortName(0, nullptr), ERROR_INVALID_PARAMETER);
}

}  // namespace
