// Logo files through the component: a bitmap file uploaded in "fw" blocks behind the progress
// window and then selected, the file name the printer is given, missing and unreadable files,
// refused blocks and a refused close.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "RecordingPresenter.h"
#include "PrinterSession.h"

using namespace client;
using namespace testsupport;
using drivertest::RecordingPresenter;

namespace {

constexpr HRESULT kWorkerStartFailed = static_cast<HRESULT>(0x800424BA);

std::string Bytes(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<char>((i * 7 + 3) & 0xFF));
    }
    return bytes;
}

// `path` with its last '/' written as the backslash a Windows client would use.
std::string WithBackslash(std::string path) {
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos) {
        path[slash] = '\\';
    }
    return path;
}

class LogoTest : public ConnectedSession {
  protected:
    // A file of the test's folder (UTF-8 path), holding `bytes`.
    std::string WriteFile(const std::string& name, const std::string& bytes) {
        const std::string path = work_.file(name);
        std::ofstream out(path, std::ios::binary);
        out << bytes;
        EXPECT_TRUE(out.good()) << path;
        return path;
    }
    HRESULT Upload(const std::string& path) {
        PutText(member::BmpLogoToLoadFilePath, path);
        printer_.ClearLog();
        return Result(member::UploadBmpLogoFile);
    }
    void RefuseNext(const std::string& command) { FailNext(command, 1); }
};

TEST_F(LogoTest, A600ByteFileGoesIn255255And90ByteBlocksAndIsThenSelected) {
    RecordingPresenter presenter;
    const std::string bytes = Bytes(600);
    const std::string path = WithBackslash(WriteFile("logo.bmp", bytes));
    ASSERT_EQ(Upload(path), S_OK) << Description();
    EXPECT_EQ(Requests(),
              (Strings{"fo" + kFs + "logo.bmp", "fw" + kFs + HexBytes(bytes.substr(0, 255)),
                       "fw" + kFs + HexBytes(bytes.substr(255, 255)),
                       "fw" + kFs + HexBytes(bytes.substr(510)), "fc"}))
        << Printable(Requests());
    EXPECT_EQ(printer_.State().logos.at("logo.bmp"), bytes);
    EXPECT_EQ(TextOf(member::BmpLogoFileToSelect), "logo.bmp");

    const Strings events = presenter.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), "shown Запись файла");
    EXPECT_EQ(presenter.Only("ended"), Strings{"ended 1"});
    // The bar is set up for the file's size before the upload starts, then follows the bytes
    // written. The close is sent while the positions are only posted, so a fast upload may end
    // the window before any of them is shown; those shown come in the order of the blocks.
    const Strings bar = presenter.Only("bar");
    ASSERT_FALSE(bar.empty());
    EXPECT_EQ(bar.front(), "bar 0..600 at 0");
    const Strings steps = {"bar 0..600 at 0", "bar 0..600 at 255", "bar 0..600 at 510",
                           "bar 0..600 at 600"};
    size_t next = 0;
    for (const std::string& event : bar) {
        while (next < steps.size() && steps[next] != event) {
            ++next;
        }
        ASSERT_LT(next, steps.size()) << event;
    }

    printer_.ClearLog();
    ASSERT_EQ(Result(member::SelectBmpLogoFile), S_OK) << Description();
    EXPECT_EQ(Requests(), Strings{"sl" + kFs + "logo.bmp" + kFs + "EPSON" + kGs + "AC"})
        << Printable(Requests());
    EXPECT_EQ(printer_.State().logo.name, "logo.bmp");
}

TEST_F(LogoTest, APathInACyrillicFolderWithForwardSlashes) {
    const std::string folder = work_.file("Логотипы");
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    const std::string bytes = Bytes(300);
    WriteFile("Логотипы/shop.bmp", bytes);
    ASSERT_EQ(Upload(folder + "/shop.bmp"), S_OK) << Description();
    EXPECT_EQ(Requests().front(), "fo" + kFs + "shop.bmp") << Printable(Requests());
    EXPECT_EQ(printer_.State().logos.at("shop.bmp"), bytes);
    EXPECT_EQ(TextOf(member::BmpLogoFileToSelect), "shop.bmp");
}

TEST_F(LogoTest, APathWithoutSeparatorUploadsUnnamedAndLeavesTheSelection) {
    PutText(member::BmpLogoFileToSelect, "old.bmp");
    // The current folder is the test's folder.
    WriteFile("plain.bmp", Bytes(10));
    ASSERT_EQ(Upload("plain.bmp"), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"fo", "fw" + kFs + HexBytes(Bytes(10)), "fc"}))
        << Printable(Requests());
    EXPECT_EQ(TextOf(member::BmpLogoFileToSelect), "old.bmp");
}

