// Print commands against a scripted printer: text, fonts, barcodes and QR codes, the drawer, logo
// selection and the file upload in chunks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Brontal.h"
#include "PeerFixture.h"

namespace prottest {
namespace {

using Printing = PeerFixture;
using Payloads = std::vector<std::string>;

TEST_F(Printing, TextLinesUpToWhatTheLinkCanFrame) {
    EXPECT_EQ(layer.PrintTextLine("Hello"), 0);
    // "pt", FS and 1018 characters fill the largest request frame.
    EXPECT_EQ(layer.PrintTextLine(std::string(1018, 't').c_str()), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"pt" + FS + "Hello", "pt" + FS + std::string(1018, 't')}));

    peer.ClearRequests();
    EXPECT_EQ(layer.PrintTextLine(std::string(1019, 't').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintTextLine(std::string(1023, 't').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintTextLine(std::string(5000, 't').c_str()), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintTextLine(""), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintTextLine(nullptr), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());

    Play({ReplyWith(0x03, 0x00C2)});
    EXPECT_EQ(layer.PrintTextLine("x"), -3 - 9200);
}

TEST_F(Printing, FontsZeroToThree) {
    for (UINT font = 0; font <= 3; ++font) {
        EXPECT_EQ(layer.SetPrintFont(font), 0);
    }
    EXPECT_EQ(layer.SetPrintFont(4), kBrontalBadArguments);
    EXPECT_EQ(layer.SetPrintFont(0xFFFFFFFFU), kBrontalBadArguments);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"pf" + FS + "0", "pf" + FS + "1", "pf" + FS + "2", "pf" + FS + "3"}));
}

TEST_F(Printing, BarcodesOneToNineAndTenAsAQRCode) {
    EXPECT_EQ(layer.PrintBarcode(1, "4820000000017"), 0);
    EXPECT_EQ(layer.PrintBarcode(9, "{B12345"), 0);
    EXPECT_EQ(layer.PrintBarcode(10, "x"), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"pb" + FS + "1" + FS + "4820000000017", "pb" + FS + "9" + FS + "{B12345",
                        "pb" + FS + "QRCODE" + GS + "3" + GS + "H" + GS + "2" + FS + "x"}));

    peer.ClearRequests();
    for (UINT type : {0U, 11U, 0x80000001U}) {
        EXPECT_EQ(layer.PrintBarcode(type, "123"), kBrontalBadArguments);
    }
    for (UINT type : {1U, 10U}) {
        EXPECT_EQ(layer.PrintBarcode(type, ""), kBrontalBadArguments);
        EXPECT_EQ(layer.PrintBarcode(type, nullptr), kBrontalBadArguments);
    }
    EXPECT_EQ(layer.PrintBarcode(5, std::string(1017, 'd').c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(layer.PrintBarcode(5, std::string(1016, 'd').c_str()), 0);
}

TEST_F(Printing, QRCodeDefaultsForSizeLevelAndVersion) {
    EXPECT_EQ(layer.PrintQRCode(0, "L", 0, "https://x"), 0);
    EXPECT_EQ(layer.PrintQRCode(7, "", 12, "d"), 0);
    EXPECT_EQ(layer.PrintQRCode(1, nullptr, 40, "d"), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"pb" + FS + "QRCODE" + GS + "3" + GS + "L" + GS + "2" + FS + "https://x",
                        "pb" + FS + "QRCODE" + GS + "7" + GS + "H" + GS + "12" + FS + "d",
                        "pb" + FS + "QRCODE" + GS + "1" + GS + "H" + GS + "40" + FS + "d"}));
    peer.ClearRequests();
    EXPECT_EQ(layer.PrintQRCode(3, "Q", 2, ""), kBrontalBadArguments);
    EXPECT_EQ(layer.PrintQRCode(3, "Q", 2, nullptr), kBrontalBadArguments);
    // QRCODE GS 3 GS Q GS 2 FS is 13 bytes of the 1018 a request can carry.
    EXPECT_EQ(layer.PrintQRCode(3, "Q", 2, std::string(1006, 'q').c_str()), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(layer.PrintQRCode(3, "Q", 2, std::string(1005, 'q').c_str()), 0);
}

