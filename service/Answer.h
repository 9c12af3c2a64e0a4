// An HTTP answer as the operations give it, before it is stored and sent.
#pragma once

#include <string>

#include "JsonValues.h"

namespace brontald {

struct Answer {
    int status = 200;
    Json body = Json::object();
    // A body that is not JSON (the journal as text, the status page).
    std::string text;
    std::string contentType;
};

// {"error": {"code": ..., "message": ...}} with the status.
Answer ErrorAnswer(int status, const std::string& code, const std::string& message);

}  // namespace brontald
