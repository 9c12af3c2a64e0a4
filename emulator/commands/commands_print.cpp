// Printing extras: the font of free text, free text lines, barcodes and QR codes, and the cash
// drawer. Text goes into the open document (and so into the day's journal); a barcode asked for
// outside a document prints on the paper alone.
#include <limits>

#include "Commands.h"
#include "Fields.h"
#include "Fiscal.h"
#include "X28Frame.h"

namespace emu {

namespace {

constexpr uint32_t kFontDoubleWidth = 2;  // fonts 2 and 3 take two columns a character
constexpr uint32_t kMaxBarcodeType = 9;
constexpr size_t kMaxBarcodeData = 255;
constexpr uint32_t kMaxQrSize = 16;
constexpr uint32_t kMaxQrVersion = 40;
// What the rest of a request frame leaves for a text: "pt" and FS take three bytes.
constexpr size_t kMaxPrintText = kMaxRequestPayload - 3;

// The text's lines in the font: a double-width character takes two columns, which the paper
// shows as the character and a space, so such lines hold half as many characters.
Printout FontLines(const PrinterState& state, std::string text, uint32_t font) {
    Printout out = NewPrintout(state);
    const bool wide = font >= kFontDoubleWidth;
    const size_t perLine = wide ? (out.width() + 1) / 2 : out.width();
    // A text that ends with its line feed ends its last line; it does not start another.
    if (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    for (std::string line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        size_t at = 0;
        do {
            const std::string piece = line.substr(at, perLine);
            std::string shown;
            for (size_t i = 0; i < piece.size(); ++i) {
                if (wide && i > 0) {
                    shown += ' ';
                }
                shown += piece[i];
            }
            out.Text(shown);
            at += perLine;
        } while (at < line.size());
    }
    return out;
}

bool IsQrLevel(const std::string& level) {
    return level == "L" || level == "M" || level == "Q" || level == "H";
}

// The title of the block a "pb" request prints, or kErrBadParameter.
uint8_t BarcodeTitle(const Request& request, std::string& title) {
    const std::vector<std::string> parts = request.Parts(0);
    const std::string& data = request.Field(1);
    if (request.FieldCount() != 2 || data.empty()) {
        return kErrBadParameter;
    }
    if (parts[0] == "QRCODE") {
        uint32_t size = 0;
        uint32_t version = 0;
        if (parts.size() != 4 || !ParseNumber(parts[1], kMaxQrSize, size) || size == 0 ||
            !IsQrLevel(parts[2]) || !ParseNumber(parts[3], kMaxQrVersion, version) ||
            version == 0 || !IsPrintableText(data, kMaxRequestPayload)) {
            return kErrBadParameter;
        }
        title = "QR-КОД РАЗМЕР " + parts[1] + " УРОВЕНЬ " + parts[2] + " ВЕРСИЯ " + parts[3];
        return kErrNone;
    }
    uint32_t type = 0;
    if (parts.size() != 1 || !ParseNumber(parts[0], kMaxBarcodeType, type) || type == 0 ||
        !IsPrintableText(data, kMaxBarcodeData)) {
        return kErrBadParameter;
    }
    title = "ШТРИХ-КОД ТИП " + std::to_string(type);
    return kErrNone;
}

}  // namespace

// "pf": font number 0 to 3, for the lines "pt" prints until the document ends.
CommandResult CmdSetFont(CommandContext& context) {
    const Request& request = context.request;
    CommandResult result;
    uint32_t font = 0;
    if (request.FieldCount() != 1 || !ParseNumber(request.Field(0), kMaxPrintFont, font)) {
        result.error = kErrBadParameter;
        return result;
    }
    context.state.font = font;
    return result;
}

// "pt": text: free lines in the open document, in the font "pf" chose.
CommandResult CmdPrintText(CommandContext& context) {
    PrinterState& state = context.state;
    const Request& request = context.request;
    CommandResult result;
    const std::string& text = request.Field(0);
    if (request.FieldCount() != 1 || text.empty() || !IsDocumentText(text, kMaxPrintText)) {
        result.error = kErrBadParameter;
        return result;
    }
    if (!CurrentReceipt(state)) {
        result.error = kErrWrongOrder;
        return result;
    }
    result.error = PrintFreeLines(state, context.paper, FontLines(state, text, state.font), false);
    return result;
}

// "pb": type FS data, or QRCODE GS size GS level GS version FS data. The paper shows a marked
// block with what the code says and how it was asked for.
CommandResult CmdPrintBarcode(CommandContext& context) {
    PrinterState& state = context.state;
    CommandResult result;
    std::string title;
    result.error = BarcodeTitle(context.request, title);
    if (result.error != kErrNone) {
        return result;
    }
    Printout out = NewPrintout(state);
    out.Rule('#').Center(title).Text(context.request.Field(1)).Rule('#');
    if (CurrentReceipt(state)) {
        result.error = PrintFreeLines(state, context.paper, out, false);
    } else {
        PrintOnPaper(context.paper, out);
    }
    return result;
}

// "ho": the cash drawer opens.
CommandResult CmdOpenDrawer(CommandContext& context) {
    CommandResult result;
    if (context.request.FieldCount() != 0) {
        result.error = kErrBadParameter;
        return result;
    }
    uint32_t& openings = context.state.drawerOpenings;
    if (openings < std::numeric_limits<uint32_t>::max()) {
        ++openings;
    }
    return result;
}

}  // namespace emu
