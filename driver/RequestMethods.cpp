// Session, receipt and cashier requests: one printer request each, whose reply gives the result
// properties; for the lists, the row that the request properties select.
//
// The result properties of a request read 0 once it has started: after a failure, and when no
// row matches, nothing is left of an earlier request.
#include <cstdio>

#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "ReceiptContext.h"

namespace {

// Rows a list reply may hold: one per department, payment facility or currency the printer has.
constexpr int kDepartmentRows = kDepartmentTableCapacity;
constexpr int kFacilityRows = kPaymentFacilityTableCapacity;
constexpr int kCurrencyRows = kCurrencyTableCapacity;

void SetMoney(CY& property, const DecimalPair& amount) {
    property.int64 = MoneyFromPair(amount);
}

// The first department or facility row of `number`.
template <class Row>
const Row* FindNumberedRow(const Row* rows, int count, WORD number) {
    for (int i = 0; i < count; ++i) {
        if (rows[i].number == number) {
            return &rows[i];
        }
    }
    return nullptr;
}

// Codes compare byte for byte: "usd" is not the row of "USD".
const CurrencyTotals* FindCurrencyRow(const CurrencyTotals* rows, int count, const AnsiText& code) {
    for (int i = 0; i < count; ++i) {
        if (code == rows[i].code) {
            return &rows[i];
        }
    }
    return nullptr;
}

// A session's start or end as the printer writes it ("20261207", "015207"); parts that cannot be
// read count as 0, and a moment that is no calendar date gives 0.
DATE SessionMoment(LPCSTR date, LPCSTR time) {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::sscanf(date, "%04d%02d%02d", &year, &month, &day);
    std::sscanf(time, "%02d%02d%02d", &hour, &minute, &second);
    if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0) {
        return 0;
    }
    SYSTEMTIME moment = {};
    moment.wYear = static_cast<WORD>(year);
    moment.wMonth = static_cast<WORD>(month);
    moment.wDay = static_cast<WORD>(day);
    moment.wHour = static_cast<WORD>(hour);
    moment.wMinute = static_cast<WORD>(minute);
    moment.wSecond = static_cast<WORD>(second);
    DATE value = 0;
    return SystemTimeToVariantTime(&moment, &value) ? value : 0;
}

}  // namespace

HRESULT CDrvKeltor::RunInfoRequest(LPCSTR name, InfoRequest request) {
    return RunDeviceMethod(*this, name, [&](CDeviceFrame& frame) {
        ClearInfoResults(request);
        return InfoRequestSteps(frame.Layer(), request);
    });
}

void CDrvKeltor::ClearInfoResults(InfoRequest request) {
    switch (request) {
        case InfoRequest::SessionDocumentCount:
            m_documentNumber = 0;
            m_salesCount = 0;
            m_refundsCount = 0;
            m_documentsCount = 0;
            m_cancellationCount = 0;
            break;
        case InfoRequest::SessionDateTime:
            break;
        case InfoRequest::SessionSalesByDepartment:
        case InfoRequest::ReceiptSalesByDepartment:
            m_salesAmount.int64 = 0;
            break;
        case InfoRequest::SessionRefundsByDepartment:
        case InfoRequest::ReceiptRefundsByDepartment:
            m_refundsAmount.int64 = 0;
            break;
        case InfoRequest::SessionCashSalesRefundsByCurrency:
            m_salesAmount.int64 = 0;
            m_salesAmountInCurrency.int64 = 0;
            m_refundsAmount.int64 = 0;
            m_refundsAmountInCurrency.int64 = 0;
            break;
        case InfoRequest::SessionNoncashSalesRefundsByFacility:
            m_salesAmount.int64 = 0;
            m_refundsAmount.int64 = 0;
            break;
        case InfoRequest::SessionDiscountsSurcharges:
        case InfoRequest::ReceiptDiscountsSurcharges:
            m_discountsAmount.int64 = 0;
            m_surchargesAmount.int64 = 0;
            break;
        case InfoRequest::SessionAccumulatedTotals:
            m_accumulatedSalesAmount.int64 = 0;
            m_accumulatedRefundsAmount.int64 = 0;
            break;
        case InfoRequest::SessionCollectedAmounts:
        case InfoRequest::CashierCollectedAmounts:
            m_incomeAmount.int64 = 0;
            m_outcomeAmount.int64 = 0;
            m_previousCollectedAmount.int64 = 0;
            m_collectedAmount.int64 = 0;
            break;
        case InfoRequest::SessionElectronicJournalInfo:
            m_electronicJournalCrc = 0;
            break;
        case InfoRequest::SessionRestaurantOrders:
            m_restaurantOpenOrderAmount.int64 = 0;
            m_restaurantClosedOrderAmount.int64 = 0;
            break;
        case InfoRequest::ReceiptCashPaymentsByCurrency:
            m_paymentAmount.int64 = 0;
            m_paymentAmountInCurrency.int64 = 0;
            break;
        case InfoRequest::ReceiptNoncashPaymentsByFacility:
        case InfoRequest::CashierNoncashPaymentsByFacility:
            m_paymentAmount.int64 = 0;
            break;
        case InfoRequest::ReceiptTotals:
            m_salesAmount.int64 = 0;
            m_paymentAmount.int64 = 0;
            break;
        case InfoRequest::ReceiptCollectedAmountsByCurrency:
            m_incomeAmount.int64 = 0;
            break;
    }
}

