// What the command layer tests share: the names of the test helpers they use, and the settings
// they put into their own registry.
#pragma once

#include <windows.h>

#include <string>

#include "ScriptedPrinter.h"
#include "TestSupport.h"
#include "Wire.h"

namespace prottest {

using testsupport::Frame;
using testsupport::PeerRequest;
using testsupport::RawPayload;
using testsupport::Reply;
using testsupport::ReplyPayload;
using testsupport::ReplyWith;
using testsupport::ScriptedPrinter;
using testsupport::Silence;
using testsupport::SystemTime;

inline const std::string& FS = testsupport::kFs;
inline const std::string& GS = testsupport::kGs;

// Writes "CmdRetryCount" into the test's registry and loads the settings record from it.
bool UseRetryCount(DWORD attempts);

}  // namespace prottest
