// Kernel objects that carry bytes: regular files and serial ports behind ReadFile, WriteFile
// and FlushFileBuffers.
#pragma once

#include "handles_table.h"

namespace brontal::kernel {

class IoObject : public KernelObject {
  public:
    using KernelObject::KernelObject;

    // Each answers ERROR_SUCCESS or the Windows error code; *done counts what was moved either way.
    virtual DWORD Read(void* buffer, DWORD size, DWORD* done) = 0;
    virtual DWORD Write(const void* data, DWORD size, DWORD* done) = 0;
    virtual DWORD Flush() = 0;
};

// The byte stream behind a file or serial handle; nullptr for other handles.
std::shared_ptr<IoObject> LookupIo(HANDLE handle);

}  // namespace brontal::kernel
