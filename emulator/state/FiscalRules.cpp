// Look-ups in the tables, the day's record and the open document.
#include <cctype>
#include <cstdio>

#include "Fiscal.h"

namespace emu {

namespace {

bool SameCode(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

int64_t DaysFromCivil(int year, int month, int day) {
    // Days since 1970-01-01 of a proleptic Gregorian date (the well-known era algorithm).
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yoe = year - era * 400;
    const int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

const Currency& BaseCurrency(const PrinterState& state) {
    const Currency* base = FindCurrency(state, state.baseCurrency);
    // The table always names its base (IsValidCurrencies); the first entry stands in for a
    // state that says otherwise.
    return base ? *base : state.currencies.front();
}

unsigned BaseDecimals(const PrinterState& state) {
    return state.currencies.empty() ? 2 : BaseCurrency(state).decimals;
}

const Currency* FindCurrency(const PrinterState& state, const std::string& code) {
    for (const Currency& currency : state.currencies) {
        if (SameCode(currency.code, code)) {
            return &currency;
        }
    }
    return nullptr;
}

unsigned CurrencyDecimals(const PrinterState& state, const std::string& code) {
    const Currency* currency = FindCurrency(state, code);
    return currency ? currency->decimals : 2;
}

const Department* FindDepartment(const PrinterState& state, uint32_t number) {
    for (const Department& department : state.departments) {
        if (department.number == number) {
            return &department;
        }
    }
    return nullptr;
}

bool IsKnownDepartment(const PrinterState& state, uint32_t number) {
    return number == 0 || FindDepartment(state, number) != nullptr;
}

const PaymentFacility* FindFacility(const PrinterState& state, uint32_t number) {
    for (const PaymentFacility& facility : state.facilities) {
        if (facility.number == number) {
            return &facility;
        }
    }
    return nullptr;
}

bool IsDayOpen(const PrinterState& state) {
    return (state.status & kStatusDayOpen) != 0;
}

Session& CurrentSession(PrinterState& state) {
    if (!state.sessions.empty() && state.sessions.back().number == state.counters.session &&
        state.sessions.back().closed.empty()) {
        return state.sessions.back();
    }
    // The status word says the day is open, but the fiscal memory has no open day (a test set
    // the words by hand): the day starts now under the number the counters show.
    Session session;
    session.number = state.counters.session;
    session.opened = NowDigits(state);
    for (const auto& [code, amount] : state.drawer) {
        session.currencies[code].previous = amount;
    }
    state.sessions.push_back(session);
    return state.sessions.back();
}

const Session* FindSession(const PrinterState& state, uint32_t number) {
    if (number == 0) {
        number = state.counters.session;
    }
    for (auto it = state.sessions.rbegin(); it != state.sessions.rend(); ++it) {
        if (it->number == number) {
            return &*it;
        }
    }
    return nullptr;
}

bool DayOverdue(const PrinterState& state) {
    const Session* session = FindSession(state, 0);
    PrinterTime opened;
    if (!IsDayOpen(state) || !session || !session->closed.empty() ||
        !ParseTimeDigits(session->opened, opened)) {
        return false;
    }
    return SecondsOf(ClockNow(state.clock)) - SecondsOf(opened) > 24 * 3600;
}

OpenReceipt* CurrentReceipt(PrinterState& state) {
    if ((state.status & kStatusReceiptOpen) == 0 || state.receiptClosing) {
        return nullptr;
    }
    if (!state.receipt) {
        // Shown open by a test that set the words by hand: an empty document of the type the
        // counters name (a sale when they name none).
        OpenReceipt receipt;
        const uint32_t type = state.counters.type;
        receipt.type =
            type == kReceiptText || KindOf(type) == DocumentKind::Unknown ? kReceiptSale : type;
        state.receipt = receipt;
    }
    return &*state.receipt;
}

const OpenReceipt* ShownReceipt(const PrinterState& state) {
    if ((state.status & kStatusReceiptOpen) == 0 || state.receiptClosing || !state.receipt) {
        return nullptr;
    }
    return &*state.receipt;
}

OpenReceipt* DocumentForArticles(PrinterState& state) {
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || !TakesArticles(KindOf(receipt->type)) ||
        (state.status & kStatusReadyForTotal) != 0 || PaymentStarted(*receipt)) {
        return nullptr;
    }
    return receipt;
}

OpenReceipt* DocumentForPayments(PrinterState& state) {
    OpenReceipt* receipt = CurrentReceipt(state);
    if (!receipt || !TakesPayments(KindOf(receipt->type)) ||
        (state.status & kStatusReadyForTotal) == 0) {
        return nullptr;
    }
    return receipt;
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    return ~crc;
}

uint32_t NextDocumentNumber(const PrinterState& state) {
    return state.counters.document + 1;
}

std::string ShownTime(const std::string& digits) {
    if (digits.size() != 14) {
        return digits;
    }
    return digits.substr(6, 2) + "." + digits.substr(4, 2) + "." + digits.substr(0, 4) + " " +
           digits.substr(8, 2) + ":" + digits.substr(10, 2);
}

std::string NowDigits(const PrinterState& state) {
    return TimeDigits(ClockNow(state.clock));
}

int64_t SecondsOf(const PrinterTime& time) {
    return DaysFromCivil(time.year, time.month, time.day) * 86400 + time.hour * 3600 +
           time.minute * 60 + time.second;
}

bool ParseTimeDigits(const std::string& digits, PrinterTime& time) {
    if (digits.size() != 14) {
        return false;
    }
    int parts[6] = {};
    const size_t widths[6] = {4, 2, 2, 2, 2, 2};
    size_t at = 0;
    for (int i = 0; i < 6; ++i) {
        for (size_t k = 0; k < widths[i]; ++k, ++at) {
            if (digits[at] < '0' || digits[at] > '9') {
                return false;
            }
            parts[i] = parts[i] * 10 + (digits[at] - '0');
        }
    }
    PrinterTime parsed{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]};
    if (!IsValidTime(parsed)) {
        return false;
    }
    time = parsed;
    return true;
}

unsigned PaperWidth(const PrinterState& state) {
    return state.hardware.receipt.width;
}

Printout NewPrintout(const PrinterState& state) {
    return Printout(PaperWidth(state));
}

void PrintOnPaper(Paper& paper, const Printout& printout) {
    if (!printout.empty()) {
        paper.PrintText(printout.text());
    }
}

void PrintInDocument(PrinterState& state, Paper& paper, const Printout& printout) {
    if (state.receipt) {
        state.receipt->text += printout.text();
    }
    PrintOnPaper(paper, printout);
}

void PrintControlTapeOnly(PrinterState& state, const Printout& printout) {
    if (state.receipt) {
        state.receipt->text += printout.text();
    }
}

uint8_t PrintFreeLines(PrinterState& state, Paper& paper, const Printout& printout,
                       bool controlTapeOnly) {
    OpenReceipt* receipt = CurrentReceipt(state);
    if (receipt && receipt->type == kReceiptSlip) {
        if (!state.slipFormInserted || receipt->slipLines >= state.slipFormLines) {
            return kErrNoSlipForm;
        }
        size_t lines = 0;
        for (char c : printout.text()) {
            lines += c == '\n' ? 1 : 0;
        }
        const uint32_t room = state.slipFormLines - receipt->slipLines;
        receipt->slipLines += lines < room ? static_cast<uint32_t>(lines) : room;
    }
    if (controlTapeOnly) {
        PrintControlTapeOnly(state, printout);
    } else {
        PrintInDocument(state, paper, printout);
    }
    return kErrNone;
}

void PrintInJournal(PrinterState& state, Paper& paper, const Printout& printout) {
    if (IsDayOpen(state)) {
        state.journals[CurrentSession(state).number] += printout.text();
    }
    PrintOnPaper(paper, printout);
}

}  // namespace emu
