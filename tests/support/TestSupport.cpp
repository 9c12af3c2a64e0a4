#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>

namespace testsupport {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/brontal-test-XXXXXX";
    if (!mkdtemp(templ.data())) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedRegistryDir::ScopedRegistryDir() {
    if (const char* old = std::getenv("BRONTAL_REGISTRY_DIR")) {
        hadPrevious_ = true;
        previous_ = old;
    }
    setenv("BRONTAL_REGISTRY_DIR", dir_.path().c_str(), 1);
}

ScopedRegistryDir::~ScopedRegistryDir() {
    if (hadPrevious_) {
        setenv("BRONTAL_REGISTRY_DIR", previous_.c_str(), 1);
    } else {
        unsetenv("BRONTAL_REGISTRY_DIR");
    }
}

ScopedWorkDir::ScopedWorkDir() {
    char current[PATH_MAX] = {};
    if (getcwd(current, sizeof current)) {
        previous_ = current;
    }
    EXPECT_EQ(chdir(dir_.path().c_str()), 0) << dir_.path();
}

ScopedWorkDir::~ScopedWorkDir() {
    if (!previous_.empty()) {
        EXPECT_EQ(chdir(previous_.c_str()), 0) << previous_;
    }
}

int CountOf(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(path, ec);
}

}  // namespace testsupport

#include <iconv.h>

namespace testsupport {

namespace {
std::string Convert(const char* to, const char* from, const std::string& in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        throw std::runtime_error("iconv_open failed");
    }
    std::string out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1)) {
        throw std::runtime_error("iconv failed");
    }
    out.resize(out.size() - dstLeft);
    return out;
}
}  // namespace

std::string Cp1251(const std::string& utf8) {
    return Convert("CP1251", "UTF-8", utf8);
}
std::string Utf8(const std::string& cp1251) {
    return Convert("UTF-8", "CP1251", cp1251);
}

}  // namespace testsupport

namespace testsupport {

SYSTEMTIME SystemTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

}  // namespace testsupport
