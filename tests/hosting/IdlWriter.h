// The IDL text of the type library, written from the dispatch table.
#pragma once

#include <string>

namespace client {

std::string DrvKeltorIdl();

}  // namespace client
