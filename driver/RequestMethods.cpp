// Session, receipt and cashier requests: one printer request each, whose reply gives the result
// properties; for the lists, the row that the request properties select.
//
// The result properties of a request read 0 once it has started: after a failure, and when no
// row matches, nothing is left of an earlier request.
#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"
#include "ReceiptContext.h"

namespace {

// Rows a list reply may hold: one per department, payment facility or currency the printer has.
constexpr int kDepartmentRows = kDepartmentTableCapacity;
constexpr int kFacilityRows = kPaymentFacilityTableCapacity;
constexpr int kCurrencyRows = kCurrencyTableCapacity;

void SetMoney(CY& property, const DecimalPair& amount) {
    property.int64 = MoneyFromPair(amount);
}

// The most amounts and counts one request gives.
constexpr int kMostInfoAmounts = kCurrencyTotalsAmounts;
constexpr int kMostInfoCounts = 5;

// A request's reply as read: the rows of a list, or the amounts and counts of a single answer.
struct InfoReply {
    DepartmentTotals departments[kDepartmentRows] = {};
    FacilityTotals facilities[kFacilityRows] = {};
    CurrencyTotals currencies[kCurrencyRows] = {};
    int count = 0;  // rows of the list
    DecimalPair pairs[kMostInfoAmounts] = {};
    DWORD counts[kMostInfoCounts] = {};
};

// Which row of a list reply the request properties select; None: the reply is one answer.
enum class RowKey { None, Department, Facility, Currency };

// The amounts of the selected row (or of the single answer), in the order the reply gives them.
struct SelectedAmounts {
    const DecimalPair* amounts;  // nullptr: no row matches
    int count;
};

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

SelectedAmounts SelectRow(RowKey key, const InfoReply& reply, WORD department, WORD facility,
                          const AnsiText& currency) {
    switch (key) {
        case RowKey::Department: {
            const DepartmentTotals* row =
                FindNumberedRow(reply.departments, reply.count, department);
            return {row ? &row->first : nullptr, 1};
        }
        case RowKey::Facility: {
            const FacilityTotals* row = FindNumberedRow(reply.facilities, reply.count, facility);
            return {row ? row->amounts : nullptr, kFacilityTotalsAmounts};
        }
        case RowKey::Currency: {
            const CurrencyTotals* row = FindCurrencyRow(reply.currencies, reply.count, currency);
            return {row ? row->amounts : nullptr, kCurrencyTotalsAmounts};
        }
        case RowKey::None:
            break;
    }
    return {reply.pairs, kMostInfoAmounts};
}

// A session's start or end as the printer writes it ("20261207", "015207"); parts that cannot be
// read count as 0, and a moment that is no calendar date gives 0.
DATE SessionMoment(LPCSTR date, LPCSTR time) {
    DATE value = 0;
    return DateOfPrinterClock(date, time, true, &value) ? value : 0;
}

}  // namespace

// One row per request: how its reply is read, which row of a list reply the request properties
// select, and the result properties its amounts and counts go to, in the order the reply gives
// them. Every result property a row names is cleared when the request starts.
struct CDrvKeltor::InfoRequestRow {
    InfoRequest request = InfoRequest::SessionDocumentCount;
    // The reply read into `reply`; `session` is the session asked about, for the session requests.
    int (*read)(CBrontal& layer, DWORD* session, InfoReply& reply) = nullptr;
    // The reply names the session it is about; its number goes back into RequestSession.
    bool namesSession = false;
    RowKey key = RowKey::None;
    CY CDrvKeltor::*amounts[kMostInfoAmounts] = {};
    DWORD CDrvKeltor::*counts[kMostInfoCounts] = {};
    // Counts that an earlier request left are kept when the request starts.
    bool keepsCounts = false;
    // Cleared when the request starts, though the reply gives nothing for it.
    CY CDrvKeltor::*clearedOnly = nullptr;
    // A request whose reply is no list of amounts has steps of its own.
    int (CDrvKeltor::*steps)(CBrontal& layer) = nullptr;
};

