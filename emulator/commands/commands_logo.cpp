// Logo files: uploaded as "fo" (open, with the file's name), "fw" blocks of hexadecimal bytes and
// "fc" (close: the file is kept under its name, replacing one of the same name), and selected
// with "sl" to head every fiscal document from then on. The printer keeps the bytes as they came
// and does not look inside the picture.
#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"

namespace emu {

namespace {

constexpr size_t kMaxChunkBytes = 255;
constexpr uint32_t kMaxShortSize = 15;  // sizes up to 15 are written "#n", larger ones in hex
constexpr uint32_t kMaxLogoSize = 0xFFFF;

// "#n" with n from 1 to 15, or the hexadecimal of a value from 16 up.
bool ParseLogoSize(const std::string& text, uint32_t& size) {
    if (!text.empty() && text[0] == '#') {
        return ParseNumber(text.substr(1), kMaxShortSize, size) && size > 0;
    }
    return ParseHex(text, size) && size > kMaxShortSize && size <= kMaxLogoSize;
}

}  // namespace

Printout LogoPrintout(const PrinterState& state) {
    Printout out = NewPrintout(state);
    const LogoSelection& logo = state.logo;
    const auto file = state.logos.find(logo.name);
    if (logo.name.empty() || file == state.logos.end()) {
        return out;
    }
    std::string line = "[ЛОГОТИП " + logo.name + " " + logo.kind;
    if (logo.size != 0) {
        line += " " + std::to_string(logo.size);
    }
    line += ", " + std::to_string(file->second.size()) + " Б]";
    return out.Center(line);
}

// "fo" [FS name]: an upload starts; one left unfinished before is dropped.
CommandResult CmdOpenFile(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    const std::string& name = request.Field(0);
    if (request.FieldCount() > 1 || !IsPrintableText(name, kMaxLogoName)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (state.logos.count(name) == 0 && state.logos.size() >= kMaxLogoFiles) {
        result.error = kErrOverflow;  // no room for another file
        return result;
    }
    state.upload = LogoUpload{name, std::string()};
    return result;
}

// "fw" FS 1 to 255 bytes in hexadecimal, added to the file being uploaded.
CommandResult CmdWriteFile(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    std::string bytes;
    if (request.FieldCount() != 1 || !ParseHexBytes(request.Field(0), bytes) || bytes.empty() ||
        bytes.size() > kMaxChunkBytes) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!state.upload) {
        result.error = kErrWrongOrder;
        return result;
    }
    if (state.upload->data.size() + bytes.size() > kMaxLogoBytes) {
        result.error = kErrOverflow;
        return result;
    }
    state.upload->data += bytes;
    return result;
}

// "fc": the uploaded file is kept under its name.
CommandResult CmdCloseFile(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    if (context.request.FieldCount() != 0) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!state.upload) {
        result.error = kErrWrongOrder;
        return result;
    }
    state.logos[state.upload->name] = std::move(state.upload->data);
    state.upload.reset();
    return result;
}

// "sl" FS name FS kind [GS size]: the logo of the fiscal documents from now on.
CommandResult CmdSelectLogo(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    const std::vector<std::string> kind = request.Parts(1);
    LogoSelection logo;
    logo.name = request.Field(0);
    logo.kind = kind[0];
    if (request.FieldCount() != 2 || logo.name.empty() || !IsLogoKind(logo.kind) ||
        kind.size() > 2 || (kind.size() == 2 && !ParseLogoSize(kind[1], logo.size))) {
        result.error = kErrBadParameter;
        return result;
    }
    if (state.logos.count(logo.name) == 0) {
        result.error = kErrNoDocument;  // no such file in the printer
        return result;
    }
    state.logo = logo;
    return result;
}

}  // namespace emu
