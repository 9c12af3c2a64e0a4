// A regular file (or another non-terminal file) behind a handle.
#pragma once

#include "handles_io.h"

#include <cstdint>

namespace brontal::file {

class FileObject final : public kernel::IoObject {
  public:
    FileObject(int fd, bool canRead, bool canWrite, std::uint64_t shareToken);
    ~FileObject() override;

    DWORD Read(void* buffer, DWORD size, DWORD* done) override;
    DWORD Write(const void* data, DWORD size, DWORD* done) override;
    DWORD Flush() override;

    int Fd() const { return fd_; }
    bool CanWrite() const { return canWrite_; }

  private:
    const int fd_;
    const bool canRead_;
    const bool canWrite_;
    const std::uint64_t shareToken_;
};

// The file behind a handle; nullptr with *error set to ERROR_INVALID_HANDLE, or to
// ERROR_INVALID_FUNCTION for a serial port, which has no file pointer or size.
std::shared_ptr<FileObject> LookupFile(HANDLE handle, DWORD* error);

}  // namespace brontal::file