const CDrvKeltor::InfoRequestRow& CDrvKeltor::InfoRequestRowOf(InfoRequest request) {
    using R = InfoReply;
    using D = CDrvKeltor;
    static const InfoRequestRow kRows[] = {
        {.request = InfoRequest::SessionDocumentCount,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 SessionDocumentCounts counts = {};
                 const int result = layer.ReadSessionDocumentCounts(session, &counts);
                 reply.counts[0] = counts.documentNumber;
                 reply.counts[1] = counts.salesCount;
                 reply.counts[2] = counts.refundsCount;
                 reply.counts[3] = counts.documentsCount;
                 reply.counts[4] = counts.cancellationCount;
                 return result;
             },
         .namesSession = true,
         .counts = {&D::m_documentNumber, &D::m_salesCount, &D::m_refundsCount,
                    &D::m_documentsCount, &D::m_cancellationCount}},
        {.request = InfoRequest::SessionDateTime, .steps = &D::SessionDateTimeSteps},
        {.request = InfoRequest::SessionSalesByDepartment,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionSalesByDepartment(session, reply.departments,
                                                           kDepartmentRows, &reply.count);
             },
         .namesSession = true,
         .key = RowKey::Department,
         .amounts = {&D::m_salesAmount}},
        {.request = InfoRequest::SessionRefundsByDepartment,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionRefundsByDepartment(session, reply.departments,
                                                             kDepartmentRows, &reply.count);
             },
         .namesSession = true,
         .key = RowKey::Department,
         .amounts = {&D::m_refundsAmount}},
        {.request = InfoRequest::SessionCashSalesRefundsByCurrency,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionCashByCurrency(session, reply.currencies, kCurrencyRows,
                                                        &reply.count);
             },
         .namesSession = true,
         .key = RowKey::Currency,
         .amounts = {&D::m_salesAmount, &D::m_salesAmountInCurrency, &D::m_refundsAmount,
                     &D::m_refundsAmountInCurrency}},
        {.request = InfoRequest::SessionNoncashSalesRefundsByFacility,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionNoncashByFacility(session, reply.facilities, kFacilityRows,
                                                           &reply.count);
             },
         .namesSession = true,
         .key = RowKey::Facility,
         .amounts = {&D::m_salesAmount, &D::m_refundsAmount}},
        {.request = InfoRequest::SessionDiscountsSurcharges,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionDiscountsSurcharges(session, &reply.pairs[0],
                                                             &reply.pairs[1]);
             },
         .namesSession = true,
         .amounts = {&D::m_discountsAmount, &D::m_surchargesAmount}},
        // The annulments the reply gives after sales and refunds have no property.
        {.request = InfoRequest::SessionAccumulatedTotals,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionAccumulatedTotals(session, &reply.pairs[0],
                                                           &reply.pairs[1], &reply.pairs[2]);
             },
         .namesSession = true,
         .amounts = {&D::m_accumulatedSalesAmount, &D::m_accumulatedRefundsAmount}},
        {.request = InfoRequest::SessionCollectedAmounts,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionCollectedAmounts(session, reply.currencies, kCurrencyRows,
                                                          &reply.count);
             },
         .namesSession = true,
         .key = RowKey::Currency,
         .amounts = {&D::m_incomeAmount, &D::m_outcomeAmount, &D::m_previousCollectedAmount,
                     &D::m_collectedAmount}},
        {.request = InfoRequest::SessionElectronicJournalInfo,
         .counts = {&D::m_electronicJournalCrc},
         .steps = &D::SessionJournalInfoSteps},
        // The reply does not name the session: RequestSession stays as it was.
        {.request = InfoRequest::SessionRestaurantOrders,
         .read =
             [](CBrontal& layer, DWORD* session, R& reply) {
                 return layer.ReadSessionRestaurantOrders(
                     session, &reply.pairs[0], &reply.counts[0], &reply.pairs[1], &reply.counts[1]);
             },
         .amounts = {&D::m_restaurantOpenOrderAmount, &D::m_restaurantClosedOrderAmount},
         .counts = {&D::m_restaurantOpenOrderCount, &D::m_restaurantClosedOrderCount},
         .keepsCounts = true},
        {.request = InfoRequest::ReceiptSalesByDepartment,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadReceiptSalesByDepartment(reply.departments, kDepartmentRows,
                                                           &reply.count);
             },
         .key = RowKey::Department,
         .amounts = {&D::m_salesAmount}},
        {.request = InfoRequest::ReceiptRefundsByDepartment,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadReceiptRefundsByDepartment(reply.departments, kDepartmentRows,
                                                             &reply.count);
             },
         .key = RowKey::Department,
         .amounts = {&D::m_refundsAmount}},
        {.request = InfoRequest::ReceiptCashPaymentsByCurrency,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadReceiptCashByCurrency(reply.currencies, kCurrencyRows,
                                                        &reply.count);
             },
         .key = RowKey::Currency,
         .amounts = {&D::m_paymentAmount, &D::m_paymentAmountInCurrency}},
        {.request = InfoRequest::ReceiptNoncashPaymentsByFacility,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadReceiptNoncashByFacility(reply.facilities, kFacilityRows,
                                                           &reply.count);
             },
         .key = RowKey::Facility,
         .amounts = {&D::m_paymentAmount}},
        {.request = InfoRequest::ReceiptDiscountsSurcharges,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadReceiptDiscountsSurcharges(&reply.pairs[0], &reply.pairs[1]);
             },
         .amounts = {&D::m_discountsAmount, &D::m_surchargesAmount}},
        {.request = InfoRequest::ReceiptTotals,
         .read = [](CBrontal& layer, DWORD*,
                    R& reply) { return layer.ReadReceiptTotals(&reply.pairs[0], &reply.pairs[1]); },
         .amounts = {&D::m_salesAmount, &D::m_paymentAmount}},
        {.request = InfoRequest::ReceiptCollectedAmountsByCurrency,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadReceiptCollectedByCurrency(reply.currencies, kCurrencyRows,
                                                             &reply.count);
             },
         .key = RowKey::Currency,
         .amounts = {&D::m_incomeAmount}},
        // A cashier's row has no cash from before: PreviousCollectedAmount stays 0.
        {.request = InfoRequest::CashierCollectedAmounts,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadCashierCollectedAmounts(reply.currencies, kCurrencyRows,
                                                          &reply.count);
             },
         .key = RowKey::Currency,
         .amounts = {&D::m_incomeAmount, &D::m_outcomeAmount, &D::m_collectedAmount},
         .clearedOnly = &D::m_previousCollectedAmount},
        {.request = InfoRequest::CashierNoncashPaymentsByFacility,
         .read =
             [](CBrontal& layer, DWORD*, R& reply) {
                 return layer.ReadCashierNoncashByFacility(reply.facilities, kFacilityRows,
                                                           &reply.count);
             },
         .key = RowKey::Facility,
         .amounts = {&D::m_paymentAmount}},
    };
    for (const InfoRequestRow& row : kRows) {
        if (row.request == request) {
            return row;
        }
    }
    // Every request has its row: the enumeration and the table are kept together.
    return kRows[0];
}