TEST_F(Printing, TheCashDrawer) {
    EXPECT_EQ(layer.OpenCashDrawer(), 0);
    Play({ReplyWith(0x2A, 0x00C0)});
    EXPECT_EQ(layer.OpenCashDrawer(), -0x2A - 9200);
    EXPECT_EQ(peer.Payloads(), (Payloads{"ho", "ho"}));
}

TEST_F(Printing, LogoSelectionWithKindNamesAndSizeForms) {
    EXPECT_EQ(layer.SelectLogo(0, "logo.bmp", 5), 0);
    EXPECT_EQ(layer.SelectLogo(0, "logo.bmp", 172), 0);
    EXPECT_EQ(layer.SelectLogo(1, "a", 15), 0);
    EXPECT_EQ(layer.SelectLogo(2, "a", 16), 0);
    EXPECT_EQ(layer.SelectLogo(3, "a", 0), 0);
    EXPECT_EQ(layer.SelectLogo(4, "a", 0), 0);
    EXPECT_EQ(layer.SelectLogo(0xFFFFFFFFU, "a", 0xFFFFFFFFU), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"sl" + FS + "logo.bmp" + FS + "EPSON" + GS + "#5",
                        "sl" + FS + "logo.bmp" + FS + "EPSON" + GS + "AC",
                        "sl" + FS + "a" + FS + "EPSON" + GS + "#15",
                        "sl" + FS + "a" + FS + "BMP" + GS + "10", "sl" + FS + "a" + FS + "FISCAL",
                        "sl" + FS + "a" + FS + "EPSON",
                        "sl" + FS + "a" + FS + "EPSON" + GS + "FFFFFFFF"}));
}

