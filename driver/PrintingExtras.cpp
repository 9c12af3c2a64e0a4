// Printing extras: enlarged text, barcodes and QR codes, and raw command transfer.
#include <new>

#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "ReceiptContext.h"

namespace {

// Fonts of "pf".
constexpr UINT kFontNormal = 0;
constexpr UINT kFontDoubleHeight = 1;
constexpr UINT kFontDoubleWidth = 2;
constexpr UINT kFontDoubleWidthAndHeight = 3;

constexpr WORD kCode128BarcodeType = 9;
// Code 128 data that does not choose its code set itself is sent in code set B.
constexpr char kCode128SetChoice = '{';
constexpr char kCode128SetB[] = "{B";

// A raw command line: the code, FS and the fields as the command layer takes them, and the
// reply's fields that replace them.
constexpr DWORD kRawLineCapacity = kCommandTextCapacity;

// An escape is '<', two letters and '>'.
constexpr size_t kEscapeLength = 4;

struct RawEscape {
    char first;
    char second;
    char byte;
};
constexpr RawEscape kRawEscapes[] = {
    {'F', 'S', kFieldSeparator},
    {'G', 'S', kPartSeparator},
    {'L', 'F', '\n'},
};

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The byte of the escape at `text`, or 0 when none starts there.
char EscapeAt(const AnsiText& text, size_t at) {
    if (at + kEscapeLength > text.size() || text[at] != '<' || text[at + 3] != '>') {
        return 0;
    }
    for (const RawEscape& escape : kRawEscapes) {
        if (UpperAscii(text[at + 1]) == escape.first && UpperAscii(text[at + 2]) == escape.second) {
            return escape.byte;
        }
    }
    return 0;
}

// The escapes of `text` turned into their bytes; false when the result does not fit `capacity`
// with its terminator.
bool UnescapeRawCommand(const AnsiText& text, LPSTR line, DWORD capacity) {
    DWORD length = 0;
    for (size_t at = 0; at < text.size();) {
        if (length + 1 >= capacity) {
            return false;
        }
        if (const char byte = EscapeAt(text, at)) {
            line[length++] = byte;
            at += kEscapeLength;
        } else {
            line[length++] = text[at++];
        }
    }
    line[length] = '\0';
    return true;
}

// The reply with its separators spelled out, so that a client sees where the fields end; line
// feeds stay as they are.
void EscapeRawReply(LPCSTR reply, AnsiText* text) {
    text->clear();
    for (LPCSTR c = reply; *c != '\0'; ++c) {
        if (*c == kFieldSeparator) {
            text->append("<FS>");
        } else if (*c == kPartSeparator) {
            text->append("<GS>");
        } else {
            text->push_back(*c);
        }
    }
}

// A QR code of `text` at error-correction `level`; a size or version the client left at 0 takes
// the printer's default.
HRESULT PrintQRCodeAtLevel(CDrvKeltor& object, LPCSTR name, LPCSTR level, LONG size, LONG version,
                           const AnsiText& text) {
    return RunDeviceMethodRefreshingAfter(object, name, [&](CDeviceFrame& frame) {
        return frame.Layer().PrintQRCode(size > 0 ? static_cast<UINT>(size) : 0, level,
                                         version > 0 ? static_cast<UINT>(version) : 0,
                                         text.c_str());
    });
}

}  // namespace

// ---- enlarged text ----

int CDrvKeltor::PrintEnlargedText(CDeviceFrame& frame, UINT font) {
    CBrontal& layer = frame.Layer();
    if (!(m_statusWord & kStatusReceiptOpen) && BeginDocument(frame, kNonFiscalDocument) != 0) {
        return DriverResultCode();
    }
    // The font is set back even for the next line of the same document.
    if (frame.Store(layer.SetPrintFont(font)) != 0 ||
        frame.Store(layer.PrintTextLine(m_textToPrint.c_str())) != 0) {
        return DriverResultCode();
    }
    return RefreshTotalsAfter(frame, layer.SetPrintFont(kFontNormal));
}