HRESULT CDrvKeltor::RunInfoRequest(LPCSTR name, InfoRequest request) {
    const InfoRequestRow& row = InfoRequestRowOf(request);
    return RunDeviceMethod(*this, name, [&](CDeviceFrame& frame) {
        ClearInfoResults(row);
        return InfoRequestSteps(frame.Layer(), row);
    });
}

void CDrvKeltor::ClearInfoResults(const InfoRequestRow& row) {
    for (CY CDrvKeltor::*amount : row.amounts) {
        if (amount) {
            (this->*amount).int64 = 0;
        }
    }
    if (row.clearedOnly) {
        (this->*row.clearedOnly).int64 = 0;
    }
    for (DWORD CDrvKeltor::*count : row.counts) {
        if (count && !row.keepsCounts) {
            this->*count = 0;
        }
    }
}

int CDrvKeltor::InfoRequestSteps(CBrontal& layer, const InfoRequestRow& row) {
    if (row.steps) {
        return (this->*row.steps)(layer);
    }
    DWORD session = m_requestSession;
    InfoReply reply;
    const int result = row.read(layer, &session, reply);
    if (row.namesSession) {
        m_requestSession = static_cast<WORD>(session);
    }
    const SelectedAmounts selected =
        SelectRow(row.key, reply, m_requestDepartment, m_requestNoncashFacility, m_requestCurrency);
    if (result != 0 || !selected.amounts) {
        return result;
    }
    for (int i = 0; i < selected.count; ++i) {
        if (row.amounts[i]) {
            SetMoney(this->*row.amounts[i], selected.amounts[i]);
        }
    }
    for (int i = 0; i < kMostInfoCounts; ++i) {
        if (row.counts[i]) {
            this->*row.counts[i] = reply.counts[i];
        }
    }
    return result;
}

int CDrvKeltor::SessionDateTimeSteps(CBrontal& layer) {
    DWORD session = m_requestSession;
    SessionDateTime dates = {};
    const int result = layer.ReadSessionDateTime(&session, &dates);
    m_requestSession = static_cast<WORD>(session);
    m_sessionStartDate = SessionMoment(dates.startDate, dates.startTime);
    m_sessionEndDate = SessionMoment(dates.endDate, dates.endTime);
    return result;
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

// The requests' twins: the request itself, under the twin's name.
DRV_INFO_REQUEST(ReqOperNoncashPaymentsByFacil2, CashierNoncashPaymentsByFacility)
DRV_INFO_REQUEST(ReqSessAccumulatedTotals2, SessionAccumulatedTotals)
DRV_INFO_REQUEST(ReqSessCashSalesRefsByCurr2, SessionCashSalesRefundsByCurrency)
DRV_INFO_REQUEST(ReqSessDiscountsSurcharges2, SessionDiscountsSurcharges)
DRV_INFO_REQUEST(ReqSessElectronicJournalInfo2, SessionElectronicJournalInfo)
DRV_INFO_REQUEST(ReqSessNoncashSalsRefsByFacil2, SessionNoncashSalesRefundsByFacility)
DRV_INFO_REQUEST(ReqSessRefundsByDepartment2, SessionRefundsByDepartment)
DRV_INFO_REQUEST(ReqSessSalesByDepartment2, SessionSalesByDepartment)
DRV_INFO_REQUEST(ReqRcptCashPaymentsByCurrency2, ReceiptCashPaymentsByCurrency)
DRV_INFO_REQUEST(ReqRcptCollectedAmountsByCurr2, ReceiptCollectedAmountsByCurrency)
DRV_INFO_REQUEST(ReqRcptDiscountsSurcharges2, ReceiptDiscountsSurcharges)
DRV_INFO_REQUEST(ReqRcptNoncashPaymentsByFacil2, ReceiptNoncashPaymentsByFacility)
DRV_INFO_REQUEST(ReqtRcptRefundsByDepartment2, ReceiptRefundsByDepartment)
DRV_INFO_REQUEST(ReqtRcptSalesByDepartment2, ReceiptSalesByDepartment)

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