int CDrvKeltor::InfoRequestSteps(CBrontal& layer, InfoRequest request) {
    // The session asked about; the reply's number goes back into RequestSession.
    DWORD session = m_requestSession;
    auto sessionAnswered = [&](int result) {
        m_requestSession = static_cast<WORD>(session);
        return result;
    };
    DepartmentTotals departments[kDepartmentRows];
    FacilityTotals facilities[kFacilityRows];
    CurrencyTotals currencies[kCurrencyRows];
    int count = 0;
    int result = 0;

    switch (request) {
        case InfoRequest::SessionDocumentCount: {
            SessionDocumentCounts counts = {};
            result = sessionAnswered(layer.ReadSessionDocumentCounts(&session, &counts));
            if (result == 0) {
                m_documentNumber = counts.documentNumber;
                m_salesCount = counts.salesCount;
                m_refundsCount = counts.refundsCount;
                m_documentsCount = counts.documentsCount;
                m_cancellationCount = counts.cancellationCount;
            }
            return result;
        }
        case InfoRequest::SessionDateTime: {
            SessionDateTime dates = {};
            result = sessionAnswered(layer.ReadSessionDateTime(&session, &dates));
            m_sessionStartDate = SessionMoment(dates.startDate, dates.startTime);
            m_sessionEndDate = SessionMoment(dates.endDate, dates.endTime);
            return result;
        }
        case InfoRequest::SessionSalesByDepartment:
        case InfoRequest::SessionRefundsByDepartment: {
            const bool sales = request == InfoRequest::SessionSalesByDepartment;
            result = sessionAnswered(sales ? layer.ReadSessionSalesByDepartment(
                                                 &session, departments, kDepartmentRows, &count)
                                           : layer.ReadSessionRefundsByDepartment(
                                                 &session, departments, kDepartmentRows, &count));
            const DepartmentTotals* row = FindNumberedRow(departments, count, m_requestDepartment);
            if (result == 0 && row) {
                SetMoney(sales ? m_salesAmount : m_refundsAmount, row->first);
            }
            return result;
        }
        case InfoRequest::SessionCashSalesRefundsByCurrency: {
            result = sessionAnswered(
                layer.ReadSessionCashByCurrency(&session, currencies, kCurrencyRows, &count));
            const CurrencyTotals* row = FindCurrencyRow(currencies, count, m_requestCurrency);
            if (result == 0 && row) {
                SetMoney(m_salesAmount, row->amounts[0]);
                SetMoney(m_salesAmountInCurrency, row->amounts[1]);
                SetMoney(m_refundsAmount, row->amounts[2]);
                SetMoney(m_refundsAmountInCurrency, row->amounts[3]);
            }
            return result;
        }
        case InfoRequest::SessionNoncashSalesRefundsByFacility: {
            result = sessionAnswered(
                layer.ReadSessionNoncashByFacility(&session, facilities, kFacilityRows, &count));
            const FacilityTotals* row =
                FindNumberedRow(facilities, count, m_requestNoncashFacility);
            if (result == 0 && row) {
                SetMoney(m_salesAmount, row->amounts[0]);
                SetMoney(m_refundsAmount, row->amounts[1]);
            }
            return result;
        }
        case InfoRequest::SessionDiscountsSurcharges: {
            DecimalPair discounts = {};
            DecimalPair surcharges = {};
            result = sessionAnswered(
                layer.ReadSessionDiscountsSurcharges(&session, &discounts, &surcharges));
            if (result == 0) {
                SetMoney(m_discountsAmount, discounts);
                SetMoney(m_surchargesAmount, surcharges);
            }
            return result;
        }
        case InfoRequest::SessionAccumulatedTotals: {
            DecimalPair sales = {};
            DecimalPair refunds = {};
            DecimalPair annulments = {};
            result = sessionAnswered(
                layer.ReadSessionAccumulatedTotals(&session, &sales, &refunds, &annulments));
            if (result == 0) {
                SetMoney(m_accumulatedSalesAmount, sales);
                SetMoney(m_accumulatedRefundsAmount, refunds);
            }
            return result;
        }
        case InfoRequest::SessionCollectedAmounts: {
            result = sessionAnswered(
                layer.ReadSessionCollectedAmounts(&session, currencies, kCurrencyRows, &count));
            const CurrencyTotals* row = FindCurrencyRow(currencies, count, m_requestCurrency);
            if (result == 0 && row) {
                SetMoney(m_incomeAmount, row->amounts[0]);
                SetMoney(m_outcomeAmount, row->amounts[1]);
                SetMoney(m_previousCollectedAmount, row->amounts[2]);
                SetMoney(m_collectedAmount, row->amounts[3]);
            }
            return result;
        }
        case InfoRequest::SessionElectronicJournalInfo:
            return SessionJournalInfoSteps(layer);
        case InfoRequest::SessionRestaurantOrders: {
            // The reply does not name the session: RequestSession stays as it was.
            DecimalPair openAmount = {};
            DecimalPair closedAmount = {};
            DWORD openCount = 0;
            DWORD closedCount = 0;
            result = layer.ReadSessionRestaurantOrders(&session, &openAmount, &openCount,
                                                       &closedAmount, &closedCount);
            if (result == 0) {
                SetMoney(m_restaurantOpenOrderAmount, openAmount);
                m_restaurantOpenOrderCount = openCount;
                SetMoney(m_restaurantClosedOrderAmount, closedAmount);
                m_restaurantClosedOrderCount = closedCount;
            }
            return result;
        }
        case InfoRequest::ReceiptSalesByDepartment:
        case InfoRequest::ReceiptRefundsByDepartment: {
            const bool sales = request == InfoRequest::ReceiptSalesByDepartment;
            result =
                sales ? layer.ReadReceiptSalesByDepartment(departments, kDepartmentRows, &count)
                      : layer.ReadReceiptRefundsByDepartment(departments, kDepartmentRows, &count);
            const DepartmentTotals* row = FindNumberedRow(departments, count, m_requestDepartment);
            if (result == 0 && row) {
                SetMoney(sales ? m_salesAmount : m_refundsAmount, row->first);
            }
            return result;
        }
        case InfoRequest::ReceiptCashPaymentsByCurrency: {
            result = layer.ReadReceiptCashByCurrency(currencies, kCurrencyRows, &count);
            const CurrencyTotals* row = FindCurrencyRow(currencies, count, m_requestCurrency);
            if (result == 0 && row) {
                SetMoney(m_paymentAmount, row->amounts[0]);
                SetMoney(m_paymentAmountInCurrency, row->amounts[1]);
            }
            return result;
        }
        case InfoRequest::ReceiptNoncashPaymentsByFacility:
        case InfoRequest::CashierNoncashPaymentsByFacility: {
            result = request == InfoRequest::ReceiptNoncashPaymentsByFacility
                         ? layer.ReadReceiptNoncashByFacility(facilities, kFacilityRows, &count)
                         : layer.ReadCashierNoncashByFacility(facilities, kFacilityRows, &count);
            const FacilityTotals* row =
                FindNumberedRow(facilities, count, m_requestNoncashFacility);
            if (result == 0 && row) {
                SetMoney(m_paymentAmount, row->amounts[0]);
            }
            return result;
        }
        case InfoRequest::ReceiptDiscountsSurcharges: {
            DecimalPair discounts = {};
            DecimalPair surcharges = {};
            result = layer.ReadReceiptDiscountsSurcharges(&discounts, &surcharges);
            if (result == 0) {
                SetMoney(m_discountsAmount, discounts);
                SetMoney(m_surchargesAmount, surcharges);
            }
            return result;
        }
        case InfoRequest::ReceiptTotals: {
            DecimalPair sales = {};
            DecimalPair payment = {};
            result = layer.ReadReceiptTotals(&sales, &payment);
            if (result == 0) {
                SetMoney(m_salesAmount, sales);
                SetMoney(m_paymentAmount, payment);
            }
            return result;
        }
        case InfoRequest::ReceiptCollectedAmountsByCurrency: {
            result = layer.ReadReceiptCollectedByCurrency(currencies, kCurrencyRows, &count);
            const CurrencyTotals* row = FindCurrencyRow(currencies, count, m_requestCurrency);
            if (result == 0 && row) {
                SetMoney(m_incomeAmount, row->amounts[0]);
            }
            return result;
        }
        case InfoRequest::CashierCollectedAmounts: {
            // A cashier's row has no cash from before: PreviousCollectedAmount stays 0.
            result = layer.ReadCashierCollectedAmounts(currencies, kCurrencyRows, &count);
            const CurrencyTotals* row = FindCurrencyRow(currencies, count, m_requestCurrency);
            if (result == 0 && row) {
                SetMoney(m_incomeAmount, row->amounts[0]);
                SetMoney(m_outcomeAmount, row->amounts[1]);
                SetMoney(m_collectedAmount, row->amounts[2]);
            }
            return result;
        }
    }
    return kBrontalBadArguments;
}