TEST_F(LogoTest, AnEmptyFileOpensAndClosesThePrintersFile) {
    RecordingPresenter presenter;
    ASSERT_EQ(Upload(WriteFile("empty.bmp", "")), S_OK) << Description();
    EXPECT_EQ(Requests(), (Strings{"fo" + kFs + "empty.bmp", "fc"})) << Printable(Requests());
    EXPECT_EQ(presenter.Only("ended"), Strings{"ended 1"});
    EXPECT_EQ(printer_.State().logos.at("empty.bmp"), "");
}

TEST_F(LogoTest, AFileThatCannotBeOpenedSendsNothing) {
    RecordingPresenter presenter;
    PutText(member::BmpLogoFileToSelect, "old.bmp");
    // A folder is no file to read.
    ASSERT_TRUE(std::filesystem::create_directory(work_.file("folder.bmp")));
    for (const std::string& path : {work_.file("missing.bmp"), std::string(),
                                    work_.file("nofolder/logo.bmp"), work_.file("folder.bmp")}) {
        const HRESULT hr = Upload(path);
        EXPECT_EQ(hr, kWorkerStartFailed) << path;
        EXPECT_EQ(ResultCode(), -9402);
        EXPECT_EQ(Description(), "Ошибка запуска вспомогательного потока");
        EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
    }
    EXPECT_TRUE(presenter.Events().empty());
    EXPECT_EQ(TextOf(member::BmpLogoFileToSelect), "old.bmp");
}

TEST_F(LogoTest, AFileTooLargeForALogoIsNotSentButThePrintersFileIsClosed) {
    RecordingPresenter presenter;
    const std::string path = WriteFile("huge.bmp", std::string(1024 * 1024 + 1, 'x'));
    EXPECT_EQ(Upload(path), kWorkerStartFailed);
    EXPECT_EQ(Requests(), (Strings{"fo" + kFs + "huge.bmp", "fc"})) << Printable(Requests());
    EXPECT_TRUE(presenter.Events().empty());
}

TEST_F(LogoTest, ARefusedBlockEndsTheUploadButTheFileIsClosed) {
    RecordingPresenter presenter;
    PutText(member::BmpLogoFileToSelect, "old.bmp");
    RefuseNext("fw");
    EXPECT_EQ(Upload(WriteFile("logo.bmp", Bytes(600))), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(ResultCode(), -9201);
    EXPECT_EQ(Requests(),
              (Strings{"fo" + kFs + "logo.bmp", "fw" + kFs + HexBytes(Bytes(255)), "fc"}))
        << Printable(Requests());
    // The worker's failure ended the window with IDCANCEL.
    EXPECT_EQ(presenter.Only("ended"), Strings{"ended 2"});
    EXPECT_EQ(TextOf(member::BmpLogoFileToSelect), "old.bmp");
}

TEST_F(LogoTest, ARefusedOpenSendsNoBlocksAndARefusedCloseFailsTheUpload) {
    PutText(member::BmpLogoFileToSelect, "old.bmp");
    const std::string path = WriteFile("logo.bmp", Bytes(20));
    RefuseNext("fo");
    EXPECT_EQ(Upload(path), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Requests(), Strings{"fo" + kFs + "logo.bmp"}) << Printable(Requests());

    // Blocks that all went in are not a stored file when the printer refuses to close it.
    RefuseNext("fc");
    EXPECT_EQ(Upload(path), static_cast<HRESULT>(0x800423F1));
    EXPECT_EQ(Requests(),
              (Strings{"fo" + kFs + "logo.bmp", "fw" + kFs + HexBytes(Bytes(20)), "fc"}))
        << Printable(Requests());
    EXPECT_EQ(TextOf(member::BmpLogoFileToSelect), "old.bmp");
    EXPECT_EQ(printer_.State().logos.count("logo.bmp"), 0u);
}

TEST_F(LogoTest, SelectionOfNoNameSendsNothingAndOfAnUnknownOneIsRefused) {
    ASSERT_EQ(Result(member::SelectBmpLogoFile), S_OK) << Description();
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());

    PutText(member::BmpLogoFileToSelect, "none.bmp");
    const Call call = D().Method(member::SelectBmpLogoFile);
    EXPECT_LT(ResultCode(), -9200);
    EXPECT_FALSE(call.description.empty());
    EXPECT_EQ(Requests(), Strings{"sl" + kFs + "none.bmp" + kFs + "EPSON" + kGs + "AC"})
        << Printable(Requests());

    // The request must stay below 32 bytes: no name beyond 22 fits beside the format and size.
    PutText(member::BmpLogoFileToSelect, std::string(23, 'n'));
    printer_.ClearLog();
    EXPECT_EQ(Result(member::SelectBmpLogoFile), static_cast<HRESULT>(0x8004232A));
    EXPECT_TRUE(printer_.Frames().empty()) << Printable(Requests());
}

}  // namespace
