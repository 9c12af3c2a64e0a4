// Share modes between the handles of this process, with the Windows rule: an open is refused when
// it needs an access that an open handle does not share, or denies one that a handle already has.
// Handles of other processes are not seen; opens never block.
#pragma once

#include <windows.h>

#include <cstdint>

#include <sys/types.h>

namespace brontal::file {

struct ShareRequest {
    dev_t device;
    ino_t inode;
    bool read;
    bool write;
    DWORD shareMode;
};

// A token for ReleaseShare, or 0 when an open handle conflicts (ERROR_SHARING_VIOLATION).
std::uint64_t ClaimShare(const ShareRequest& request);
void ReleaseShare(std::uint64_t token);

}  // namespace brontal::file
