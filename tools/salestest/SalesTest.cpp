#include "SalesTest.h"

#include <vector>

namespace salestest {

const ArticlePreset kArticlePresets[kArticlePresetCount] = {
    {OLESTR("Пакет фасов. бесплантый"), 0, 10000, OLESTR("")},
    {OLESTR("Кофе Якобс-Монарх клас."), 65400, 10000, OLESTR("")},
    {OLESTR("Хлеб нарочанский"), 87000, 10000, OLESTR("")},
    {OLESTR("Картофель свежий"), 67100, 32610, OLESTR("кг")},
};

namespace {

constexpr LONG kSaleReceipt = 1;

// The current folder as a wide text; empty when it cannot be read.
WideText CurrentFolder() {
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    if (needed == 0) {
        return WideText();
    }
    std::vector<char> ansi(needed + 1, '\0');
    const DWORD length = GetCurrentDirectoryA(static_cast<DWORD>(ansi.size()), ansi.data());
    if (length == 0 || length >= ansi.size()) {
        return WideText();
    }
    const int wideLength =
        MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(length), nullptr, 0);
    if (wideLength <= 0) {
        return WideText();
    }
    WideText wide(static_cast<size_t>(wideLength), OLECHAR(0));
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(length), wide.data(), wideLength);
    return wide;
}

// Runs the steps of one call after the other; the first failure sticks.
class CRun {
  public:
    CRun(CDispatchClient& driver, SalesTestReport& report, const SalesTestObserver& observer)
        : m_driver(driver), m_report(report), m_observer(observer) {}

    bool Ok() const { return SUCCEEDED(m_hr); }
    HRESULT Result() const { return m_hr; }

    void Call(LPCSTR name) {
        Step([&] { return m_driver.Call(name); });
    }
    void PutText(LPCSTR name, const WideText& text) {
        Step([&] { return m_driver.PutText(name, text); });
    }
    void PutMoney(LPCSTR name, LONGLONG money) {
        Step([&] { return m_driver.PutMoney(name, money); });
    }
    void PutNumber(LPCSTR name, LONG number) {
        Step([&] { return m_driver.PutNumber(name, number); });
    }
    LONG GetNumber(LPCSTR name) {
        LONG number = 0;
        Step([&] { return m_driver.GetNumber(name, &number); });
        return number;
    }
    LONGLONG GetMoney(LPCSTR name) {
        LONGLONG money = 0;
        Step([&] { return m_driver.GetMoney(name, &money); });
        return money;
    }

  private:
    template <class Action>
    void Step(Action&& action) {
        if (FAILED(m_hr)) {
            return;
        }
        if (m_observer.stopRequested && m_observer.stopRequested(m_observer.context)) {
            m_hr = E_ABORT;
            m_report.stopped = true;
            return;
        }
        m_hr = action();
        if (FAILED(m_hr)) {
            m_report.failure = m_driver.LastFailure();
        }
    }

    CDispatchClient& m_driver;
    SalesTestReport& m_report;
    const SalesTestObserver& m_observer;
    HRESULT m_hr = S_OK;
};

// What the last call left on the printer, from the status word the driver keeps (no exchange).
void NoteWhatIsLeftOpen(CDispatchClient& driver, SalesTestReport& report) {
    constexpr LONG kUnknown = 0xFFFF;  // no call has reached the printer
    constexpr LONG kDayOpen = 0x0001;
    constexpr LONG kReceiptOpen = 0x0002;
    LONG status = kUnknown;
    if (FAILED(driver.GetNumber("Status", &status)) || status == kUnknown) {
        return;
    }
    report.stateKnown = true;
    report.dayLeftOpen = (status & kDayOpen) != 0;
    report.receiptLeftOpen = (status & kReceiptOpen) != 0;
}

}  // namespace

void UsePreset(SalesTestParameters& parameters, int index) {
    if (index < 0 || index >= kArticlePresetCount) {
        index = kDefaultArticlePreset;
    }
    const ArticlePreset& preset = kArticlePresets[index];
    parameters.article = preset.name;
    parameters.price = preset.price;
    parameters.quantity = preset.quantity;
    parameters.unit = preset.unit;
}

