// Building the replies of the information requests: rows of a list as long as the frame has
// room for them, and the keys a list shows (the table's entries first, then any others the
// registers hold).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "PrinterState.h"
#include "Request.h"

namespace emu {

// What the driver's reply buffers take: 512 bytes, 64 for the cashier's lists, the terminator
// included.
constexpr size_t kMaxListData = 511;
constexpr size_t kMaxShortListData = 63;

// The data of a list reply; a row that would not fit in the driver's buffer is left out, as are
// all after it (the driver reads at most 16 rows anyway).
class ListReply {
  public:
    explicit ListReply(const std::string& lead = std::string(), size_t capacity = kMaxListData);
    // `row` is one entry, its parts already joined and ended as the reply lays them out.
    void Row(const std::string& row);
    std::vector<std::string> Fields() const { return {text_}; }

  private:
    std::string text_;
    size_t capacity_;
    bool full_ = false;
};

// Parts joined by GS and ended by FS: one entry of a list.
std::string Entry(const std::vector<std::string>& parts);

// Department numbers: the table's, and those the registers name.
template <typename Value>
std::vector<uint32_t> DepartmentKeys(const PrinterState& state,
                                     const std::map<uint32_t, Value>& used) {
    std::set<uint32_t> keys;
    for (const Department& department : state.departments) {
        keys.insert(department.number);
    }
    for (const auto& entry : used) {
        keys.insert(entry.first);
    }
    return {keys.begin(), keys.end()};
}

template <typename Value>
std::vector<uint32_t> FacilityKeys(const PrinterState& state,
                                   const std::map<uint32_t, Value>& used) {
    std::set<uint32_t> keys;
    for (const PaymentFacility& facility : state.facilities) {
        keys.insert(facility.number);
    }
    for (const auto& entry : used) {
        keys.insert(entry.first);
    }
    return {keys.begin(), keys.end()};
}

// Currency codes in table order, then codes the registers name that the table lost.
template <typename Value>
std::vector<std::string> CurrencyKeys(const PrinterState& state,
                                      const std::map<std::string, Value>& used) {
    std::vector<std::string> keys;
    for (const Currency& currency : state.currencies) {
        keys.push_back(currency.code);
    }
    for (const auto& entry : used) {
        bool known = false;
        for (const std::string& key : keys) {
            known = known || key == entry.first;
        }
        if (!known) {
            keys.push_back(entry.first);
        }
    }
    return keys;
}

template <typename Value>
Value Lookup(const std::map<uint32_t, Value>& values, uint32_t key) {
    const auto it = values.find(key);
    return it == values.end() ? Value() : it->second;
}

template <typename Value>
Value Lookup(const std::map<std::string, Value>& values, const std::string& key) {
    const auto it = values.find(key);
    return it == values.end() ? Value() : it->second;
}

// The tax letter a department row shows: the table's, or the one the registers kept.
char DepartmentLetter(const PrinterState& state, uint32_t number, char kept);

}  // namespace emu
