#include "SalesCommand.h"

#include "Explain.h"
#include "Interrupt.h"
#include "Script.h"
#include "Values.h"

namespace drvkeltor {

namespace {

void OpenWorkEnded(LPVOID context, bool receiptCancelled, bool dayClosed) {
    if (receiptCancelled) {
        std::fprintf(static_cast<std::FILE*>(context),
                     "salestest: the receipt left open was cancelled\n");
    }
    if (dayClosed) {
        std::fprintf(static_cast<std::FILE*>(context),
                     "salestest: the day left open was closed by a Z report\n");
    }
}

void ReceiptClosed(LPVOID context, int day, int receipt) {
    std::fprintf(static_cast<std::FILE*>(context), "salestest: day %d, receipt %d closed\n", day,
                 receipt);
    std::fflush(static_cast<std::FILE*>(context));
}

void DayClosed(LPVOID context, int day) {
    std::fprintf(static_cast<std::FILE*>(context), "salestest: day %d closed by its Z report\n",
                 day);
    std::fflush(static_cast<std::FILE*>(context));
}

bool StopRequested(LPVOID) {
    return Interrupted();
}

bool Count(const std::string& text, int low, int high, int* count) {
    LONGLONG number = 0;
    if (!ParseInteger(text, low, high, &number)) {
        return false;
    }
    *count = static_cast<int>(number);
    return true;
}

}  // namespace

void PrintSalesUsage(std::FILE* out) {
    std::fprintf(out,
                 "  --days N          days, each ended by a Z report (1 to 100, default 2)\n"
                 "  --receipts N      receipts a day (1 to 1000, default 5)\n"
                 "  --sales N         sales a receipt (1 to 10000, default 1)\n"
                 "  --article N       the article preset (0 to %d, default %d):\n",
                 salestest::kArticlePresetCount - 1, salestest::kDefaultArticlePreset);
    for (int i = 0; i < salestest::kArticlePresetCount; ++i) {
        const salestest::ArticlePreset& preset = salestest::kArticlePresets[i];
        const std::string unit = salestest::Utf8FromWide(preset.unit);
        std::fprintf(out, "                      %d  %s, %s x %s%s%s\n", i,
                     salestest::Utf8FromWide(preset.name).c_str(),
                     FormatMoney(preset.price).c_str(), FormatMoney(preset.quantity).c_str(),
                     unit.empty() ? "" : " ", unit.c_str());
    }
    std::fprintf(out,
                 "  --name TEXT, --price P, --quantity Q, --unit TEXT\n"
                 "                    the article's fields over the preset's\n"
                 "  --print-text TEXT print TEXT after every sale (StringToPrint, PrintLine)\n");
}

bool ParseSalesOptions(const std::vector<std::string>& options,
                       salestest::SalesTestParameters* parameters, std::string* error) {
    salestest::SalesTestParameters result = salestest::DefaultParameters();
    // The preset first, whatever the order: the other article options go over it.
    for (size_t i = 0; i + 1 < options.size(); ++i) {
        if (options[i] == "--article") {
            int index = 0;
            if (!Count(options[i + 1], 0, salestest::kArticlePresetCount - 1, &index)) {
                *error = "--article takes a preset number from 0 to " +
                         std::to_string(salestest::kArticlePresetCount - 1);
                return false;
            }
            salestest::UsePreset(result, index);
        }
    }
    for (size_t i = 0; i < options.size(); ++i) {
        const std::string& option = options[i];
        if (i + 1 >= options.size()) {
            *error = option + " needs a value";
            return false;
        }
        const std::string& value = options[++i];
        bool ok = true;
        if (option == "--days") {
            ok = Count(value, salestest::kMinDays, salestest::kMaxDays, &result.days);
        } else if (option == "--receipts") {
            ok = Count(value, salestest::kMinReceipts, salestest::kMaxReceipts,
                       &result.receiptsPerDay);
        } else if (option == "--sales") {
            ok = Count(value, salestest::kMinSales, salestest::kMaxSales, &result.salesPerReceipt);
        } else if (option == "--article") {
            // taken above
        } else if (option == "--price") {
            ok = ParseMoney(value, &result.price) && result.price >= 0;
        } else if (option == "--quantity") {
            ok = ParseMoney(value, &result.quantity) && result.quantity > 0;
        } else if (option == "--unit") {
            result.unit = salestest::WideFromUtf8(value);
        } else if (option == "--name") {
            result.article = salestest::WideFromUtf8(value);
            ok = !result.article.empty();
        } else if (option == "--print-text") {
            result.printText = true;
            result.textToPrint = salestest::WideFromUtf8(value);
            ok = !result.textToPrint.empty();
        } else {
            *error = "unknown salestest option " + option;
            return false;
        }
        if (!ok) {
            *error = "bad value for " + option + ": " + value;
            return false;
        }
    }
    if (!salestest::ValidateParameters(result, error)) {
        return false;
    }
    *parameters = result;
    return true;
}

int RunSalesCommand(salestest::CDispatchClient& driver,
                    const salestest::SalesTestParameters& parameters, std::FILE* out,
                    std::FILE* err) {
    salestest::SalesTestObserver observer;
    observer.openWorkEnded = OpenWorkEnded;
    observer.receiptClosed = ReceiptClosed;
    observer.dayClosed = DayClosed;
    observer.context = out;
    observer.stopRequested = StopRequested;
    salestest::SalesTestReport report;
    const HRESULT hr = salestest::RunSalesTest(driver, parameters, &report, observer);
    if (FAILED(hr)) {
        const salestest::DispatchFailure& failure = report.failure;
        if (report.stopped) {
            std::fprintf(err, "drvkeltor: salestest interrupted; the call in progress finished\n");
        } else {
            const HRESULT shown = failure.hr == DISP_E_EXCEPTION ? failure.scode : failure.hr;
            LONG code = 0;
            const bool known = SUCCEEDED(driver.GetNumber("ResultCode", &code)) && code < 0;
            std::fprintf(err, "drvkeltor: salestest stopped: %s failed (%s)%s%s%s%s%s\n",
                         failure.member.c_str(), HresultText(shown).c_str(),
                         failure.description.empty() ? "" : ": ",
                         salestest::Utf8FromWide(failure.description).c_str(), known ? " (" : "",
                         known ? ExplainResult(code, UserLanguage()).c_str() : "",
                         known ? ")" : "");
        }
        std::fprintf(out, "salestest: %d receipts, %d Z reports before it stopped\n",
                     report.receiptsClosed, report.zReports);
        std::fflush(out);
        ReportOpenWork(driver, err);
        return report.stopped ? kExitInterrupted : kExitFailed;
    }
    std::fprintf(out, "salestest: done, %d receipts, %d Z reports\n", report.receiptsClosed,
                 report.zReports);
    return kExitOk;
}

}  // namespace drvkeltor
