#include "InfoReplies.h"

#include "Fiscal.h"
#include "X28Frame.h"

namespace emu {

ListReply::ListReply(const std::string& lead, size_t capacity) : text_(lead), capacity_(capacity) {}

void ListReply::Row(const std::string& row) {
    if (full_ || text_.size() + row.size() > capacity_) {
        full_ = true;
        return;
    }
    text_ += row;
}

std::string Entry(const std::vector<std::string>& parts) {
    std::string entry = Join(parts, kGs);
    entry += kFs;
    return entry;
}

char DepartmentLetter(const PrinterState& state, uint32_t number, char kept) {
    const Department* department = FindDepartment(state, number);
    return department ? department->letter : kept;
}

}  // namespace emu