TEST_F(Printing, LogoSelectionWithoutANameSendsNothingAndLongRequestsAreRefused) {
    EXPECT_EQ(layer.SelectLogo(0, "", 172), 0);
    EXPECT_EQ(layer.SelectLogo(0, nullptr, 172), 0);
    // Below 32 bytes: name, FS, EPSON (31 with a 25-character name), GS and AC (with 22).
    EXPECT_EQ(layer.SelectLogo(0, std::string(26, 'n').c_str(), 0), kBrontalBadArguments);
    EXPECT_EQ(layer.SelectLogo(0, std::string(23, 'n').c_str(), 172), kBrontalBadArguments);
    EXPECT_EQ(layer.SelectLogo(0, std::string(300, 'n').c_str(), 0), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_EQ(layer.SelectLogo(0, std::string(25, 'n').c_str(), 0), 0);
    EXPECT_EQ(layer.SelectLogo(0, std::string(22, 'n').c_str(), 172), 0);
    EXPECT_EQ(peer.Payloads(),
              (Payloads{"sl" + FS + std::string(25, 'n') + FS + "EPSON",
                        "sl" + FS + std::string(22, 'n') + FS + "EPSON" + GS + "AC"}));
}

TEST_F(Printing, FileOpenCarriesOnlyNamesShorterThan32Bytes) {
    EXPECT_EQ(layer.OpenFileUpload("logo.bmp"), 0);
    EXPECT_EQ(layer.OpenFileUpload(std::string(31, 'f').c_str()), 0);
    EXPECT_EQ(layer.OpenFileUpload(std::string(32, 'f').c_str()), 0);
    EXPECT_EQ(layer.OpenFileUpload(""), 0);
    EXPECT_EQ(layer.OpenFileUpload(nullptr), 0);
    EXPECT_EQ(layer.CloseFileUpload(), 0);
    EXPECT_EQ(peer.Payloads(), (Payloads{"fo" + FS + "logo.bmp", "fo" + FS + std::string(31, 'f'),
                                         "fo", "fo", "fo", "fc"}));
}

TEST_F(Printing, FileChunksOfOneTo255BytesInUpperCaseHexadecimal) {
    const BYTE bytes[] = {0x00, 0xAB, 0x1F, 0xff};
    EXPECT_EQ(layer.WriteFileChunk(bytes, 4), 0);
    const std::vector<BYTE> full(255, 0xC3);
    EXPECT_EQ(layer.WriteFileChunk(full.data(), 255), 0);
    std::string hex;
    for (int i = 0; i < 255; ++i) {
        hex += "C3";
    }
    EXPECT_EQ(peer.Payloads(), (Payloads{"fw" + FS + "00AB1FFF", "fw" + FS + hex}));

    peer.ClearRequests();
    const std::vector<BYTE> tooMany(256, 0x01);
    EXPECT_EQ(layer.WriteFileChunk(tooMany.data(), 256), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteFileChunk(bytes, 0), kBrontalBadArguments);
    EXPECT_EQ(layer.WriteFileChunk(nullptr, 4), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
}

struct ProgressLog {
    std::vector<DWORD> values;
};

void RecordProgress(LPVOID context, LPCSTR text, DWORD value) {
    EXPECT_EQ(text, nullptr);
    static_cast<ProgressLog*>(context)->values.push_back(value);
}

std::string Hex(const std::vector<BYTE>& bytes, size_t from, size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    for (size_t i = from; i < from + count; ++i) {
        hex += kDigits[bytes[i] >> 4];
        hex += kDigits[bytes[i] & 0x0F];
    }
    return hex;
}

TEST_F(Printing, A600ByteFileGoesAs255255And90) {
    std::vector<BYTE> file(600);
    for (size_t i = 0; i < file.size(); ++i) {
        file[i] = static_cast<BYTE>(i * 7);
    }
    ProgressLog progress;
    EXPECT_EQ(layer.UploadFileData(file.data(), 600, RecordProgress, &progress), 0);
    const Payloads payloads = peer.Payloads();
    ASSERT_EQ(payloads.size(), 3U);
    EXPECT_EQ(payloads[0], "fw" + FS + Hex(file, 0, 255));
    EXPECT_EQ(payloads[1], "fw" + FS + Hex(file, 255, 255));
    EXPECT_EQ(payloads[2], "fw" + FS + Hex(file, 510, 90));
    EXPECT_EQ(payloads[0].size(), 3U + 510U);
    EXPECT_EQ(payloads[2].size(), 3U + 180U);
    EXPECT_EQ(progress.values, (std::vector<DWORD>{255, 510, 600}));
}

TEST_F(Printing, TheUploadStopsAtTheFirstFailingChunk) {
    const std::vector<BYTE> file(600, 0x42);
    Play({ReplyWith(0, 0x00C0), ReplyWith(0x31, 0x00C0)});
    ProgressLog progress;
    EXPECT_EQ(layer.UploadFileData(file.data(), 600, RecordProgress, &progress), -0x31 - 9200);
    EXPECT_EQ(peer.Requests().size(), 2U);
    EXPECT_EQ(progress.values, std::vector<DWORD>{255});

    // Nothing to send sends nothing; no data for a length is refused.
    peer.ClearRequests();
    progress.values.clear();
    EXPECT_EQ(layer.UploadFileData(nullptr, 0, RecordProgress, &progress), 0);
    EXPECT_EQ(layer.UploadFileData(nullptr, 10, RecordProgress, &progress), kBrontalBadArguments);
    EXPECT_TRUE(peer.Requests().empty());
    EXPECT_TRUE(progress.values.empty());
    // An exact multiple of the chunk ends without an empty chunk.
    EXPECT_EQ(layer.UploadFileData(file.data(), 510, nullptr, nullptr), 0);
    EXPECT_EQ(peer.Requests().size(), 2U);
}

}  // namespace
}  // namespace prottest
