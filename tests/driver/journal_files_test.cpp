// The journal file writer on its own: names inside folders, whole files or none, ANSI paths.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "JournalOperations.h"
#include "TestSupport.h"

using testsupport::Cp1251;

namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        closedir(dir);
    }
    return names;
}

const BYTE* Bytes(const std::string& text) {
    return reinterpret_cast<const BYTE*>(text.data());
}

BOOL Save(DWORD identifier, const std::string& ansiPath, const std::string& bytes) {
    return SaveElectronicJournal(identifier, ansiPath.c_str(), Bytes(bytes),
                                 static_cast<DWORD>(bytes.size()));
}

class JournalFiles : public ::testing::Test {
  protected:
    testsupport::TempDir dir_;
};

TEST_F(JournalFiles, InsideAFolderTheFileIsNamedAfterTheSession) {
    const std::string bytes("line one\r\nzero \0 inside\r\n", 25);
    EXPECT_TRUE(Save(57, dir_.path(), bytes));
    EXPECT_TRUE(Save(4294967295U, dir_.path() + "/", "last"));
    EXPECT_TRUE(Save(3, dir_.path() + "\\", "third"));
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.file("00000057.txt")), bytes);
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.file("4294967295.txt")), "last");
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.file("00000003.txt")), "third");
    // Nothing but the three files: no temporary file stays behind.
    EXPECT_EQ(Names(dir_.path()).size(), 3u);
}

TEST_F(JournalFiles, AnyOtherPathIsTheFileItselfAndIsReplacedWhole) {
    const std::string file = dir_.file("journal.bin");
    testsupport::WriteFileBytes(file, std::string(4096, 'o'));
    EXPECT_TRUE(Save(1, file, "new"));
    EXPECT_EQ(testsupport::ReadFileBytes(file), "new");
    EXPECT_TRUE(Save(1, file, ""));
    ASSERT_TRUE(testsupport::FileExists(file));
    EXPECT_EQ(testsupport::ReadFileBytes(file), "");
    EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"journal.bin"});
}

TEST_F(JournalFiles, BackslashesSeparateFoldersToo) {
    ASSERT_EQ(mkdir(dir_.file("day").c_str(), 0755), 0);
    EXPECT_TRUE(Save(9, dir_.path() + "\\day", "x"));
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.file("day/00000009.txt")), "x");
}

TEST_F(JournalFiles, ACyrillicFolderNameIsAnAnsiText) {
    const std::string folder = dir_.file("Журнал");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    EXPECT_TRUE(Save(12, Cp1251(folder), "bytes"));
    EXPECT_EQ(testsupport::ReadFileBytes(folder + "/00000012.txt"), "bytes");
}

TEST_F(JournalFiles, WhatCannotBeWrittenLeavesNothing) {
    EXPECT_FALSE(Save(1, "", "x"));
    EXPECT_FALSE(SaveElectronicJournal(1, nullptr, Bytes("x"), 1));
    EXPECT_FALSE(SaveElectronicJournal(1, dir_.path().c_str(), nullptr, 5));
    // A folder that is not there: neither the file nor a temporary one appears.
    EXPECT_FALSE(Save(1, dir_.file("missing/") + "journal.txt", "x"));
    // A path longer than the writer holds is refused, not cut to another name.
    const std::string longName = dir_.path() + "/" + std::string(kJournalPathCapacity, 'n');
    EXPECT_FALSE(Save(1, longName, "x"));
    // A file in the way of the rename target's folder.
    testsupport::WriteFileBytes(dir_.file("plain"), "p");
    EXPECT_FALSE(Save(1, dir_.file("plain/inside.txt"), "x"));
    EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"plain"});
    EXPECT_EQ(testsupport::ReadFileBytes(dir_.file("plain")), "p");
}

TEST_F(JournalFiles, ARenameThatFailsLeavesWhatWasThereAndNoTemporaryFile) {
    // The session's name is taken by a folder with something in it: the whole file is written,
    // cannot go into place, and is removed again.
    const std::string taken = dir_.file("00000001.txt");
    ASSERT_EQ(mkdir(taken.c_str(), 0755), 0);
    testsupport::WriteFileBytes(taken + "/inside", "old");
    EXPECT_FALSE(Save(1, dir_.path(), "new"));
    EXPECT_EQ(testsupport::ReadFileBytes(taken + "/inside"), "old");
    EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"00000001.txt"});
}

}  // namespace
