// What a printer state may hold, and the few state changes that several commands share.
#include <cctype>
#include <set>

#include "Fields.h"
#include "PrinterState.h"
#include "Request.h"
#include "X28Frame.h"

namespace emu {

namespace {

bool IsBinaryDigits(const std::string& text) {
    if (text.empty() || text.size() > kMaxSensorDigits) {
        return false;
    }
    for (char c : text) {
        if (c != '0' && c != '1') {
            return false;
        }
    }
    return true;
}

std::string Upper(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

}  // namespace

bool IsPrintableText(const std::string& text, size_t maxLength) {
    if (text.size() > maxLength) {
        return false;
    }
    for (char c : text) {
        // Bytes from 0x80 up are Windows-1251 letters; below 0x20 are the framing and
        // separator bytes, which would cut the reply apart.
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return false;
        }
    }
    return true;
}

bool IsValidIdentity(const PrinterIdentity& identity) {
    for (const std::string* text :
         {&identity.countryCode, &identity.serialNumber, &identity.unitRegisterNumber,
          &identity.unitSerialNumber, &identity.modelName, &identity.taxpayerAccountNumber,
          &identity.firmwareMnemonic, &identity.firmwareVersion}) {
        if (!IsPrintableText(*text, kMaxIdentityText)) {
            return false;
        }
    }
    return true;
}

bool IsValidHardware(const HardwareStatus& hardware) {
    return IsBinaryDigits(hardware.sensors) &&
           IsPrintableText(hardware.receipt.name, kMaxIdentityText) &&
           IsPrintableText(hardware.journal.name, kMaxIdentityText) &&
           IsPrintableText(hardware.cutterState, kMaxIdentityText);
}

bool IsValidCurrencies(const std::vector<Currency>& currencies, const std::string& base) {
    if (currencies.empty() || currencies.size() > kMaxCurrencies) {
        return false;
    }
    std::set<uint32_t> numbers;
    std::set<std::string> codes;
    for (const Currency& currency : currencies) {
        if (currency.number > kMaxCurrencyNumber || currency.decimals > kMaxCurrencyDecimals ||
            currency.code.empty() || !IsPrintableText(currency.code, kMaxCurrencyCode) ||
            currency.code.find(' ') != std::string::npos) {
            return false;
        }
        if (!numbers.insert(currency.number).second || !codes.insert(Upper(currency.code)).second) {
            return false;
        }
    }
    return codes.count(Upper(base)) == 1;
}

bool IsValidDepartments(const std::vector<Department>& departments) {
    if (departments.empty() || departments.size() > kMaxDepartments) {
        return false;
    }
    std::set<uint32_t> numbers;
    for (const Department& department : departments) {
        if (department.number > kMaxTableNumber || !numbers.insert(department.number).second ||
            !IsPrintableText(std::string(1, department.letter), 1) ||
            !IsPrintableText(department.name, kMaxTableName)) {
            return false;
        }
    }
    return true;
}

bool IsValidFacilities(const std::vector<PaymentFacility>& facilities) {
    if (facilities.empty() || facilities.size() > kMaxFacilities) {
        return false;
    }
    std::set<uint32_t> numbers;
    for (const PaymentFacility& facility : facilities) {
        if (facility.number > kMaxTableNumber || !numbers.insert(facility.number).second ||
            !IsPrintableText(facility.name, kMaxTableName)) {
            return false;
        }
    }
    return true;
}

bool ReadDepartments(const std::vector<std::vector<std::string>>& entries,
                     std::vector<Department>& table) {
    table.clear();
    for (const std::vector<std::string>& entry : entries) {
        Department department;
        if (entry.size() != 3 || !ParseNumber(entry[0], kMaxTableNumber, department.number) ||
            entry[1].size() != 1) {
            return false;
        }
        department.letter = entry[1][0];
        department.name = entry[2];
        table.push_back(department);
    }
    return IsValidDepartments(table);
}

bool ReadFacilities(const std::vector<std::vector<std::string>>& entries,
                    std::vector<PaymentFacility>& table) {
    table.clear();
    for (const std::vector<std::string>& entry : entries) {
        PaymentFacility facility;
        if (entry.size() != 2 || !ParseNumber(entry[0], kMaxTableNumber, facility.number)) {
            return false;
        }
        facility.name = entry[1];
        table.push_back(facility);
    }
    return IsValidFacilities(table);
}

bool IsTextWithLines(const std::string& text, size_t maxLength) {
    if (text.size() > maxLength) {
        return false;
    }
    for (std::string line : Split(text, '\n')) {
        // Lines may end with CR LF as well as with LF alone.
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!IsPrintableText(line, maxLength)) {
            return false;
        }
    }
    return true;
}

bool IsValidHeaderText(const std::string& text) {
    return IsTextWithLines(text, kMaxHeaderText);
}

bool IsValidJournal(const std::string& journal) {
    return journal.find_first_of(std::string{kStx, kEtx, kFs}) == std::string::npos;
}

bool IsLogoKind(const std::string& kind) {
    return kind == "EPSON" || kind == "BMP" || kind == "FISCAL";
}

bool IsValidLogos(const PrinterState& state) {
    if (state.logos.size() > kMaxLogoFiles) {
        return false;
    }
    for (const auto& [name, data] : state.logos) {
        if (!IsPrintableText(name, kMaxLogoName) || data.size() > kMaxLogoBytes) {
            return false;
        }
    }
    if (state.upload && (!IsPrintableText(state.upload->name, kMaxLogoName) ||
                         state.upload->data.size() > kMaxLogoBytes)) {
        return false;
    }
    const LogoSelection& logo = state.logo;
    if (logo.name.empty()) {
        return logo.kind.empty() && logo.size == 0;
    }
    return state.logos.count(logo.name) != 0 && IsLogoKind(logo.kind) && logo.size <= 0xFFFF;
}

std::vector<Department> DefaultDepartments() {
    return {{1, 'A', "ПРОДУКТЫ"}, {2, 'A', "НАПИТКИ"}, {3, 'B', "ХОЗТОВАРЫ"}, {4, 'C', "УСЛУГИ"}};
}

std::vector<PaymentFacility> DefaultFacilities() {
    return {{1, "КАРТА"}, {2, "СЕРТИФИКАТ"}};
}

std::string DefaultHeader() {
    return "ООО \"ВИРТУАЛЬНЫЙ МАГАЗИН\"\nг. Минск, ул. Тестовая, 1";
}

std::string DefaultFooter() {
    return "СПАСИБО ЗА ПОКУПКУ!";
}

void SettleReceipt(PrinterState& state) {
    if (state.receiptClosing && (state.status & kStatusBlocked) == 0) {
        state.receiptClosing = false;
        state.status =
            static_cast<uint16_t>(state.status & ~(kStatusReceiptOpen | kStatusReadyForTotal));
    }
}

void Block(PrinterState& state, uint16_t reason) {
    state.blocking = static_cast<uint16_t>(state.blocking | reason);
    state.status = static_cast<uint16_t>(state.status | kStatusBlocked);
}

void Unblock(PrinterState& state, uint16_t reason) {
    state.blocking = static_cast<uint16_t>(state.blocking & ~reason);
    if (state.blocking == 0) {
        state.status = static_cast<uint16_t>(state.status & ~kStatusBlocked);
    }
}

}  // namespace emu
