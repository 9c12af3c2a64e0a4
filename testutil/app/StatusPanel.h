// The status panel's texts: which driver property gives each line and when it shows.
#pragma once

#include "DrvMembers.h"

struct StatusLine {
    const DrvMember* member;
    bool whenSet;      // shown when the property is nonzero; false: when it is 0
    const char* text;  // Windows-1251
};

constexpr int kStatusLineCount = 15;
constexpr int kBlockingLineCount = 10;
extern const StatusLine kStatusLines[kStatusLineCount];  // the first list; the last is "blocked"
extern const StatusLine kBlockingLines[kBlockingLineCount];  // the second list
