// Hive files: the regedit export layout byte for byte, hand-written files, corrupt and
// unreadable files, and where the files live.
#include "registry_testing.h"

#include <cstdlib>
#include <filesystem>
#include <random>

#include <sys/stat.h>

using namespace registrytest;
using testsupport::Cp1251;
using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

namespace {

const char kHeader[] = "Windows Registry Editor Version 5.00\r\n";

class RegistryFile : public ::testing::Test {
  protected:
    std::string UserHive() const { return dir_.path() + "/user.reg"; }
    std::string MachineHive() const { return dir_.path() + "/machine.reg"; }

    testsupport::ScopedRegistryDir dir_;
};

void SetBytes(HKEY key, const char* name, DWORD type, const std::string& data) {
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS)
        << name;
}

TEST_F(RegistryFile, ExportLayoutIsRegeditsByteForByte) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Test");
    SetBytes(key, nullptr, REG_SZ, std::string("default\0", 8));
    SetBytes(key, "Text", REG_SZ, std::string("a \"quoted\" C:\\path", 19));
    SetBytes(key, "Dword", REG_DWORD, std::string("\x0A\x00\x00\x00", 4));
    SetBytes(key, "Binary", REG_BINARY, "\x01\x02");
    SetBytes(key, "Expand", REG_EXPAND_SZ, std::string("%A%\0", 4));
    SetBytes(key, "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    SetBytes(key, "Qword", REG_QWORD, std::string("\x01\x00\x00\x00\x00\x00\x00\x80", 8));
    SetBytes(key, "None", REG_NONE, "");
    SetBytes(key, Cp1251("Имя").c_str(), REG_SZ, Cp1251("Привет") + '\0');
    SetBytes(key, "Raw", REG_SZ, "a");  // no terminator: only hex keeps that
    SetBytes(key, "Lines", REG_SZ, std::string("1\r\n2", 5));
    RegCloseKey(CreateKey(key, "Empty"));
    RegCloseKey(key);

    const std::string expected = Utf16File(std::string(kHeader) +
                                           "\r\n"
                                           "[HKEY_CURRENT_USER]\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software]\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                                           "@=\"default\"\r\n"
                                           "\"Text\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n"
                                           "\"Dword\"=dword:0000000a\r\n"
                                           "\"Binary\"=hex:01,02\r\n"
                                           "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                           "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                                           "\"Qword\"=hex(b):01,00,00,00,00,00,00,80\r\n"
                                           "\"None\"=hex(0):\r\n"
                                           "\"Имя\"=\"Привет\"\r\n"
                                           "\"Raw\"=hex(1):61,00\r\n"
                                           "\"Lines\"=hex(1):31,00,0d,00,0a,00,32,00,00,00\r\n"
                                           "\r\n"
                                           "[HKEY_CURRENT_USER\\Software\\Test\\Empty]\r\n"
                                           "\r\n");
    EXPECT_EQ(ReadFileBytes(UserHive()), expected);
    EXPECT_FALSE(testsupport::FileExists(MachineHive())) << "nothing was written there";
}

TEST_F(RegistryFile, LongHexDataWrapsAsRegeditDoes) {
    std::string data;
    for (int i = 0; i < 50; ++i) {
        data.push_back(static_cast<char>(i));
    }
    HKEY key = CreateKey(HKEY_CURRENT_USER, "W");
    SetBytes(key, "B", REG_BINARY, data);
    RegCloseKey(key);
    const std::string expected = Utf16File(
        std::string(kHeader) +
        "\r\n[HKEY_CURRENT_USER]\r\n"
        "\r\n[HKEY_CURRENT_USER\\W]\r\n"
        "\"B\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\r\n"
        "  17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f,\\\r\n"
        "  30,31\r\n"
        "\r\n");
    EXPECT_EQ(ReadFileBytes(UserHive()), expected);
}

TEST_F(RegistryFile, WrittenFileReadsBackInAnotherRegistry) {
    std::string blob;
    for (int i = 0; i < 3000; ++i) {
        blob.push_back(static_cast<char>(i * 7));
    }
    const std::vector<std::pair<DWORD, std::string>> values = {
        {REG_SZ, Cp1251("Смена \"открыта\" \\ ok") + '\0'},
        {REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9)},
        {REG_BINARY, blob},
        {REG_DWORD, std::string("\xFF\xFF\xFF\xFF", 4)},
        {REG_MULTI_SZ, std::string("COM1\0COM2\0\0", 11)},
        {REG_QWORD, std::string("\x11\x22\x33\x44\x55\x66\x77\x88", 8)},
        {REG_NONE, std::string()},
        {REG_SZ, std::string()},
    };
    HKEY key = CreateKey(HKEY_CURRENT_USER, Cp1251("Software\\Ключ]с[скобками"));
    for (size_t i = 0; i < values.size(); ++i) {
        SetBytes(key, ("v" + std::to_string(i)).c_str(), values[i].first, values[i].second);
    }
    RegCloseKey(key);

    testsupport::ScopedRegistryDir other;
    std::filesystem::copy_file(UserHive(), other.path() + "/user.reg");
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Cp1251("software\\ключ]С[скобками").c_str(), 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    for (size_t i = 0; i < values.size(); ++i) {
        DWORD type = 0;
        EXPECT_EQ(Query(key, ("v" + std::to_string(i)).c_str(), &type), values[i].second) << i;
        EXPECT_EQ(type, values[i].first) << i;
    }
    EXPECT_EQ(ValueNames(key).size(), values.size());
    RegCloseKey(key);
}

