// Printing extras on the virtual printer: fonts and free text, barcodes and QR codes on the
// paper, the cash drawer, and logo files uploaded in chunks, kept by name and selected.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <string>

#include "FiscalFixture.h"
#include "PrinterState.h"

namespace {

using emutest::Parts;
using Fields = std::vector<std::string>;

class EmuPrintTest : public emutest::FiscalFixture {
  protected:
    // What the paper got from the request on.
    std::string Printed(const std::string& code, std::initializer_list<std::string> fields,
                        unsigned* error = nullptr) {
        const std::string before = testsupport::ReadFileBytes(dir.file("paper.txt"));
        const unsigned e = Error(code, fields);
        if (error) {
            *error = e;
        }
        return testsupport::ReadFileBytes(dir.file("paper.txt")).substr(before.size());
    }

    // A line of the 48-column roll with the text in its middle.
    static std::string Centered(const std::string& utf8) {
        const std::string text = W(utf8);
        return std::string((48 - text.size()) / 2, ' ') + text + "\n";
    }

    static std::string Hex(const std::string& bytes) {
        static const char kDigits[] = "0123456789ABCDEF";
        std::string hex;
        for (unsigned char c : bytes) {
            hex += kDigits[c >> 4];
            hex += kDigits[c & 15];
        }
        return hex;
    }

    // fo, the bytes in chunks of `chunk`, fc.
    void Upload(const std::string& name, const std::string& bytes, size_t chunk = 255) {
        ASSERT_EQ(name.empty() ? Error("fo") : Error("fo", {name}), 0u);
        for (size_t at = 0; at < bytes.size(); at += chunk) {
            ASSERT_EQ(Error("fw", {Hex(bytes.substr(at, chunk))}), 0u) << at;
        }
        ASSERT_EQ(Error("fc"), 0u);
    }

    static std::string Picture(size_t size) {
        std::string bytes = "BM";
        for (size_t i = 2; i < size; ++i) {
            bytes += static_cast<char>(i * 7 % 256);
        }
        return bytes;
    }
};

TEST_F(EmuPrintTest, TextLinesInTheirFontsAndTheFontEndsWithTheDocument) {
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_EQ(Printed("pt", {"Normal"}), "Normal\n");
    // A line feed at the end ends the line; lines inside stay lines.
    EXPECT_EQ(Printed("pt", {"one\r\ntwo\n"}), "one\ntwo\n");
    ASSERT_EQ(Error("pf", {"2"}), 0u);
    EXPECT_EQ(printer.State().font, 2u);
    // Double width: two columns a character, 24 characters to the 48-column line.
    const std::string wide(30, 'W');
    std::string first;
    for (int i = 0; i < 24; ++i) {
        first += i == 0 ? "W" : " W";
    }
    EXPECT_EQ(Printed("pt", {wide}), first + "\nW W W W W W\n");
    ASSERT_EQ(Error("pf", {"1"}), 0u);
    EXPECT_EQ(Printed("pt", {"Tall"}), "Tall\n");  // double height keeps the columns
    ASSERT_EQ(Error("pf", {"3"}), 0u);
    EXPECT_EQ(Printed("pt", {"Big"}), "B i g\n");
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_EQ(printer.State().font, 0u);
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_EQ(Printed("pt", {"Big"}), "Big\n");
}

TEST_F(EmuPrintTest, TextGoesIntoTheDocumentAndSoIntoTheJournal) {
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    ASSERT_EQ(Error("pt", {W("Акция: второй товар бесплатно")}), 0u);
    ASSERT_EQ(Error("as", {"A", "5.00", "1"}), 0u);
    ASSERT_EQ(Error("rt", {"5.00"}), 0u);
    ASSERT_EQ(Error("rc", {"5.00"}), 0u);
    ASSERT_EQ(Error("pt", {W("После оплаты")}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    const std::string journal = printer.SessionJournal(1);
    const size_t promo = journal.find(W("Акция: второй товар бесплатно\n"));
    ASSERT_NE(promo, std::string::npos);
    EXPECT_LT(promo, journal.find(W("После оплаты")));
}

TEST_F(EmuPrintTest, RefusedFontsAndTexts) {
    EXPECT_EQ(Error("pt", {"no document"}), 1u);
    EXPECT_EQ(Error("pf", {"4"}), 3u);
    EXPECT_EQ(Error("pf", {""}), 3u);
    EXPECT_EQ(Error("pf", {"1", "2"}), 3u);
    EXPECT_EQ(Error("pf"), 3u);
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    EXPECT_EQ(Error("pt", {""}), 3u);
    EXPECT_EQ(Error("pt"), 3u);
    EXPECT_EQ(Error("pt", {"a\tb"}), 3u);
    EXPECT_EQ(Error("pt", {"a", "b"}), 3u);
    EXPECT_EQ(printer.State().receipt->text.find("a"), std::string::npos);
    // The longest text a request frame can carry prints.
    EXPECT_EQ(Error("pt", {std::string(1018, 'x')}), 0u);
}

TEST_F(EmuPrintTest, TextOnASlipFormTakesItsRoom) {
    printer.ChangeState([](emu::PrinterState& state) { state.slipFormLines = 3; });
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"10"}), 0u);
    ASSERT_EQ(Error("pt", {"1\n2"}), 0u);
    ASSERT_EQ(Error("pt", {"3"}), 0u);
    EXPECT_EQ(Error("pt", {"4"}), 19u);
    EXPECT_EQ(printer.State().receipt->slipLines, 3u);
}

