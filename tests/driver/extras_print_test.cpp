// Printing extras through the component: enlarged text inside and outside a receipt, barcode
// types and their data, QR codes at each level, and raw command transfer with its escapes, its
// reply and its effect on the running receipt total.
#include <gtest/gtest.h>

#include "PrinterSession.h"

using namespace client;
using namespace testsupport;

namespace {

constexpr LONGLONG kUnit = 10000;  // CY of one whole unit
constexpr HRESULT kBadArguments = static_cast<HRESULT>(0x8004232A);

class ExtrasTest : public ConnectedSession {
  protected:
    // One sale line of `price` whole units in department 1.
    void Sell(LONGLONG price) {
        PutText(member::Article, "Хлеб");
        PutMoney(member::Price, price);
        PutMoney(member::Quantity, kUnit);
        PutNumber(member::Department, 1);
        Run(member::Sale);
    }
    // TransferBytes of `text`; the call's outcome.
    HRESULT Transfer(const std::string& text) {
        PutText(member::RawCommandBytes, text);
        printer_.ClearLog();
        return Result(member::TransferBytes);
    }
};

// ---- enlarged text ----

TEST_F(ExtrasTest, EnlargedTextOpensATextDocumentAndSetsTheFontBack) {
    const struct {
        Member method;
        const char* font;
    } table[] = {
        {member::PrintTextDoubleWidth, "2"},
        {member::PrintTextDoubleHeight, "1"},
        {member::PrintTextDoubleWidthAndHeight, "3"},
    };
    PutText(member::TextToPrint, "Добро пожаловать");
    const std::string line = "pt" + kFs + Cp1251("Добро пожаловать");
    bool first = true;
    for (const auto& row : table) {
        printer_.ClearLog();
        const Call call = D().Method(row.method);
        ASSERT_EQ(Outcome(call), S_OK) << row.font << ": " << call.description;
        Strings expected{"pf" + kFs + row.font, line, "pf" + kFs + "0"};
        if (first) {
            // Only the first one finds no document open.
            expected.insert(expected.begin(), "rb" + kFs + "0");
        }
        EXPECT_EQ(Requests(), expected) << row.font << ": " << Printable(Requests());
        EXPECT_EQ(D().GetUI2(member::ReceiptType), 0);
        EXPECT_EQ(D().GetUI2(member::StateReceiptOpen), 1);
        first = false;
    }
}

TEST_F(ExtrasTest, EnlargedTextInsideASaleReceiptOpensNothing) {
    ASSERT_EQ(Result(member::OpenDay), S_OK);
    Sell(10 * kUnit);
    ASSERT_EQ(D().GetUI2(member::ReceiptType), 1);
    PutText(member::TextToPrint, "Спасибо");
    printer_.ClearLog();
    ASSERT_EQ(Result(member::PrintTextDoubleWidth), S_OK) << Description();
    EXPECT_EQ(Requests(),
              (Strings{"pf" + kFs + "2", "pt" + kFs + Cp1251("Спасибо"), "pf" + kFs + "0"}))
        << Printable(Requests());
    EXPECT_EQ(D().GetUI2(member::ReceiptType), 1);
    // The receipt's total is still the sale's.
    EXPECT_EQ(D().GetCy(member::Subtotal), 10 * kUnit);
}

TEST_F(ExtrasTest, EnlargedTextStopsAtTheFirstRefusal) {
    // An empty text is refused before it is sent, after the font went out.
    PutText(member::TextToPrint, "");
    EXPECT_EQ(Result(member::PrintTextDoubleHeight), kBadArguments);
    EXPECT_EQ(Requests(), (Strings{"rb" + kFs + "0", "pf" + kFs + "1"})) << Printable(Requests());

    PutText(member::TextToPrint, "Текст");
    FailNext("pf", 1);
    printer_.ClearLog();
    EXPECT_EQ(Result(member::PrintTextDoubleWidthAndHeight), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Requests(), Strings{"pf" + kFs + "3"}) << Printable(Requests());
}

// ---- barcodes ----

TEST_F(ExtrasTest, BarcodeTypesAndTheirData) {
    EXPECT_EQ(D().GetUI2(member::BarcodeType), 4);
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
    Put(member::QRCodeSize, I4(7));
    Put(member::QRCodeVersion, I4(5));
    for (const auto& row : table) {
        PutNumber(member::BarcodeType, row.type);
        PutText(member::BarcodeToPrint, row.data);
        printer_.ClearLog();
        const Call call = D().Method(member::PrintBarcode);
        EXPECT_EQ(Outcome(call), S_OK) << row.type << " " << row.data << ": " << call.description;
        EXPECT_EQ(Requests(), Strings{row.request}) << Printable(Requests());
    }
}

TEST_F(ExtrasTest, BarcodesOutsideTheTypesOrWithoutDataSendNothing) {
    PutText(member::BarcodeToPrint, "123");
    for (USHORT type : {0, 11, 65535}) {
        PutNumber(member::BarcodeType, type);
        printer_.ClearLog();
        EXPECT_EQ(Result(member::PrintBarcode), kBadArguments) << type;
        EXPECT_EQ(ResultCode(), -9002);
        EXPECT_TRUE(printer_.Frames().empty()) << type << ": " << Printable(Requests());
    }
    PutText(member::BarcodeToPrint, "");
    for (USHORT type : {4, 10}) {
        PutNumber(member::BarcodeType, type);
        printer_.ClearLog();
        EXPECT_EQ(Result(member::PrintBarcode), kBadArguments) << type;
        EXPECT_TRUE(printer_.Frames().empty()) << type << ": " << Printable(Requests());
    }
    // The set choice is added before the data is looked at.
    PutNumber(member::BarcodeType, 9);
    printer_.ClearLog();
    Run(member::PrintBarcode);
    EXPECT_EQ(Requests(), Strings{"pb" + kFs + "9" + kFs + "{B"}) << Printable(Requests());
}

// ---- QR codes ----

TEST_F(ExtrasTest, QRCodesCarryTheirLevelSizeAndVersion) {
    PutText(member::BarcodeToPrint, "T:1234");
    // A fresh object holds size 3 and version 2; 0 cannot be set.
    EXPECT_EQ(D().GetI4(member::QRCodeSize), 3);
    EXPECT_EQ(D().GetI4(member::QRCodeVersion), 2);
    EXPECT_EQ(Outcome(D().Put(member::QRCodeSize, client::I4(0))), E_FAIL);
    EXPECT_EQ(Outcome(D().Put(member::QRCodeVersion, client::I4(0))), E_FAIL);
    ASSERT_EQ(Result(member::PrintQRCodeL), S_OK) << Description();
    EXPECT_EQ(Requests(),
              Strings{"pb" + kFs + "QRCODE" + kGs + "3" + kGs + "L" + kGs + "2" + kFs + "T:1234"})
        << Printable(Requests());

    Put(member::QRCodeSize, I4(6));
    Put(member::QRCodeVersion, I4(10));
    const struct {
        Member method;
        const char* level;
    } table[] = {{member::PrintQRCodeH, "H"},
                 {member::PrintQRCodeQ, "Q"},
                 {member::PrintQRCodeM, "M"},
                 {member::PrintQRCodeL, "L"}};
    for (const auto& row : table) {
        printer_.ClearLog();
        ASSERT_EQ(Result(row.method), S_OK) << row.level << ": " << Description();
        EXPECT_EQ(Requests(), Strings{"pb" + kFs + "QRCODE" + kGs + "6" + kGs + row.level + kGs +
                                      "10" + kFs + "T:1234"})
            << Printable(Requests());
    }
}

TEST_F(ExtrasTest, QRCodeWithoutDataOrTooLongSendsNothing) {
    PutText(member::BarcodeToPrint, "");
    EXPECT_EQ(Result(member::PrintQRCodeM), kBadArguments);
    EXPECT_EQ(ResultCode(), -9002);
    PutText(member::BarcodeToPrint, std::string(1020, 'x'));
    EXPECT_EQ(Result(member::PrintQRCodeQ), kBadArguments);
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

TEST_F(ExtrasTest, ARefusedQRCodeIsTheResult) {
    // The printer knows versions up to 40 only.
    Put(member::QRCodeVersion, I4(41));
    PutText(member::BarcodeToPrint, "x");
    EXPECT_EQ(Result(member::PrintQRCodeH), static_cast<HRESULT>(0x800423F3));
    EXPECT_EQ(ResultCode(), -9203);
}

// ---- raw command transfer ----

TEST_F(ExtrasTest, TransferOfAStatusQueryReturnsItsEmptyData) {
    PutText(member::RawCommandBytes, "gs");
    ASSERT_EQ(Result(member::TransferBytes), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"gs"}) << Printable(Requests());
    // A "gs" reply carries its header only, which the transfer does not hand out.
    EXPECT_EQ(TextOf(member::RawCommandBytes), "");
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
    EXPECT_EQ(TextOf(member::RawCommandBytes), "41<FS>7/3<FS>1<FS>");
}

TEST_F(ExtrasTest, TransferTurnsEscapesOfEitherCaseIntoTheirBytes) {
    // A code the printer does not know: it is refused, and the text goes.
    EXPECT_EQ(Transfer("xq<fS>a<Gs>b<lf>c<FS>d<gs>e<LF>f<Fs>g<gS>h<Lf><fs><XX><F S>"),
              static_cast<HRESULT>(0x800423F2));
    EXPECT_EQ(ResultCode(), -9202);
    EXPECT_EQ(Requests(), Strings{"xq" + kFs + "a" + kGs + "b\nc" + kFs + "d" + kGs + "e\nf" + kFs +
                                  "g" + kGs + "h\n" + kFs + "<XX><F S>"})
        << Printable(Requests());
    EXPECT_EQ(TextOf(member::RawCommandBytes), "");
}

TEST_F(ExtrasTest, TransferRefusesOverlongPartsAndEmptyTextBeforeSending) {
    const std::string tooLongCode(32, 'g');
    const std::string tooManyFields(512, 'x');
    for (const std::string& text :
         {std::string(), tooLongCode, "sb<FS>" + tooManyFields, std::string(1100, 'g')}) {
        EXPECT_EQ(Transfer(text), kBadArguments) << text.size();
        EXPECT_EQ(ResultCode(), -9002);
        EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
        EXPECT_EQ(TextOf(member::RawCommandBytes), "");
    }
    // 31 characters of code and 511 of fields still go.
    EXPECT_EQ(Transfer(std::string(31, 'g')), static_cast<HRESULT>(0x800423F2));
    ASSERT_EQ(printer_.Frames().size(), 1u);
    EXPECT_EQ(Transfer("xq<FS>" + std::string(511, 'x')), static_cast<HRESULT>(0x800423F2));
    ASSERT_EQ(printer_.Frames().size(), 1u);
}

TEST_F(ExtrasTest, TransferredReceiptCommandsKeepTheRunningTotal) {
    ASSERT_EQ(Result(member::OpenDay), S_OK);
    // The layer learns the receipt kind from the transferred "rb"; without it there is no total.
    ASSERT_EQ(Transfer("rb<FS>1"), S_OK) << Description();
    Sell(10 * kUnit);
    EXPECT_EQ(D().GetCy(member::Subtotal), 10 * kUnit);

    ASSERT_EQ(Transfer("rd<FS>" + std::string("Скидка") + "<FS>2.00"), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"rd" + kFs + Cp1251("Скидка") + kFs + "2.00"})
        << Printable(Requests());
    Sell(5 * kUnit);
    EXPECT_EQ(D().GetCy(member::Subtotal), 13 * kUnit);

    ASSERT_EQ(Transfer("ra<FS>x<FS>1.50"), S_OK) << Description();
    Sell(kUnit);
    EXPECT_EQ(D().GetCy(member::Subtotal), 15 * kUnit + 5000);

    // A refused correction changes nothing.
    EXPECT_EQ(Transfer("ra<FS>x<FS>-1.00"), static_cast<HRESULT>(0x800423F3));
    Sell(kUnit);
    EXPECT_EQ(D().GetCy(member::Subtotal), 16 * kUnit + 5000);
}

}  // namespace
