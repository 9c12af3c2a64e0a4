// Print commands: text lines, fonts, barcodes and QR codes, the cash drawer, logo files.
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

constexpr UINT kLargestFont = 3;  // double width and height
constexpr UINT kFirstBarcodeType = 1;
constexpr UINT kLastBarcodeType = 9;
constexpr UINT kQRCodeBarcodeType = 10;

// What a QR code falls back to when the caller leaves a value out.
constexpr UINT kQRCodeDefaultSize = 3;
constexpr UINT kQRCodeDefaultVersion = 2;
constexpr char kQRCodeDefaultLevel[] = "H";

// "sl" requests stay below 32 bytes; a file name in "fo" likewise.
constexpr DWORD kLogoRequestCapacity = 32;
constexpr DWORD kFileNameLimit = 32;
// Above this a size word goes out in hexadecimal, up to it as '#' and decimal digits.
constexpr DWORD kLogoSizeDecimalMax = 15;

constexpr DWORD kFileChunkMax = 255;
// Text, barcode and QR code requests stay below a command text's capacity.
constexpr DWORD kPrintRequestCapacity = kCommandTextCapacity;
// A font number.
constexpr DWORD kFontRequestCapacity = 8;
// A chunk in hexadecimal: two characters a byte and the terminator.
constexpr DWORD kChunkRequestCapacity = 2 * kFileChunkMax + 1;

using fiscal::IsEmpty;

LPCSTR LogoKindName(UINT kind) {
    static const char* const kNames[] = {"EPSON", "EPSON", "BMP", "FISCAL"};
    return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "EPSON";
}

}  // namespace

int CBrontal::PrintTextLine(LPCSTR text) {
    char request[kPrintRequestCapacity];
    if (IsEmpty(text) || AppendText(request, sizeof request, 0, text) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "pt", request);
}

int CBrontal::SetPrintFont(UINT font) {
    if (font > kLargestFont) {
        return kBrontalBadArguments;
    }
    char request[kFontRequestCapacity];
    AppendUnsigned(request, sizeof request, 0, font);
    return fiscal::Run(*this, "pf", request);
}

int CBrontal::PrintBarcode(UINT type, LPCSTR data) {
    if (type == kQRCodeBarcodeType) {
        return PrintQRCode(kQRCodeDefaultSize, kQRCodeDefaultLevel, kQRCodeDefaultVersion, data);
    }
    if (type < kFirstBarcodeType || type > kLastBarcodeType || IsEmpty(data)) {
        return kBrontalBadArguments;
    }
    char request[kPrintRequestCapacity];
    AppendUnsigned(request, sizeof request, 0, type);
    if (AppendText(request, sizeof request, kFieldSeparator, data) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "pb", request);
}

int CBrontal::PrintQRCode(UINT size, LPCSTR level, UINT version, LPCSTR data) {
    if (IsEmpty(data)) {
        return kBrontalBadArguments;
    }
    char request[kPrintRequestCapacity];
    AppendText(request, sizeof request, 0, "QRCODE");
    AppendUnsigned(request, sizeof request, kPartSeparator, size != 0 ? size : kQRCodeDefaultSize);
    if (AppendText(request, sizeof request, kPartSeparator,
                   IsEmpty(level) ? kQRCodeDefaultLevel : level) == 0 ||
        AppendUnsigned(request, sizeof request, kPartSeparator,
                       version != 0 ? version : kQRCodeDefaultVersion) == 0 ||
        AppendText(request, sizeof request, kFieldSeparator, data) == 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "pb", request);
}

int CBrontal::OpenCashDrawer() {
    return fiscal::Run(*this, "ho", "");
}

int CBrontal::SelectLogo(UINT kind, LPCSTR name, DWORD size) {
    if (IsEmpty(name)) {
        return 0;
    }
    char request[kLogoRequestCapacity];
    if (AppendText(request, sizeof request, 0, name) == 0 ||
        AppendText(request, sizeof request, kFieldSeparator, LogoKindName(kind)) == 0) {
        return kBrontalBadArguments;
    }
    if (size > kLogoSizeDecimalMax) {
        if (AppendUnsigned(request, sizeof request, kPartSeparator, size, "%X") == 0) {
            return kBrontalBadArguments;
        }
    } else if (size != 0) {
        if (AppendUnsigned(request, sizeof request, kPartSeparator, size, "#%u") == 0) {
            return kBrontalBadArguments;
        }
    }
    return fiscal::Run(*this, "sl", request);
}

int CBrontal::OpenFileUpload(LPCSTR name) {
    char request[kFileNameLimit] = "";
    // The printer keeps short names only; a longer one opens the file under its default name.
    if (!IsEmpty(name)) {
        AppendText(request, sizeof request, 0, name);
    }
    return fiscal::Run(*this, "fo", request);
}

int CBrontal::WriteFileChunk(const BYTE* data, DWORD count) {
    if (!data || count == 0 || count > kFileChunkMax) {
        return kBrontalBadArguments;
    }
    char request[kChunkRequestCapacity];
    if (BytesToHex(data, count, request, sizeof request) < 0) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "fw", request);
}

int CBrontal::CloseFileUpload() {
    return fiscal::Run(*this, "fc", "");
}

int CBrontal::UploadFileData(const BYTE* data, DWORD length, ProgressCallback progress,
                             LPVOID context) {
    if (!data && length > 0) {
        return kBrontalBadArguments;
    }
    DWORD sent = 0;
    while (sent < length) {
        const DWORD chunk = length - sent < kFileChunkMax ? length - sent : kFileChunkMax;
        const int result = WriteFileChunk(data + sent, chunk);
        if (result != 0) {
            return result;
        }
        sent += chunk;
        if (progress) {
            progress(context, nullptr, sent);
        }
    }
    return 0;
}