TEST_F(EmuPrintTest, BarcodesAndQrCodesAreMarkedBlocksWithTheirData) {
    const std::string hashes = std::string(48, '#') + "\n";
    EXPECT_EQ(Printed("pb", {"9", "{B12345"}),
              hashes + Centered("ШТРИХ-КОД ТИП 9") + "{B12345\n" + hashes);
    const std::string url = "https://example.org/receipt?id=" + std::string(40, '7');
    const std::string qr = Printed("pb", {Parts({"QRCODE", "3", "H", "2"}), url});
    EXPECT_EQ(qr, hashes + Centered("QR-КОД РАЗМЕР 3 УРОВЕНЬ H ВЕРСИЯ 2") + url.substr(0, 48) +
                      "\n" + url.substr(48) + "\n" + hashes);
    // Inside a document the block is part of it, and so of the day's journal.
    ASSERT_EQ(Error("zb"), 0u);
    ASSERT_EQ(Error("rb", {"1"}), 0u);
    ASSERT_EQ(Error("pb", {Parts({"QRCODE", "8", "L", "40"}), "4601234567890"}), 0u);
    EXPECT_NE(printer.State().receipt->text.find(W("QR-КОД РАЗМЕР 8 УРОВЕНЬ L ВЕРСИЯ 40")),
              std::string::npos);
    ASSERT_EQ(Error("as", {"A", "1.00", "1"}), 0u);
    ASSERT_EQ(Error("rt", {"1.00"}), 0u);
    ASSERT_EQ(Error("rc", {"1.00"}), 0u);
    ASSERT_EQ(Error("re"), 0u);
    EXPECT_NE(printer.SessionJournal(1).find("4601234567890\n"), std::string::npos);
}

TEST_F(EmuPrintTest, RefusedBarcodesPrintNothing) {
    const std::string before = testsupport::ReadFileBytes(dir.file("paper.txt"));
    for (const std::string& request :
         {emutest::Request("pb", {"10", "x"}), emutest::Request("pb", {"0", "x"}),
          emutest::Request("pb", {"9", ""}), emutest::Request("pb", {"9"}),
          emutest::Request("pb", {"A", "x"}), emutest::Request("pb", {"1", std::string(256, '1')}),
          emutest::Request("pb", {"1", "a\nb"}), emutest::Request("pb", {"1", "x", "y"}),
          emutest::Request("pb", {Parts({"QRCODE", "3", "H"}), "x"}),
          emutest::Request("pb", {Parts({"QRCODE", "0", "H", "2"}), "x"}),
          emutest::Request("pb", {Parts({"QRCODE", "17", "H", "2"}), "x"}),
          emutest::Request("pb", {Parts({"QRCODE", "3", "h", "2"}), "x"}),
          emutest::Request("pb", {Parts({"QRCODE", "3", "H", "41"}), "x"}),
          emutest::Request("pb", {Parts({"QRCODE", "3", "H", "2"}), ""}),
          emutest::Request("pb", {Parts({"qrcode", "3", "H", "2"}), "x"})}) {
        EXPECT_EQ(Send(request).error, 3u) << Printable(request);
    }
    EXPECT_EQ(testsupport::ReadFileBytes(dir.file("paper.txt")), before);
    EXPECT_EQ(Error("pb", {"1", std::string(255, '1')}), 0u);
}

TEST_F(EmuPrintTest, TheDrawerCountsItsOpenings) {
    EXPECT_EQ(Error("ho"), 0u);
    EXPECT_EQ(Error("ho"), 0u);
    EXPECT_EQ(Error("ho", {"1"}), 3u);
    EXPECT_EQ(printer.State().drawerOpenings, 2u);
    printer.ChangeState([](emu::PrinterState& state) { state.drawerOpenings = UINT32_MAX; });
    EXPECT_EQ(Error("ho"), 0u);
    EXPECT_EQ(printer.State().drawerOpenings, UINT32_MAX);
}

