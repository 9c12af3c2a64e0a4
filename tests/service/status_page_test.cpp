// The status page as a browser shows it: headless Chromium loads it from brontald, its
// screenshot is saved (service-status-page.png in the build folder) and the text of its DOM is
// checked against the printer's own state.
#include <filesystem>
#include <regex>

#include "ChildProcess.h"
#include "ServiceFixture.h"

namespace servicetest {
namespace {

constexpr const char* kChromium = "/usr/bin/chromium";
constexpr int kChromiumPatienceSeconds = 120;

class StatusPageTest : public ServiceTest {
  protected:
    // Runs Chromium headless on the page with `action` (--dump-dom, --screenshot=...) in a
    // profile of its own; its standard output.
    std::string Chromium(const std::string& action) {
        testsupport::TempDir profile;
        const std::string out = work_.file("chromium.out");
        std::filesystem::remove(out);
        const std::vector<std::string> arguments = {
            "--headless",
            "--no-sandbox",
            "--disable-gpu",
            "--disable-quic",
            "--no-first-run",
            "--disable-background-networking",
            "--disable-component-update",
            "--disable-sync",
            "--user-data-dir=" + profile.path(),
            "--window-size=1000,900",
            action,
            "http://127.0.0.1:" + std::to_string(service_.Port()) + "/"};
        const pid_t chromium =
            testsupport::SpawnProgram(kChromium, arguments, out, work_.file("chromium.err"), true);
        EXPECT_GT(chromium, 0);
        const int status = testsupport::WaitForChild(chromium, kChromiumPatienceSeconds);
        if (status == testsupport::kChildRunning) {
            ADD_FAILURE() << "Chromium did not end within " << kChromiumPatienceSeconds << " s";
        }
        testsupport::KillChild(chromium);  // its helpers too, whatever became of it
        EXPECT_EQ(status, 0) << testsupport::ReadFileBytes(work_.file("chromium.err"));
        return testsupport::ReadFileBytes(out);
    }

    static std::string Cell(const std::string& dom, const std::string& id) {
        const std::regex cell("id=\"" + id + "\">([^<]*)<");
        std::smatch match;
        return std::regex_search(dom, match, cell) ? std::string(match[1]) : "<no " + id + ">";
    }
};

TEST_F(StatusPageTest, ChromiumShowsEachPrintersStateAndLastDocuments) {
    ASSERT_TRUE(testsupport::FileExists(kChromium)) << "scripts/install-deps.sh installs it";
    const Reply sale = Post("/printers/main/receipts", Sale("Хлеб", "13.08", "20"));
    ASSERT_EQ(sale.status, 200) << sale.text;
    const emu::PrinterState state = printer_.State();

    const std::string dom = Chromium("--dump-dom");
    EXPECT_EQ(Cell(dom, "main-link"), "connected");
    EXPECT_EQ(Cell(dom, "main-model"), "RKM-204F, serial " + state.identity.serialNumber);
    EXPECT_EQ(Cell(dom, "main-day"), "open, session " + std::to_string(state.counters.session));
    EXPECT_EQ(Cell(dom, "main-receipt"), "none open");
    EXPECT_EQ(Cell(dom, "main-blocked"), "no");
    EXPECT_EQ(Cell(dom, "main-last-document"), std::to_string(state.counters.document));
    EXPECT_EQ(Cell(dom, "main-receipts"), std::to_string(state.counters.receipt));
    const std::regex document("<tr><td>" + std::to_string(state.counters.document) +
                              "</td><td>receipt</td><td>13.08</td><td>\\d{4}-\\d\\d-\\d\\dT");
    EXPECT_TRUE(std::regex_search(dom, document)) << dom;
    EXPECT_NE(dom.find("<button type=\"button\" onclick=\"xReport('main')\">X report</button>"),
              std::string::npos);

    // The page follows the printer: blocked for a Z report.
    printer_.SetStatusWords(static_cast<uint16_t>(printer_.StatusWord() | 0x8000), 0x0008);
    EXPECT_EQ(Cell(Chromium("--dump-dom"), "main-blocked"), "yes: a Z report must be printed");

    const std::string shot = std::string(BRONTAL_BINARY_DIR) + "/service-status-page.png";
    std::filesystem::remove(shot);
    Chromium("--screenshot=" + shot);
    const std::string png = testsupport::ReadFileBytes(shot);
    ASSERT_GT(png.size(), 1000u) << "no screenshot at " << shot;
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

}  // namespace
}  // namespace servicetest
