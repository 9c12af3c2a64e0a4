// Files: ANSI (Windows-1251) names, separators, dispositions, share modes, pointer and size,
// moves across folders and file systems, attributes, the current folder and the environment.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"

#include <cstdlib>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using testsupport::Cp1251;

class FileTest : public ::testing::Test {
  protected:
    // The temporary folder's name in ANSI, with backslashes, as the product would build it.
    std::string Ansi(const std::string& utf8Name) const {
        std::string path = Cp1251(dir.path() + "\\" + utf8Name);
        return path;
    }
    std::string Host(const std::string& utf8Name) const { return dir.file(utf8Name); }

    HANDLE Open(const std::string& ansiName, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileA(ansiName.c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    static std::string ReadAll(HANDLE h) {
        std::string bytes(4096, '\0');
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr));
        bytes.resize(got);
        return bytes;
    }

    static void Write(HANDLE h, const std::string& bytes) {
        DWORD written = 0;
        ASSERT_TRUE(
            WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        ASSERT_EQ(written, bytes.size());
    }

    testsupport::TempDir dir;
};

TEST_F(FileTest, CyrillicFolderWithBackslashesReachesTheDiskAsUtf8) {
    ASSERT_TRUE(CreateDirectoryA(Ansi("Журнал").c_str(), nullptr));
    EXPECT_TRUE(testsupport::FileExists(Host("Журнал")));
    const std::string name = Ansi("Журнал\\Чек №1.txt");
    HANDLE h = Open(name, GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    const std::string text = Cp1251("Итог: 100,00\r\n");
    Write(h, text);
    EXPECT_TRUE(FlushFileBuffers(h));
    EXPECT_TRUE(CloseHandle(h));
    EXPECT_EQ(testsupport::ReadFileBytes(Host("Журнал/Чек №1.txt")), text);
    EXPECT_EQ(GetFileAttributesA(Ansi("Журнал").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    EXPECT_EQ(GetFileAttributesA(name.c_str()), static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));

    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryA(Ansi("Журнал").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(CreateDirectoryA(Ansi("нет\\папки").c_str(), nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileTest, NewFilesGetMode0644BeforeUmask) {
    mode_t old = umask(0);
    HANDLE h = Open(Ansi("mode.txt"), GENERIC_WRITE, 0, CREATE_ALWAYS);
    umask(old);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    struct stat info {};
    ASSERT_EQ(stat(Host("mode.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(FileTest, DispositionsAndTheirLastErrors) {
    const std::string name = Ansi("d.txt");
    SetLastError(0);
    EXPECT_EQ(Open(name, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(Ansi("missing\\d.txt"), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(Open(name, GENERIC_WRITE, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE h = Open(name, GENERIC_WRITE, 0, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    Write(h, "0123456789");
    CloseHandle(h);

    h = Open(name, GENERIC_READ, 0, OPEN_ALWAYS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadAll(h), "0123456789");
    CloseHandle(h);

    EXPECT_EQ(Open(name, GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    h = Open(name, GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadAll(h), "");
    Write(h, "abc");
    CloseHandle(h);

    h = Open(name, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(h, &high), 0u);
    EXPECT_EQ(high, 0u);
    CloseHandle(h);

    EXPECT_EQ(Open(name, GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Open(name, GENERIC_READ, 0, 99), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A folder is no file.
    EXPECT_EQ(Open(Cp1251(dir.path()), GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileTest, AccessIsEnforcedPerHandle) {
    HANDLE h = Open(Ansi("a.txt"), GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 5;
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(SetEndOfFile(h));
    CloseHandle(h);

    h = Open(Ansi("a.txt"), GENERIC_WRITE, 0, OPEN_EXISTING);
    char byte;
    DWORD got = 5;
    EXPECT_FALSE(ReadFile(h, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(got, 0u);
    CloseHandle(h);

    SetLastError(0);
    EXPECT_FALSE(ReadFile(h, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FileTest, AppendOnlyAccessWritesAtTheEnd) {
    testsupport::WriteFileBytes(Host("log.txt"), "first\n");
    HANDLE h = Open(Ansi("log.txt"), FILE_APPEND_DATA, FILE_SHARE_READ, OPEN_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Write(h, "second\n");
    CloseHandle(h);
    EXPECT_EQ(testsupport::ReadFileBytes(Host("log.txt")), "first\nsecond\n");
}

TEST_F(FileTest, ShareModesFollowTheWindowsRule) {
    const std::string name = Ansi("s.txt");
    HANDLE writer = Open(name, GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    // A reader that lets the writer go on may open; a second writer may not.
    HANDLE reader = Open(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_EQ(Open(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // A reader that refuses to share writing conflicts with the open writer.
    EXPECT_EQ(Open(name, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // A refused CREATE_ALWAYS must not have truncated the file.
    Write(writer, "kept");
    EXPECT_EQ(Open(name, GENERIC_WRITE, 0, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(testsupport::ReadFileBytes(Host("s.txt")), "kept");
    CloseHandle(reader);
    CloseHandle(writer);
    HANDLE again = Open(name, GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
}

TEST_F(FileTest, FilePointerSizeAndEndOfFile) {
    HANDLE h = Open(Ansi("p.bin"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    Write(h, "0123456789");
    EXPECT_EQ(SetFilePointer(h, 4, nullptr, FILE_BEGIN), 4u);
    char buffer[3] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(h, buffer, 3, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "456");
    EXPECT_EQ(SetFilePointer(h, -2, nullptr, FILE_CURRENT), 5u);
    EXPECT_EQ(SetFilePointer(h, -1, nullptr, FILE_END), 9u);
    EXPECT_TRUE(ReadFile(h, buffer, 3, &got, nullptr));
    EXPECT_EQ(got, 1u);
    EXPECT_TRUE(ReadFile(h, buffer, 3, &got, nullptr));  // end of file: success, nothing read
    EXPECT_EQ(got, 0u);

    SetLastError(0);
    EXPECT_EQ(SetFilePointer(h, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NEGATIVE_SEEK));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), 10u);  // unchanged by the failure

    // Past 4 GiB only with the high part; nothing is written, so the file stays small.
    LONG high = 1;
    EXPECT_EQ(SetFilePointer(h, 2, &high, FILE_BEGIN), 2u);
    EXPECT_EQ(high, 1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_CURRENT), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    EXPECT_EQ(SetFilePointer(h, 6, nullptr, FILE_BEGIN), 6u);
    EXPECT_TRUE(SetEndOfFile(h));
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 6);
    EXPECT_EQ(GetFileSize(h, nullptr), 6u);
    CloseHandle(h);
    EXPECT_EQ(testsupport::ReadFileBytes(Host("p.bin")), "012345");
}

TEST_F(FileTest, MoveReplacesOnlyWhenAsked) {
    testsupport::WriteFileBytes(Host("new.txt"), "new");
    testsupport::WriteFileBytes(Host("old.txt"), "old");
    SetLastError(0);
    EXPECT_FALSE(MoveFileExA(Ansi("new.txt").c_str(), Ansi("old.txt").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(testsupport::ReadFileBytes(Host("old.txt")), "old");

    const DWORD flags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
    EXPECT_TRUE(MoveFileExA(Ansi("new.txt").c_str(), Ansi("old.txt").c_str(), flags));
    EXPECT_EQ(testsupport::ReadFileBytes(Host("old.txt")), "new");
    EXPECT_FALSE(testsupport::FileExists(Host("new.txt")));

    EXPECT_FALSE(MoveFileExA(Ansi("gone.txt").c_str(), Ansi("x.txt").c_str(), flags));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(MoveFileExA(Ansi("old.txt").c_str(), Ansi("no\\x.txt").c_str(), flags));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(testsupport::ReadFileBytes(Host("old.txt")), "new");

    ASSERT_TRUE(CreateDirectoryA(Ansi("Архив").c_str(), nullptr));
    EXPECT_TRUE(MoveFileExA(Ansi("old.txt").c_str(), Ansi("Архив\\Смена 1.txt").c_str(), flags));
    EXPECT_EQ(testsupport::ReadFileBytes(Host("Архив/Смена 1.txt")), "new");
}

TEST_F(FileTest, MoveAcrossFileSystemsCopiesThenDeletes) {
    struct stat tmp {
    }, shm{};
    if (stat(dir.path().c_str(), &tmp) != 0 || stat("/dev/shm", &shm) != 0 ||
        tmp.st_dev == shm.st_dev || access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second file system to move to";
    }
    const std::string source = Host("cross.txt");
    testsupport::WriteFileBytes(source, "across");
    chmod(source.c_str(), 0640);
    const std::string target = "/dev/shm/brontal-move-" + std::to_string(getpid()) + ".txt";
    testsupport::WriteFileBytes(target, "old");
    EXPECT_FALSE(MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SAME_DEVICE));
    EXPECT_FALSE(MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "old");
    EXPECT_TRUE(MoveFileExA(source.c_str(), target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED));
    EXPECT_EQ(testsupport::ReadFileBytes(target), "across");
    EXPECT_FALSE(testsupport::FileExists(source));
    struct stat moved {};
    EXPECT_EQ(stat(target.c_str(), &moved), 0);
    EXPECT_EQ(moved.st_mode & 0777, 0640u);
    unlink(target.c_str());
}

TEST_F(FileTest, DeleteAndAttributes) {
    testsupport::WriteFileBytes(Host("del.txt"), "x");
    chmod(Host("del.txt").c_str(), 0444);
    EXPECT_EQ(GetFileAttributesA(Ansi("del.txt").c_str()),
              static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteFileA(Ansi("del.txt").c_str()));
    SetLastError(0);
    EXPECT_FALSE(DeleteFileA(Ansi("del.txt").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA(Ansi("del.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    ASSERT_TRUE(CreateDirectoryA(Ansi("sub").c_str(), nullptr));
    EXPECT_FALSE(DeleteFileA(Ansi("sub").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(FileTest, CurrentFolderInAnsiWithTheWindowsSizeRule) {
    char saved[4096];
    ASSERT_NE(getcwd(saved, sizeof saved), nullptr);
    ASSERT_TRUE(CreateDirectoryA(Ansi("Касса").c_str(), nullptr));
    ASSERT_EQ(chdir(Host("Касса").c_str()), 0);
    const std::string expected = Cp1251(dir.path() + "/Касса");
    DWORD needed = GetCurrentDirectoryA(0, nullptr);
    EXPECT_EQ(needed, expected.size() + 1);
    std::string buffer(needed, 'x');
    EXPECT_EQ(GetCurrentDirectoryA(needed - 1, buffer.data()), needed);
    EXPECT_EQ(buffer[0], 'x');  // too small: untouched
    EXPECT_EQ(GetCurrentDirectoryA(needed, buffer.data()), needed - 1);
    EXPECT_EQ(std::string(buffer.c_str()), expected);
    ASSERT_EQ(chdir(saved), 0);
}

TEST_F(FileTest, EnvironmentVariablesInAnsi) {
    setenv("BRONTAL_TEST_VALUE", "Смена", 1);
    char buffer[16];
    const std::string expected = Cp1251("Смена");
    EXPECT_EQ(GetEnvironmentVariableA("BRONTAL_TEST_VALUE", buffer, 3), expected.size() + 1);
    EXPECT_EQ(GetEnvironmentVariableA("BRONTAL_TEST_VALUE", buffer, sizeof buffer),
              expected.size());
    EXPECT_EQ(std::string(buffer), expected);
    unsetenv("BRONTAL_TEST_VALUE");
    SetLastError(0);
    EXPECT_EQ(GetEnvironmentVariableA("BRONTAL_TEST_VALUE", buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
}

TEST_F(FileTest, BadArguments) {
    SetLastError(0);
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateFileA("", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    DWORD got = 0;
    char byte;
    EXPECT_FALSE(ReadFile(event, &byte, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(SetFilePointer(event, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);

    HANDLE h = Open(Ansi("b.txt"), GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
    EXPECT_FALSE(ReadFile(h, nullptr, 1, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
    EXPECT_EQ(SetFilePointer(h, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    DCB dcb{};
    EXPECT_FALSE(GetCommState(h, &dcb));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FUNCTION));
    CloseHandle(h);
}

}  // namespace
