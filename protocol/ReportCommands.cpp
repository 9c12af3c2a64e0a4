// Day and report commands: opening the day, the Z report that closes it, the X report, the
// fixed reports and the fiscal memory reports by Z number or by date.
#include "Brontal.h"
#include "FiscalCommand.h"

namespace {

// A periodic report's request is at most 31 characters.
constexpr DWORD kPeriodicRequestCapacity = 32;
constexpr DWORD kDateTextCapacity = 16;

bool IsZeroDate(const SYSTEMTIME& date) {
    return date.wYear == 0 && date.wMonth == 0 && date.wDay == 0;
}

// The full flag, and the text as a sub-field when there is one.
bool StartPeriodicRequest(LPSTR request, DWORD capacity, BOOL full, LPCSTR text) {
    if (!fiscal::IsFieldText(text) ||
        CBrontal::AppendText(request, capacity, 0, full ? "1" : "0") == 0) {
        return false;
    }
    return fiscal::IsEmpty(text) ||
           CBrontal::AppendText(request, capacity, kPartSeparator, text) > 0;
}

}  // namespace

int CBrontal::OpenDay() {
    return fiscal::Run(*this, "zb", "");
}

int CBrontal::CloseDay() {
    return fiscal::Run(*this, "ze", "");
}

int CBrontal::PrintXReport() {
    return fiscal::Run(*this, "zx", "");
}

int CBrontal::PrintTaxTableReport() {
    return fiscal::Run(*this, "zv", "");
}

int CBrontal::PrintCashierReport() {
    return fiscal::Run(*this, "zw", "");
}

int CBrontal::PrintSettTableReport() {
    return fiscal::Run(*this, "zs", "");
}

int CBrontal::PrintOperationsRegsReport() {
    return fiscal::Run(*this, "zg", "");
}

int CBrontal::PrintSelfTestReport() {
    return fiscal::Run(*this, "hc", "");
}

int CBrontal::PrintReportByZ(BOOL full, UINT first, UINT last, LPCSTR text) {
    char request[kPeriodicRequestCapacity];
    if (!StartPeriodicRequest(request, sizeof request, full, text) ||
        AppendUnsigned(request, sizeof request, kFieldSeparator, first, "%04u") == 0 ||
        (last != 0 &&
         AppendUnsigned(request, sizeof request, kFieldSeparator, last, "%04u") == 0)) {
        return kBrontalBadArguments;
    }
    return fiscal::Run(*this, "zz", request);
}

int CBrontal::PrintReportByDate(BOOL full, const SYSTEMTIME* first, const SYSTEMTIME* last,
                                LPCSTR text) {
    char request[kPeriodicRequestCapacity];
    char firstDate[kDateTextCapacity];
    if (!fiscal::DateText(first, firstDate, sizeof firstDate) ||
        !StartPeriodicRequest(request, sizeof request, full, text) ||
        AppendText(request, sizeof request, kFieldSeparator, firstDate) == 0) {
        return kBrontalBadArguments;
    }
    if (last && !IsZeroDate(*last)) {
        char lastDate[kDateTextCapacity];
        if (!fiscal::DateText(last, lastDate, sizeof lastDate) ||
            AppendText(request, sizeof request, kFieldSeparator, lastDate) == 0) {
            return kBrontalBadArguments;
        }
    }
    return fiscal::Run(*this, "zd", request);
}