STDMETHODIMP CDrvKeltor::PrintTextDoubleWidth() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintTextDoubleWidth", [&](CDeviceFrame& frame) {
        return PrintEnlargedText(frame, kFontDoubleWidth);
    });
}

STDMETHODIMP CDrvKeltor::PrintTextDoubleHeight() {
    return RunDeviceMethod(*this, "CDrvKeltor::PrintTextDoubleHeight", [&](CDeviceFrame& frame) {
        return PrintEnlargedText(frame, kFontDoubleHeight);
    });
}

STDMETHODIMP CDrvKeltor::PrintTextDoubleWidthAndHeight() {
    return RunDeviceMethod(
        *this, "CDrvKeltor::PrintTextDoubleWidthAndHeight",
        [&](CDeviceFrame& frame) { return PrintEnlargedText(frame, kFontDoubleWidthAndHeight); });
}

// ---- barcodes ----

STDMETHODIMP CDrvKeltor::PrintBarcode() {
    return RunDeviceMethodRefreshingAfter(
        *this, "CDrvKeltor::PrintBarcode", [&](CDeviceFrame& frame) {
            CBrontal& layer = frame.Layer();
            if (m_barcodeType != kCode128BarcodeType ||
                (!m_barcodeToPrint.empty() && m_barcodeToPrint[0] == kCode128SetChoice)) {
                return layer.PrintBarcode(m_barcodeType, m_barcodeToPrint.c_str());
            }
            AnsiText text;
            try {
                text = kCode128SetB + m_barcodeToPrint;
            } catch (const std::bad_alloc&) {
                return static_cast<int>(kBrontalBadArguments);
            }
            return layer.PrintBarcode(m_barcodeType, text.c_str());
        });
}

STDMETHODIMP CDrvKeltor::PrintQRCodeH() {
    return PrintQRCodeAtLevel(*this, "CDrvKeltor::PrintQRCodeH", "H", m_qrCodeSize, m_qrCodeVersion,
                              m_barcodeToPrint);
}

STDMETHODIMP CDrvKeltor::PrintQRCodeQ() {
    return PrintQRCodeAtLevel(*this, "CDrvKeltor::PrintQRCodeQ", "Q", m_qrCodeSize, m_qrCodeVersion,
                              m_barcodeToPrint);
}

STDMETHODIMP CDrvKeltor::PrintQRCodeM() {
    return PrintQRCodeAtLevel(*this, "CDrvKeltor::PrintQRCodeM", "M", m_qrCodeSize, m_qrCodeVersion,
                              m_barcodeToPrint);
}

STDMETHODIMP CDrvKeltor::PrintQRCodeL() {
    return PrintQRCodeAtLevel(*this, "CDrvKeltor::PrintQRCodeL", "L", m_qrCodeSize, m_qrCodeVersion,
                              m_barcodeToPrint);
}

// ---- raw command ----

STDMETHODIMP CDrvKeltor::TransferBytes() {
    return RunDeviceMethod(*this, "CDrvKeltor::TransferBytes", [&](CDeviceFrame& frame) {
        char line[kRawLineCapacity];
        int result = kBrontalBadArguments;
        if (UnescapeRawCommand(m_rawCommandBytes, line, sizeof line)) {
            result = frame.Layer().TransferCommandLine(line, sizeof line);
        }
        if (result != 0) {
            m_rawCommandBytes.clear();
            return result;
        }
        RefreshPrinterStatus();
        try {
            AnsiText reply;
            EscapeRawReply(line, &reply);
            m_rawCommandBytes.swap(reply);
        } catch (const std::bad_alloc&) {
            m_rawCommandBytes.clear();
            return static_cast<int>(kBrontalBadArguments);
        }
        return 0;
    });
}