TEST_F(RegistryFile, HandWrittenUtf8FilesAreRead) {
    const std::string body =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; settings edited by hand\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\Brontl\\Settings\\Communication]\n"
        "\"COM\" = DWORD:00000003\n"
        "\"Baud\"=dword:1c200\n"
        "\"Кассир\"=\"Иванов И.И.\"\n"
        "\"Wide\"=\"日本\"\n"
        "\"List\"=hex(7):61,00,00,00,\\\n"
        "    62,00,00,00,00,00\n"
        "@=\"x\"\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Orvane\\Brontl\\Settings\\Fiscal]\n";
    for (const std::string& file : {body, "\xEF\xBB\xBF" + body}) {
        std::string crlf;
        for (char c : file) {
            if (c == '\n') {
                crlf += '\r';
            }
            crlf += c;
        }
        for (const std::string& variant : {file, crlf}) {
            WriteFileBytes(UserHive(), variant);
            HKEY key = nullptr;
            ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER,
                                    "Software\\Orvane\\Brontl\\Settings\\Communication", 0,
                                    KEY_READ, &key),
                      ERROR_SUCCESS);
            EXPECT_EQ(QueryDword(key, "COM"), 3u);
            EXPECT_EQ(QueryDword(key, "Baud"), 115200u);
            EXPECT_EQ(Query(key, Cp1251("Кассир").c_str()), Cp1251("Иванов И.И.") + '\0');
            EXPECT_EQ(Query(key, "Wide"), std::string("??\0", 3)) << "outside the code page";
            DWORD type = 0;
            EXPECT_EQ(Query(key, "List", &type), std::string("a\0b\0\0", 5));
            EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
            EXPECT_EQ(ValueNames(key), (std::vector<std::string>{"COM", "Baud", Cp1251("Кассир"),
                                                                 "Wide", "List", ""}));
            RegCloseKey(key);
            ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvane\\Brontl\\Settings\\Fiscal",
                                    0, KEY_READ, &key),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }
    }
    // A write keeps everything the hand-made file had, now in regedit's own form.
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Orvane\\Brontl\\Settings\\Communication");
    ASSERT_EQ(SetDword(key, "Baud", 9600), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string rewritten = ReadFileBytes(UserHive());
    ASSERT_EQ(rewritten.substr(0, 2), "\xFF\xFE");
    EXPECT_NE(rewritten.find(Utf16File("\"Wide\"=\"日本\"\r\n").substr(2)), std::string::npos);
    EXPECT_NE(rewritten.find(Utf16File("\"Baud\"=dword:00002580\r\n").substr(2)),
              std::string::npos);
}

TEST_F(RegistryFile, CorruptHiveIsRefusedAndLeftUntouched) {
    const std::vector<std::string> corrupt = {
        "Windows Registry Editor Version 4.00\r\n",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n",
        std::string(kHeader) + "\"Orphan\"=dword:00000001\r\n",
        std::string(kHeader) + "[HKEY_LOCAL_MACHINE\\A]\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=dword:123456789\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=hex:1,zz\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=hex:01,\\\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"unterminated\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"a\" trailing\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=-\r\n",
        std::string(kHeader) + "[-HKEY_CURRENT_USER\\A]\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A\\\\B]\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A\r\n",
        std::string(kHeader) + "garbage\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=hex(zz):01\r\n",
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A\xC3]\r\n",  // not UTF-8
        Utf16File(kHeader) + "x",                                 // odd UTF-16 length
        std::string("\xFE\xFF\x00W", 4),
        std::string(kHeader) + "[HKEY_CURRENT_USER\\A]\r\n\"x\"=\"a\0b\"\r\n",
    };
    // A good machine hive beside it goes on working.
    HKEY machine = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Fine");
    ASSERT_EQ(SetDword(machine, "ok", 1), ERROR_SUCCESS);
    for (size_t i = 0; i < corrupt.size(); ++i) {
        SCOPED_TRACE(i);
        WriteFileBytes(UserHive(), corrupt[i]);
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "B", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "A"), ERROR_REGISTRY_CORRUPT);
        EXPECT_EQ(ReadFileBytes(UserHive()), corrupt[i]) << "a corrupt hive is never replaced";
        EXPECT_EQ(QueryDword(machine, "ok"), 1u);
        EXPECT_EQ(SetDword(machine, "ok", 1), ERROR_SUCCESS);
    }
    RegCloseKey(machine);
}

