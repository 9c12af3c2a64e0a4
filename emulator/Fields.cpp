#include "Fields.h"

#include "Fiscal.h"

namespace emu {

bool ParseNumber(const std::string& text, uint32_t max, uint32_t& value) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    uint64_t parsed = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        parsed = parsed * 10 + static_cast<uint64_t>(c - '0');
    }
    if (parsed > max) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

bool IsDocumentText(const std::string& text, size_t maxLength) {
    if (text.size() > maxLength) {
        return false;
    }
    return IsTextWithLines(text, maxLength);
}

bool ParseOptionalNumber(const Request& request, size_t index, uint32_t& number) {
    number = 0;
    const std::string& field = request.Field(index);
    return field.empty() || (field.size() <= 4 && ParseNumber(field, 9999, number));
}

bool ParseDate(const std::string& text, PrinterTime& date) {
    return text.size() == 8 && ParseTimeDigits(text + "000000", date);
}

}  // namespace emu
