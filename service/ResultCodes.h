// The driver's result codes as the service explains them to programs and people who do not read
// the driver's Russian descriptions, and what they mean for the service: whether the link failed
// (the printer may have done the command without the driver knowing), and whether it timed out.
#pragma once

#include <string>

namespace brontald {

// An English explanation of `code`; a general one for an undocumented code of a known group.
std::string ExplainResultCode(long code);

// The link to the printer failed: the X28 packet layer (-8101 to -8199), no port (-9003), no
// connection (-9004), a reply that could not be read (-9005).
bool IsLinkFailure(long code);
// No reply in time: -8104 and -8108.
bool IsTimeout(long code);

}  // namespace brontald