TEST_F(RegistryFile, UnreadableHiveIsRefused) {
    ASSERT_EQ(mkdir(UserHive().c_str(), 0700), 0);  // something that is not a file
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_CANTREAD);
    EXPECT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_CANTREAD);
    EXPECT_TRUE(std::filesystem::is_directory(UserHive()));
}

TEST_F(RegistryFile, EmptyFileIsAnEmptyHive) {
    WriteFileBytes(UserHive(), "");
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_SUCCESS);
    EXPECT_EQ(QueryDword(HKEY_CURRENT_USER, "x"), 1u);
}

// Damaged copies of a good file must all give a clean answer: readable, or refused as corrupt
// and then never overwritten.
TEST_F(RegistryFile, DamagedFilesGiveCleanResults) {
    HKEY key = CreateKey(HKEY_CURRENT_USER, "Software\\Orvane\\Brontl\\Settings");
    SetBytes(key, "TracePath", REG_SZ, Cp1251("/tmp/трасса.txt") + '\0');
    SetBytes(key, "Blob", REG_BINARY, std::string(100, '\x5A'));
    SetBytes(key, "Multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    ASSERT_EQ(SetDword(key, "TraceMask", 3), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string good = ReadFileBytes(UserHive());
    std::string utf8Good = std::string(kHeader) +
                           "[HKEY_CURRENT_USER\\S]\r\n\"a\"=\"текст\"\r\n\"b\"=hex:01,02,\\\r\n"
                           "  03\r\n@=dword:00000001\r\n";
    std::mt19937 random(20240229);
    int corruptCount = 0;
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = round % 2 ? good : utf8Good;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits && !bytes.empty(); ++e) {
            const size_t at = random() % bytes.size();
            switch (random() % 4) {
                case 0:
                    bytes[at] = static_cast<char>(random());
                    break;
                case 1:
                    bytes.erase(at, 1 + random() % 8);
                    break;
                case 2:
                    bytes.insert(at, 1, "\\\"[]=,:\r\n\0"[random() % 11]);
                    break;
                default:
                    bytes.resize(at);
                    break;
            }
        }
        WriteFileBytes(UserHive(), bytes);
        HKEY probe = nullptr;
        const LSTATUS open = RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Orvane\\Brontl\\Settings",
                                           0, KEY_READ, &probe);
        ASSERT_TRUE(open == ERROR_SUCCESS || open == ERROR_FILE_NOT_FOUND ||
                    open == ERROR_REGISTRY_CORRUPT)
            << open;
        if (open == ERROR_SUCCESS) {
            ValueNames(probe);
            char data[256];
            DWORD size = sizeof data;
            const LSTATUS q = RegQueryValueExA(probe, "TracePath", nullptr, nullptr,
                                               reinterpret_cast<BYTE*>(data), &size);
            EXPECT_TRUE(q == ERROR_SUCCESS || q == ERROR_FILE_NOT_FOUND || q == ERROR_MORE_DATA);
            RegCloseKey(probe);
        }
        if (open == ERROR_REGISTRY_CORRUPT) {
            ++corruptCount;
            ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "x", 1), ERROR_REGISTRY_CORRUPT);
            ASSERT_EQ(ReadFileBytes(UserHive()), bytes);
        }
    }
    EXPECT_GT(corruptCount, 100) << "the damage should have been noticed often";
}

class EnvironmentOverride {
  public:
    EnvironmentOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            had_ = true;
            old_ = old;
        }
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentOverride() {
        if (had_) {
            setenv(name_, old_.c_str(), 1);
        } else {
            unsetenv(name_);
        }
    }

  private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

TEST_F(RegistryFile, HivesFollowTheEnvironmentAtEveryCall) {
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "Where", 1), ERROR_SUCCESS);
    {
        testsupport::ScopedRegistryDir second;
        LSTATUS status = 0;
        Query(HKEY_CURRENT_USER, "Where", nullptr, &status);
        EXPECT_EQ(status, ERROR_FILE_NOT_FOUND) << "a fresh folder holds fresh hives";
        ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "Where", 2), ERROR_SUCCESS);
        EXPECT_TRUE(testsupport::FileExists(second.path() + "/user.reg"));
    }
    EXPECT_EQ(QueryDword(HKEY_CURRENT_USER, "Where"), 1u);

    // Without the override the user's hive is in the configuration folder.
    testsupport::TempDir config;
    EnvironmentOverride noDir("BRONTAL_REGISTRY_DIR", nullptr);
    EnvironmentOverride xdg("XDG_CONFIG_HOME", config.path().c_str());
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, "Where", 3), ERROR_SUCCESS);
    EXPECT_TRUE(testsupport::FileExists(config.path() + "/brontal/user.reg"));
    EXPECT_EQ(QueryDword(HKEY_CURRENT_USER, "Where"), 3u);
}

}  // namespace
