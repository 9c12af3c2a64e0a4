// Print commands: text lines, fonts, barcodes and QR codes, the cash drawer, logo files.
#include "Brontal.h"
#include "CommandRequest.h"

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

LPCSTR LogoKindName(UINT kind) {
    static const char* const kNames[] = {"EPSON", "EPSON", "BMP", "FISCAL"};
    return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "EPSON";
}

bool IsEmpty(LPCSTR text) {
    return !text || text[0] == '\0';
}

}  // namespace

int CBrontal::PrintTextLine(LPCSTR text) {
    char fields[kRequestFieldCapacity];
    if (IsEmpty(text) || AppendText(fields, sizeof fields, 0, text) == 0) {
        return kBrontalBadArguments;
    }
    return RunCommand(*this, "pt", fields, sizeof fields);
}

int CBrontal::SetPrintFont(UINT font) {
    if (font > kLargestFont) {
        return kBrontalBadArguments;
    }
    char fields[kRequestFieldCapacity];
    AppendUnsigned(fields, sizeof fields, 0, font);
    return RunCommand(*this, "pf", fields, sizeof fields);
}

int CBrontal::PrintBarcode(UINT type, LPCSTR data) {
    if (type == kQRCodeBarcodeType) {
        return PrintQRCode(kQRCodeDefaultSize, kQRCodeDefaultLevel, kQRCodeDefaultVersion, data);
    }
    if (type < kFirstBarcodeType || type > kLastBarcodeType || IsEmpty(data)) {
        return kBrontalBadArguments;
    }
    char fields[kRequestFieldCapacity];
    AppendUnsigned(fields, sizeof fields, 0, type);
    if (AppendText(fields, sizeof fields, kFieldSeparator, data) == 0) {
        return kBrontalBadArguments;
    }
    return RunCommand(*this, "pb", fields, sizeof fields);
}

int CBrontal::PrintQRCode(UINT size, LPCSTR level, UINT version, LPCSTR data) {
    if (IsEmpty(data)) {
        return kBrontalBadArguments;
    }
    char fields[kRequestFieldCapacity];
    AppendText(fields, sizeof fields, 0, "QRCODE");
    AppendUnsigned(fields, sizeof fields, kPartSeparator, size != 0 ? size : kQRCodeDefaultSize);
    if (AppendText(fields, sizeof fields, kPartSeparator,
                   IsEmpty(level) ? kQRCodeDefaultLevel : level) == 0 ||
        AppendUnsigned(fields, sizeof fields, kPartSeparator,
                       version != 0 ? version : kQRCodeDefaultVersion) == 0 ||
        AppendText(fields, sizeof fields, kFieldSeparator, data) == 0) {
        return kBrontalBadArguments;
    }
    return RunCommand(*this, "pb", fields, sizeof fields);
}

int CBrontal::OpenCashDrawer() {
    char fields[kRequestFieldCapacity] = "";
    return RunCommand(*this, "ho", fields, sizeof fields);
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
    char fields[kRequestFieldCapacity];
    AppendText(fields, sizeof fields, 0, request);
    return RunCommand(*this, "sl", fields, sizeof fields);
}

int CBrontal::OpenFileUpload(LPCSTR name) {
    char fields[kRequestFieldCapacity] = "";
    // The printer keeps short names only; a longer one opens the file under its default name.
    if (!IsEmpty(name)) {
        AppendText(fields, kFileNameLimit, 0, name);
    }
    return RunCommand(*this, "fo", fields, sizeof fields);
}

int CBrontal::WriteFileChunk(const BYTE* data, DWORD count) {
    if (!data || count == 0 || count > kFileChunkMax) {
        return kBrontalBadArguments;
    }
    char fields[kRequestFieldCapacity];
    if (BytesToHex(data, count, fields, sizeof fields) < 0) {
        return kBrontalBadArguments;
    }
    return RunCommand(*this, "fw", fields, sizeof fields);
}

int CBrontal::CloseFileUpload() {
    char fields[kRequestFieldCapacity] = "";
    return RunCommand(*this, "fc", fields, sizeof fields);
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
