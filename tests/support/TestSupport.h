// Helpers shared by the test programs: temporary folders, a relocated registry, files and texts.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

// A fresh folder under $TMPDIR, removed with everything in it when the object goes.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Points BRONTAL_REGISTRY_DIR at a fresh folder for the lifetime of the object and restores the
// previous value afterwards, so that every test starts with empty hives.
class ScopedRegistryDir {
  public:
    ScopedRegistryDir();
    ~ScopedRegistryDir();
    ScopedRegistryDir(const ScopedRegistryDir&) = delete;
    ScopedRegistryDir& operator=(const ScopedRegistryDir&) = delete;

    const std::string& path() const { return dir_.path(); }

  private:
    TempDir dir_;
    bool hadPrevious_ = false;
    std::string previous_;
};

// The process's current folder moved to a fresh folder for the object's lifetime: the files a
// program writes beside itself (traces, journals) land there.
class ScopedWorkDir {
  public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir&) = delete;
    ScopedWorkDir& operator=(const ScopedWorkDir&) = delete;

    const std::string& path() const { return dir_.path(); }
    std::string file(const std::string& name) const { return dir_.file(name); }

  private:
    TempDir dir_;
    std::string previous_;
};

// How often `part` stands in `text`, overlapping ones counted.
int CountOf(const std::string& text, const std::string& part);

// Whole file as bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

}  // namespace testsupport

namespace testsupport {

// Conversions done with iconv, independently of the platform's code page tables, so that tests
// can write expected Russian texts readably in UTF-8 and compare them with Windows-1251 bytes.
std::string Cp1251(const std::string& utf8);
std::string Utf8(const std::string& cp1251);

}  // namespace testsupport

namespace testsupport {

// A date and time as SYSTEMTIME; the fields not given are zero.
SYSTEMTIME SystemTime(WORD year, WORD month, WORD day, WORD hour = 0, WORD minute = 0,
                      WORD second = 0);

}  // namespace testsupport