// The open day's journal is still being written: the printer gives no size and checksum for it
// in "ij", so its size is taken from where the day's journal starts and ends, and it has no
// checksum yet.
int CDrvKeltor::SessionJournalInfoSteps(CBrontal& layer) {
    DWORD session = m_requestSession;
    ULONG checksum = 0;
    DWORD size = m_electronicJournalSize;
    int result = layer.ReadSessionJournalInfo(&session, &size, &checksum);
    m_requestSession = static_cast<WORD>(session);
    if (result != 0) {
        return result;
    }
    m_electronicJournalSize = size;
    m_electronicJournalCrc = checksum;
    if ((m_statusWord & kStatusDayOpen) == 0) {
        return 0;
    }
    DWORD document = 0;
    DWORD currentSession = 0;
    DWORD receipt = 0;
    int documentType = 0;
    result = layer.ReadDocumentNumbers(&document, &currentSession, &receipt, &documentType);
    if (result != 0 || currentSession != session) {
        return result;
    }
    DWORD start = 0;
    DWORD end = 0;
    result = layer.ReadJournalInfo(&start, &end);
    if (result == 0) {
        // A journal that ends before it starts has nothing to count.
        m_electronicJournalSize = end >= start ? end - start : 0;
        m_electronicJournalCrc = 0;
    }
    return result;
}

