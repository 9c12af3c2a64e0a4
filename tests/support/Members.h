// The driver's members as a client calls them: each one's DISPID and name, generated from the one
// member catalogue the component is built from, so that tests name members and never numbers.
#pragma once

#include <windows.h>

namespace member {

struct Member {
    // A bare DISPID, for the tests of identifiers the catalogue does not have.
    constexpr Member(DISPID id) : dispid(id), name(nullptr) {}  // NOLINT: implicit on purpose
    constexpr Member(DISPID id, const char* text) : dispid(id), name(text) {}
    constexpr operator DISPID() const { return dispid; }

    DISPID dispid;
    const char* name;  // nullptr for a bare DISPID
};

#define DRV_METHOD(dispid, name) inline constexpr Member name{dispid, #name};
#define DRV_PROPERTY(dispid, name, ...) inline constexpr Member name{dispid, #name};
#include "../../driver/DrvKeltorMembers.def"

}  // namespace member