SalesTestParameters DefaultParameters(int index) {
    SalesTestParameters parameters;
    UsePreset(parameters, index);
    return parameters;
}

bool ValidateParameters(const SalesTestParameters& parameters, std::string* why) {
    const auto refuse = [&](const char* text) {
        if (why) {
            *why = text;
        }
        return false;
    };
    if (parameters.days < kMinDays || parameters.days > kMaxDays) {
        return refuse("days must be 1 to 100");
    }
    if (parameters.receiptsPerDay < kMinReceipts || parameters.receiptsPerDay > kMaxReceipts) {
        return refuse("receipts per day must be 1 to 1000");
    }
    if (parameters.salesPerReceipt < kMinSales || parameters.salesPerReceipt > kMaxSales) {
        return refuse("sales per receipt must be 1 to 10000");
    }
    if (parameters.price < 0) {
        return refuse("the price must not be negative");
    }
    if (parameters.quantity <= 0) {
        return refuse("the quantity must be above 0");
    }
    if (parameters.article.empty()) {
        return refuse("the article needs a name");
    }
    if (parameters.printText && parameters.textToPrint.empty()) {
        return refuse("the text to print is empty");
    }
    return true;
}

HRESULT RunSalesTest(CDispatchClient& driver, const SalesTestParameters& parameters,
                     SalesTestReport* report, const SalesTestObserver& observer) {
    SalesTestReport ignored;
    SalesTestReport& out = report ? *report : ignored;
    out = SalesTestReport();
    if (!ValidateParameters(parameters, nullptr)) {
        out.failure.hr = E_INVALIDARG;
        return E_INVALIDARG;
    }
    CRun run(driver, out, observer);

    // Start from a closed day: a receipt left open is cancelled, an open day gets its Z report.
    if (run.GetNumber("StateReceiptOpen") != 0 && run.Ok()) {
        run.Call("CancelPrint");
        out.cancelledReceipt = run.Ok();
    }
    if (run.GetNumber("StateDayOpen") != 0 && run.Ok()) {
        run.Call("PrintZReport");
        out.closedOpenDay = run.Ok();
        out.zReports += run.Ok() ? 1 : 0;
    }

    if (run.Ok() && (out.cancelledReceipt || out.closedOpenDay) && observer.openWorkEnded) {
        observer.openWorkEnded(observer.context, out.cancelledReceipt, out.closedOpenDay);
    }

    for (int day = 1; day <= parameters.days && run.Ok(); ++day) {
        run.Call("OpenDay");
        for (int receipt = 1; receipt <= parameters.receiptsPerDay && run.Ok(); ++receipt) {
            run.PutNumber("ReceiptType", kSaleReceipt);
            run.Call("OpenReceipt");
            for (int sale = 1; sale <= parameters.salesPerReceipt && run.Ok(); ++sale) {
                run.PutText("Article", parameters.article);
                run.PutMoney("Price", parameters.price);
                run.PutMoney("Quantity", parameters.quantity);
                run.PutText("QuantityUnit", parameters.unit);
                run.PutNumber("Department", 0);
                run.Call("Sale");
                if (parameters.printText) {
                    run.PutText("StringToPrint", parameters.textToPrint);
                    run.Call("PrintLine");
                }
            }
            run.Call("CompleteReceipt");
            const LONGLONG subtotal = run.GetMoney("Subtotal");
            run.PutMoney("Amount", subtotal);
            run.Call("PayCash");
            run.Call("CloseReceipt");
            if (run.Ok()) {
                ++out.receiptsClosed;
                if (observer.receiptClosed) {
                    observer.receiptClosed(observer.context, day, receipt);
                }
            }
        }
        run.PutText("ElectronicJournalSavePath", CurrentFolder());
        run.Call("PrintZReport");
        if (run.Ok()) {
            ++out.zReports;
            if (observer.dayClosed) {
                observer.dayClosed(observer.context, day);
            }
        }
    }
    if (!run.Ok()) {
        const DispatchFailure failure = out.failure;
        NoteWhatIsLeftOpen(driver, out);
        out.failure = failure;  // reading the state must not hide what failed
    }
    return run.Ok() ? S_OK : run.Result();
}

}  // namespace salestest