// ---- the request methods ----

#define DRV_INFO_REQUEST(method, request)                                    \
    STDMETHODIMP CDrvKeltor::method() {                                      \
        return RunInfoRequest("CDrvKeltor::" #method, InfoRequest::request); \
    }

DRV_INFO_REQUEST(RequestSessionDocumentCount, SessionDocumentCount)
DRV_INFO_REQUEST(RequestSessionDateTime, SessionDateTime)
DRV_INFO_REQUEST(RequestSessionSalesByDepartment, SessionSalesByDepartment)
DRV_INFO_REQUEST(RequestSessionRefundsByDepartment, SessionRefundsByDepartment)
DRV_INFO_REQUEST(RequestSessionCashSalesRefundsByCurrency, SessionCashSalesRefundsByCurrency)
DRV_INFO_REQUEST(RequestSessionNoncashSalesRefundsByFacility, SessionNoncashSalesRefundsByFacility)
DRV_INFO_REQUEST(RequestSessionDiscountsSurcharges, SessionDiscountsSurcharges)
DRV_INFO_REQUEST(RequestSessionAccumulatedTotals, SessionAccumulatedTotals)
DRV_INFO_REQUEST(RequestSessionCollectedAmounts, SessionCollectedAmounts)
DRV_INFO_REQUEST(RequestSessionElectronicJournalInfo, SessionElectronicJournalInfo)
DRV_INFO_REQUEST(RequestSessionRestaurantOrders, SessionRestaurantOrders)
DRV_INFO_REQUEST(RequestReceiptSalesByDepartment, ReceiptSalesByDepartment)
DRV_INFO_REQUEST(RequestReceiptRefundsByDepartment, ReceiptRefundsByDepartment)
DRV_INFO_REQUEST(RequestReceiptCashPaymentsByCurrency, ReceiptCashPaymentsByCurrency)
DRV_INFO_REQUEST(RequestReceiptNoncashPaymentsByFacility, ReceiptNoncashPaymentsByFacility)
DRV_INFO_REQUEST(RequestReceiptDiscountsSurcharges, ReceiptDiscountsSurcharges)
DRV_INFO_REQUEST(RequestReceiptTotals, ReceiptTotals)
DRV_INFO_REQUEST(RequestReceiptCollectedAmountsByCurrency, ReceiptCollectedAmountsByCurrency)
DRV_INFO_REQUEST(RequestCashierCollectedAmounts, CashierCollectedAmounts)
DRV_INFO_REQUEST(RequestCashierNoncashPaymentsByFacility, CashierNoncashPaymentsByFacility)

#undef DRV_INFO_REQUEST

STDMETHODIMP CDrvKeltor::ReadDocumentNumber() {
    return RunDeviceMethod(*this, "CDrvKeltor::ReadDocumentNumber", [&](CDeviceFrame& frame) {
        DWORD document = m_documentNumber;
        DWORD session = m_sessionNumber;
        DWORD receipt = m_receiptNumber;
        int documentType = m_receiptType;
        const int result =
            frame.Layer().ReadDocumentNumbers(&document, &session, &receipt, &documentType);
        if (result == 0) {
            m_documentNumber = document;
            m_sessionNumber = session;
            m_receiptNumber = receipt;
            if ((m_statusWord & kStatusDayOpen) && (m_statusWord & kStatusReceiptOpen)) {
                m_receiptType = static_cast<WORD>(documentType);
            }
        }
        return result;
    });
}