TEST_F(EmuPrintTest, ALogoUploadedInChunksIsKeptByNameAsItCame) {
    const std::string picture = Picture(600);
    Upload("LOGO.BMP", picture);
    EXPECT_EQ(printer.State().logos.at("LOGO.BMP"), picture);
    EXPECT_FALSE(printer.State().upload.has_value());
    // Chunks of any size from 1 to 255 bytes, digits of either case; a new upload replaces it.
    const std::string smaller = Picture(40);
    ASSERT_EQ(Error("fo", {"LOGO.BMP"}), 0u);
    ASSERT_EQ(Error("fw", {"424d"}), 0u);
    ASSERT_EQ(Error("fw", {Hex(smaller.substr(2))}), 0u);
    EXPECT_EQ(printer.State().logos.at("LOGO.BMP"), picture);  // not before "fc"
    ASSERT_EQ(Error("fc"), 0u);
    EXPECT_EQ(printer.State().logos.at("LOGO.BMP"), smaller);
    // A path without a folder uploads under no name; an empty file is a file.
    Upload("", "xyz", 1);
    Upload("EMPTY", "");
    EXPECT_EQ(printer.State().logos, (std::map<std::string, std::string>{
                                         {"", "xyz"}, {"EMPTY", ""}, {"LOGO.BMP", smaller}}));
}

TEST_F(EmuPrintTest, RefusedUploadsLeaveTheFilesAlone) {
    EXPECT_EQ(Error("fw", {"00"}), 1u);  // nothing open
    EXPECT_EQ(Error("fc"), 1u);
    EXPECT_EQ(Error("fo", {std::string(32, 'N')}), 3u);
    EXPECT_EQ(Error("fo", {"A", "B"}), 3u);
    ASSERT_EQ(Error("fo", {"A"}), 0u);
    ASSERT_EQ(Error("fw", {"0102"}), 0u);
    for (const std::string& chunk : {std::string(), std::string("0"), std::string("0G"),
                                     std::string(512, 'F'), std::string("1C 1D")}) {
        EXPECT_EQ(Error("fw", {chunk}), 3u) << chunk;
    }
    EXPECT_EQ(Error("fw"), 3u);
    EXPECT_EQ(Error("fc", {"A"}), 3u);
    EXPECT_EQ(printer.State().upload->data, "\x01\x02");
    // A file may not outgrow the printer's memory for it; the chunk that would is refused.
    printer.ChangeState([](emu::PrinterState& state) {
        state.upload->data = std::string(emu::kMaxLogoBytes - 1, 'x');
    });
    EXPECT_EQ(Error("fw", {"0102"}), 4u);
    EXPECT_EQ(Error("fw", {"01"}), 0u);
    EXPECT_EQ(Error("fw", {"01"}), 4u);
    ASSERT_EQ(Error("fc"), 0u);
    EXPECT_EQ(printer.State().logos.at("A").size(), emu::kMaxLogoBytes);
    // A new upload drops an unfinished one; the files kept are limited in number.
    ASSERT_EQ(Error("fo", {"B"}), 0u);
    ASSERT_EQ(Error("fw", {"FF"}), 0u);
    Upload("C", "c");
    EXPECT_EQ(printer.State().logos.count("B"), 0u);
    for (char name = 'D'; name <= 'I'; ++name) {
        Upload(std::string(1, name), "d");
    }
    ASSERT_EQ(printer.State().logos.size(), emu::kMaxLogoFiles);
    EXPECT_EQ(Error("fo", {"Z"}), 4u);
    EXPECT_EQ(Error("fo", {"C"}), 0u);  // replacing one still has room
}

TEST_F(EmuPrintTest, TheSelectedLogoHeadsTheFiscalDocuments) {
    Upload("LOGO.BMP", Picture(300));
    EXPECT_EQ(Error("sl", {"LOGO.BMP", Parts({"EPSON", "AC"})}), 0u);
    const emu::LogoSelection logo = printer.State().logo;
    EXPECT_EQ(logo.name, "LOGO.BMP");
    EXPECT_EQ(logo.kind, "EPSON");
    EXPECT_EQ(logo.size, 172u);
    ASSERT_EQ(Error("zb"), 0u);
    const std::string receipt = Printed("rb", {"1"});
    EXPECT_EQ(receipt.substr(0, receipt.find('\n') + 1),
              Centered("[ЛОГОТИП LOGO.BMP EPSON 172, 300 Б]"));
    EXPECT_EQ(Error("cp"), 0u);
    // Text documents carry no logo.
    EXPECT_EQ(Printed("rb", {"0"}).find(W("ЛОГОТИП")), std::string::npos);
    ASSERT_EQ(Error("cp"), 0u);
    // The small sizes go as "#n"; without a size none is shown.
    EXPECT_EQ(Error("sl", {"LOGO.BMP", Parts({"BMP", "#5"})}), 0u);
    EXPECT_EQ(printer.State().logo.size, 5u);
    EXPECT_EQ(Error("sl", {"LOGO.BMP", "FISCAL"}), 0u);
    EXPECT_NE(Printed("rb", {"1"}).find(W("[ЛОГОТИП LOGO.BMP FISCAL, 300 Б]")), std::string::npos);
}

