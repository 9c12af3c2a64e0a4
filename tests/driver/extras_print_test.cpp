// Printing extras through the component: enlarged text inside and outside a receipt, barcode
// types and their data, QR codes at each level, and raw command transfer with its escapes, its
// reply and its effect on the running receipt total.
#include <gtest/gtest.h>

#include "PrinterSession.h"

using namespace session;
using testsupport::Cp1251;

namespace {

enum ExtrasDispid : DISPID {
    kStateReceiptOpen = 14,
    kQuantity = 42,
    kPrice = 43,
    kDepartment = 44,
    kArticle = 45,
    kSale = 48,
    kSubtotal = 69,
    kRawCommandBytes = 104,
    kTransferBytes = 105,
    kBarcodeType = 166,
    kPrintBarcode = 167,
    kBarcodeToPrint = 168,
    kPrintTextDoubleWidth = 177,
    kPrintTextDoubleHeight = 178,
    kPrintTextDoubleWidthAndHeight = 179,
    kQRCodeSize = 296,
    kQRCodeVersion = 297,
    kPrintQRCodeH = 298,
    kPrintQRCodeQ = 299,
    kPrintQRCodeM = 300,
    kPrintQRCodeL = 301,
};

constexpr LONGLONG kUnit = 10000;  // CY of one whole unit
constexpr HRESULT kBadArguments = static_cast<HRESULT>(0x8004232A);

using Strings = std::vector<std::string>;

class ExtrasTest : public PrinterSession {
  protected:
    void SetUp() override {
        PrinterSession::SetUp();
        if (!HasFatalFailure()) {
            Connect();
        }
    }
    std::string Text(DISPID dispid) { return client::Utf8(D().GetText(dispid)); }
    void PutNumber(DISPID dispid, USHORT value) {
        ASSERT_EQ(D().Put(dispid, client::UI2(value)).hr, S_OK) << dispid;
    }
    void PutLong(DISPID dispid, LONG value) {
        ASSERT_EQ(D().Put(dispid, client::I4(value)).hr, S_OK) << dispid;
    }
    // One sale line of `price` whole units in department 1.
    void Sell(LONGLONG price) {
        PutText(kArticle, "Хлеб");
        ASSERT_EQ(D().Put(kPrice, client::Cy(price)).hr, S_OK);
        ASSERT_EQ(D().Put(kQuantity, client::Cy(kUnit)).hr, S_OK);
        PutNumber(kDepartment, 1);
        const client::Call call = Run(kSale);
        ASSERT_EQ(Outcome(call), S_OK) << call.description << " " << Printable(Requests());
    }
    // TransferBytes of `text`; the call's outcome.
    HRESULT Transfer(const std::string& text) {
        PutText(kRawCommandBytes, text);
        printer_.ClearLog();
        return Result(kTransferBytes);
    }
};

// ---- enlarged text ----

TEST_F(ExtrasTest, EnlargedTextOpensATextDocumentAndSetsTheFontBack) {
    const struct {
        DISPID method;
        const char* font;
    } table[] = {
        {kPrintTextDoubleWidth, "2"},
        {kPrintTextDoubleHeight, "1"},
        {kPrintTextDoubleWidthAndHeight, "3"},
    };
    PutText(kTextToPrint, "Добро пожаловать");
    const std::string line = "pt" + kFs + Cp1251("Добро пожаловать");
    bool first = true;
    for (const auto& row : table) {
        printer_.ClearLog();
        const client::Call call = Run(row.method);
        ASSERT_EQ(Outcome(call), S_OK) << row.font << ": " << call.description;
        Strings expected{"pf" + kFs + row.font, line, "pf" + kFs + "0"};
        if (first) {
            // Only the first one finds no document open.
            expected.insert(expected.begin(), "rb" + kFs + "0");
        }
        EXPECT_EQ(Requests(), expected) << row.font << ": " << Printable(Requests());
        EXPECT_EQ(D().GetUI2(kReceiptType), 0);
        EXPECT_EQ(D().GetUI2(kStateReceiptOpen), 1);
        first = false;
    }
}

TEST_F(ExtrasTest, EnlargedTextInsideASaleReceiptOpensNothing) {
    ASSERT_EQ(Result(kOpenDay), S_OK);
    Sell(10 * kUnit);
    ASSERT_EQ(D().GetUI2(kReceiptType), 1);
    PutText(kTextToPrint, "Спасибо");
    printer_.ClearLog();
    ASSERT_EQ(Result(kPrintTextDoubleWidth), S_OK) << Description();
    EXPECT_EQ(Requests(),
              (Strings{"pf" + kFs + "2", "pt" + kFs + Cp1251("Спасибо"), "pf" + kFs + "0"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(kReceiptType), 1);
    // The receipt's total is still the sale's.
    EXPECT_EQ(D().GetCy(kSubtotal), 10 * kUnit);
}

TEST_F(ExtrasTest, EnlargedTextStopsAtTheFirstRefusal) {
    // An empty text is refused before it is sent, after the font went out.
    PutText(kTextToPrint, "");
    EXPECT_EQ(Result(kPrintTextDoubleHeight), kBadArguments);
    EXPECT_EQ(Requests(), (Strings{"rb" + kFs + "0", "pf" + kFs + "1"})) << Printable(Requests());

    PutText(kTextToPrint, "Текст");
    emu::Fault fault;
    fault.kind = emu::FaultKind::DeviceError;
    fault.code = 1;
    fault.command = "pf";
    ASSERT_EQ(printer_.InjectFault(fault), 0);
    printer_.ClearLog();
    EXPECT_EQ(Result(kPrintTextDoubleWidthAndHeight), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Requests(), Strings{"pf" + kFs + "3"}) << Printable(Requests());
}

// ---- barcodes ----

TEST_F(ExtrasTest, BarcodeTypesAndTheirData) {
    EXPECT_EQ(D().GetUI2(kBarcodeType), 4);
    const struct {
        USHORT type;
        const char* data;
        std::string request;
    } table[] = {
        {4, "4600000000017", "pb" + kFs + "4" + kFs + "4600000000017"},
        {1, "12345678", "pb" + kFs + "1" + kFs + "12345678"},
        // Code 128 goes in code set B unless the data chooses its set.
        {9, "12345", "pb" + kFs + "9" + kFs + "{B12345"},
        {9, "{C1234", "pb" + kFs + "9" + kFs + "{C1234"},
        {10, "https://example.org/r?1",
         "pb" + kFs + "QRCODE" + kGs + "3" + kGs + "H" + kGs + "2" + kFs +
             "https://example.org/r?1"},
    };
    // Type 10 takes the printer's QR defaults, not the QR properties.
    PutLong(kQRCodeSize, 7);
    PutLong(kQRCodeVersion, 5);
    for (const auto& row : table) {
        PutNumber(kBarcodeType, row.type);
        PutText(kBarcodeToPrint, row.data);
        printer_.ClearLog();
        const client::Call call = Run(kPrintBarcode);
        EXPECT_EQ(Outcome(call), S_OK) << row.type << " " << row.data << ": " << call.description;
        EXPECT_EQ(Requests(), Strings{row.request}) << Printable(Requests());
    }
}

TEST_F(ExtrasTest, BarcodesOutsideTheTypesOrWithoutDataSendNothing) {
    PutText(kBarcodeToPrint, "123");
    for (USHORT type : {0, 11, 65535}) {
        PutNumber(kBarcodeType, type);
        printer_.ClearLog();
        EXPECT_EQ(Result(kPrintBarcode), kBadArguments) << type;
        EXPECT_EQ(ResultCode(), -9002);
        EXPECT_TRUE(printer_.Frames().empty()) << type << ": " << Printable(Requests());
    }
    PutText(kBarcodeToPrint, "");
    for (USHORT type : {4, 10}) {
        PutNumber(kBarcodeType, type);
        printer_.ClearLog();
        EXPECT_EQ(Result(kPrintBarcode), kBadArguments) << type;
        EXPECT_TRUE(printer_.Frames().empty()) << type << ": " << Printable(Requests());
    }
    // The set choice is added before the data is looked at.
    PutNumber(kBarcodeType, 9);
    printer_.ClearLog();
    Run(kPrintBarcode);
    EXPECT_EQ(Requests(), Strings{"pb" + kFs + "9" + kFs + "{B"}) << Printable(Requests());
}

// ---- QR codes ----

TEST_F(ExtrasTest, QRCodesCarryTheirLevelSizeAndVersion) {
    PutText(kBarcodeToPrint, "T:1234");
    // A fresh object holds size 3 and version 2; 0 cannot be set.
    EXPECT_EQ(D().GetI4(kQRCodeSize), 3);
    EXPECT_EQ(D().GetI4(kQRCodeVersion), 2);
    EXPECT_EQ(Outcome(D().Put(kQRCodeSize, client::I4(0))), E_FAIL);
    EXPECT_EQ(Outcome(D().Put(kQRCodeVersion, client::I4(0))), E_FAIL);
    ASSERT_EQ(Result(kPrintQRCodeL), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"pb" + kFs + "QRCODE" + kGs + "3" + kGs + "L" + kGs + "2" + kFs + "T:1234"})
        << Printable(Requests());

    PutLong(kQRCodeSize, 6);
    PutLong(kQRCodeVersion, 10);
    const struct {
        DISPID method;
        const char* level;
    } table[] = {
        {kPrintQRCodeH, "H"}, {kPrintQRCodeQ, "Q"}, {kPrintQRCodeM, "M"}, {kPrintQRCodeL, "L"}};
    for (const auto& row : table) {
        printer_.ClearLog();
        ASSERT_EQ(Result(row.method), S_OK) << row.level << ": " << Description();
        EXPECT_EQ(Requests(), Strings{"pb" + kFs + "QRCODE" + kGs + "6" + kGs + row.level + kGs +
                                      "10" + kFs + "T:1234"})
            << Printable(Requests());
    }
}

TEST_F(ExtrasTest, QRCodeWithoutDataOrTooLongSendsNothing) {
    PutText(kBarcodeToPrint, "");
    EXPECT_EQ(Result(kPrintQRCodeM), kBadArguments);
    EXPECT_EQ(ResultCode(), -9002);
    PutText(kBarcodeToPrint, std::string(1020, 'x'));
    EXPECT_EQ(Result(kPrintQRCodeQ), kBadArguments);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

TEST_F(ExtrasTest, ARefusedQRCodeIsTheResult) {
    // The printer knows versions up to 40 only.
    PutLong(kQRCodeVersion, 41);
    PutText(kBarcodeToPrint, "x");
    EXPECT_EQ(Result(kPrintQRCodeH), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(ResultCode(), -9203);
}

// ---- raw command transfer ----

TEST_F(ExtrasTest, TransferOfAStatusQueryReturnsItsEmptyData) {
    PutText(kRawCommandBytes, "gs");
    ASSERT_EQ(Result(kTransferBytes), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"gs"}) << Printable(Requests());
    // A "gs" reply carries its header only, which the transfer does not hand out.
    EXPECT_EQ(Text(kRawCommandBytes), "");
}

TEST_F(ExtrasTest, TransferReturnsTheReplyFieldsWithTheirSeparatorsSpelledOut) {
    emu::DocumentCounters counters;
    counters.document = 41;
    counters.session = 7;
    counters.receipt = 3;
    counters.type = 1;
    printer_.SetDocumentCounters(counters);
    ASSERT_EQ(Transfer("gn"), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"gn"}) << Printable(Requests());
    EXPECT_EQ(Text(kRawCommandBytes), "41<FS>7/3<FS>1<FS>");
}

TEST_F(ExtrasTest, TransferTurnsEscapesOfEitherCaseIntoTheirBytes) {
    // A code the printer does not know: it is refused, and the text goes.
    EXPECT_EQ(Transfer("xq<fS>a<Gs>b<lf>c<FS>d<gs>e<LF>f<Fs>g<gS>h<Lf><fs><XX><F S>"),
              static_cast<HRESULT>(0x800423F2));
    EXPECT_EQ(ResultCode(), -9202);
    EXPECT_EQ(Requests(), Strings{"xq" + kFs + "a" + kGs + "b\nc" + kFs + "d" + kGs + "e\nf" + kFs +
                                  "g" + kGs + "h\n" + kFs + "<XX><F S>"})
        << Printable(Requests());
    EXPECT_EQ(Text(kRawCommandBytes), "");
}

TEST_F(ExtrasTest, TransferRefusesOverlongPartsAndEmptyTextBeforeSending) {
    const std::string tooLongCode(32, 'g');
    const std::string tooManyFields(512, 'x');
    for (const std::string& text :
         {std::string(), tooLongCode, "sb<FS>" + tooManyFields, std::string(1100, 'g')}) {
        EXPECT_EQ(Transfer(text), kBadArguments) << text.size();
        EXPECT_EQ(ResultCode(), -9002);
        EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
        EXPECT_EQ(Text(kRawCommandBytes), "");
    }
    // 31 characters of code and 511 of fields still go.
    EXPECT_EQ(Transfer(std::string(31, 'g')), static_cast<HRESULT>(0x800423F2));
    ASSERT_EQ(printer_.Frames().size(), 1u);
    EXPECT_EQ(Transfer("xq<FS>" + std::string(511, 'x')), static_cast<HRESULT>(0x800423F2));
    ASSERT_EQ(printer_.Frames().size(), 1u);
}

TEST_F(ExtrasTest, TransferredReceiptCommandsKeepTheRunningTotal) {
    ASSERT_EQ(Result(kOpenDay), S_OK);
    // The layer learns the receipt kind from the transferred "rb"; without it there is no total.
    ASSERT_EQ(Transfer("rb<FS>1"), S_OK) << Description();
    Sell(10 * kUnit);
    EXPECT_EQ(D().GetCy(kSubtotal), 10 * kUnit);

    ASSERT_EQ(Transfer("rd<FS>" + std::string("Скидка") + "<FS>2.00"), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"rd" + kFs + Cp1251("Скидка") + kFs + "2.00"})
        << Printable(Requests());
    Sell(5 * kUnit);
    EXPECT_EQ(D().GetCy(kSubtotal), 13 * kUnit);

    ASSERT_EQ(Transfer("ra<FS>x<FS>1.50"), S_OK) << Description();
    Sell(kUnit);
    EXPECT_EQ(D().GetCy(kSubtotal), 15 * kUnit + 5000);

    // A refused correction changes nothing.
    EXPECT_EQ(Transfer("ra<FS>x<FS>-1.00"), static_cast<HRESULT>(0x800423F3));
    Sell(kUnit);
    EXPECT_EQ(D().GetCy(kSubtotal), 16 * kUnit + 5000);
}

}  // namespace
