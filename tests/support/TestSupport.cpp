#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

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