TEST_F(EmuPrintTest, RefusedSelectionsKeepTheLogoThatWas) {
    Upload("LOGO.BMP", "BM");
    ASSERT_EQ(Error("sl", {"LOGO.BMP", Parts({"EPSON", "#1"})}), 0u);
    for (const std::string& request : {
             emutest::Request("sl", {"LOGO.BMP", Parts({"PNG", "AC"})}),
             emutest::Request("sl", {"LOGO.BMP", Parts({"epson", "AC"})}),
             emutest::Request("sl", {"LOGO.BMP", Parts({"EPSON", "#0"})}),
             emutest::Request("sl", {"LOGO.BMP", Parts({"EPSON", "#16"})}),
             emutest::Request("sl", {"LOGO.BMP", Parts({"EPSON", "F"})}),  // 15 goes as "#15"
             emutest::Request("sl", {"LOGO.BMP", Parts({"EPSON", "10000"})}),
             emutest::Request("sl", {"LOGO.BMP", Parts({"EPSON", ""})}),
             emutest::Request("sl", {"LOGO.BMP", Parts({"EPSON", "AC", "1"})}),
             emutest::Request("sl", {"LOGO.BMP"}),
             emutest::Request("sl", {"", "EPSON"}),
         }) {
        EXPECT_EQ(Send(request).error, 3u) << Printable(request);
    }
    EXPECT_EQ(Error("sl", {"OTHER.BMP", "EPSON"}), 39u);  // no such file
    const emu::LogoSelection logo = printer.State().logo;
    EXPECT_EQ(logo.kind, "EPSON");
    EXPECT_EQ(logo.size, 1u);
    EXPECT_EQ(Error("sl", {"LOGO.BMP", Parts({"EPSON", "ffff"})}), 0u);
    EXPECT_EQ(printer.State().logo.size, 0xFFFFu);
}

TEST_F(EmuPrintTest, LogosFontAndDrawerSurviveAPowerCycleAndARestart) {
    const std::string path = dir.file("state.txt");
    ASSERT_EQ(printer.SetStateFile(path), 0);
    const std::string picture = Picture(700);
    Upload("LOGO.BMP", picture);
    ASSERT_EQ(Error("sl", {"LOGO.BMP", Parts({"EPSON", "AC"})}), 0u);
    ASSERT_EQ(Error("fo", {"HALF"}), 0u);
    ASSERT_EQ(Error("fw", {"0A1B"}), 0u);
    ASSERT_EQ(Error("ho"), 0u);
    ASSERT_EQ(Error("rb", {"0"}), 0u);
    ASSERT_EQ(Error("pf", {"3"}), 0u);

    emu::VirtualPrinter again;
    ASSERT_EQ(again.SetStateFile(path), 0);
    const emu::PrinterState state = again.State();
    EXPECT_EQ(state.logos.at("LOGO.BMP"), picture);
    EXPECT_EQ(state.logo.name, "LOGO.BMP");
    EXPECT_EQ(state.logo.size, 172u);
    ASSERT_TRUE(state.upload.has_value());
    EXPECT_EQ(state.upload->name, "HALF");
    EXPECT_EQ(state.upload->data, "\x0A\x1B");
    EXPECT_EQ(state.drawerOpenings, 1u);
    EXPECT_EQ(state.font, 3u);

    // A restart forgets the font only.
    printer.SetRestartTime(50);
    ASSERT_TRUE(Tell("c0"));
    for (int i = 0; i < 20 && Ask("gs", 200).empty(); ++i) {
    }
    EXPECT_EQ(printer.State().font, 0u);
    EXPECT_EQ(printer.State().logos.size(), 1u);
    EXPECT_EQ(printer.State().upload->data, "\x0A\x1B");

    // A selection naming a file the printer does not have is no state it could be in.
    std::string text = testsupport::ReadFileBytes(path);
    const std::string item = "logo-selected=LOGO.BMP";
    const size_t at = text.find(item);
    ASSERT_NE(at, std::string::npos);
    text.replace(at, item.size(), "logo-selected=GONE.BMP");
    emu::PrinterState loaded;
    EXPECT_EQ(emu::LoadState(text, loaded), -EINVAL);
}

}  // namespace
