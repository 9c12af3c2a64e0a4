// The printing extras in the state file: the font, the drawer's count, the logo files (their
// bytes in hexadecimal), an upload still open, the selected logo, and the control unit's
// registration.
#include <limits>

#include "Fields.h"
#include "PrinterState.h"
#include "StateRecords.h"
#include "StateText.h"

namespace emu {

namespace {

constexpr int64_t kU32 = std::numeric_limits<uint32_t>::max();

std::string SaveLogo(const std::string& name, const std::string& data) {
    return RecordWriter().Text(name).Text(HexBytes(data)).text();
}

bool LoadLogo(const std::string& text, std::string& name, std::string& data) {
    RecordReader in(text);
    std::string hex;
    return in.Text(name) && in.Text(hex) && in.AtEnd() && ParseHexBytes(hex, data);
}

bool LoadNumber(const StateReader& in, const char* key, int64_t high, uint32_t& value) {
    if (!in.Has(key)) {
        return true;
    }
    int64_t parsed = 0;
    if (!in.Int(key, parsed) || parsed < 0 || parsed > high) {
        return false;
    }
    value = static_cast<uint32_t>(parsed);
    return true;
}

}  // namespace

void SavePrinting(const PrinterState& state, StateWriter& out) {
    out.Int("font", state.font);
    out.Int("drawer-openings", state.drawerOpenings);
    out.Int("logos", static_cast<int64_t>(state.logos.size()));
    size_t i = 0;
    for (const auto& [name, data] : state.logos) {
        out.Text("logo." + std::to_string(i++), SaveLogo(name, data));
    }
    out.Text("logo-upload",
             state.upload ? SaveLogo(state.upload->name, state.upload->data) : std::string());
    const LogoSelection& logo = state.logo;
    out.Text("logo-selected",
             logo.name.empty()
                 ? std::string()
                 : RecordWriter().Text(logo.name).Text(logo.kind).Int(logo.size).text());
    out.Text("unit-password", state.unitPassword);
    out.Text("unit-printer-name", state.unitPrinterName);
}

bool LoadPrinting(const StateReader& in, PrinterState& next) {
    if (!LoadNumber(in, "font", kMaxPrintFont, next.font) ||
        !LoadNumber(in, "drawer-openings", kU32, next.drawerOpenings)) {
        return false;
    }
    std::string text;
    if (in.Has("logos")) {
        int64_t count = 0;
        if (!in.Int("logos", count) || count < 0 || count > static_cast<int64_t>(kMaxLogoFiles)) {
            return false;
        }
        std::map<std::string, std::string> logos;
        for (int64_t i = 0; i < count; ++i) {
            std::string name;
            std::string data;
            if (!in.Text("logo." + std::to_string(i), text) || !LoadLogo(text, name, data) ||
                !logos.emplace(name, data).second) {
                return false;
            }
        }
        next.logos = logos;
    }
    if (in.Text("logo-upload", text)) {
        next.upload.reset();
        if (!text.empty()) {
            LogoUpload upload;
            if (!LoadLogo(text, upload.name, upload.data)) {
                return false;
            }
            next.upload = upload;
        }
    }
    if (in.Text("logo-selected", text)) {
        LogoSelection logo;
        if (!text.empty()) {
            RecordReader record(text);
            if (!record.Text(logo.name) || !record.Text(logo.kind) ||
                !record.Number(logo.size, 0, 0xFFFF) || !record.AtEnd() || logo.name.empty()) {
                return false;
            }
        }
        next.logo = logo;
    }
    for (auto [key, value] :
         {std::pair<const char*, std::string*>{"unit-password", &next.unitPassword},
          {"unit-printer-name", &next.unitPrinterName}}) {
        if (in.Has(key) && (!in.Text(key, *value) || !IsPrintableText(*value, kMaxIdentityText))) {
            return false;
        }
    }
    return IsValidLogos(next);
}

}  // namespace emu
