// Programming tables: the payment facility, department and currency tables between the printer
// and the table item arrays, and the receipt header and footer texts.
//
// Element i of StringTableItems and of IntegerTableItems describe row i of a table: the name
// (for a currency its code) and the number (for a currency its number of decimals).
#include <cstring>

#include "DrvKeltor.h"
#include "DrvKeltorFrame.h"
#include "DrvKeltorText.h"

namespace {

// The longest header or footer "sb" and "se" can carry, and its terminator: a text the driver
// can write, it reads back whole.
constexpr DWORD kReceiptTextCapacity = 1024;
// The attribute of a department the printer has not told the driver about.
constexpr char kNewDepartmentLetter = 'N';
// The base currency code is three letters; a longer one is cut.
constexpr DWORD kBaseCodeCapacity = 16;

// Copies `text` cut to the row's width; the copy is always terminated.
void CopyCut(const AnsiText& text, LPSTR buffer, DWORD capacity) {
    const size_t length = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

// The rows a table write takes from the item arrays, element i of both making row i.
class CTableItems {
  public:
    CTableItems() = default;
    CTableItems(const CTableItems&) = delete;
    CTableItems& operator=(const CTableItems&) = delete;
    ~CTableItems() {
        if (m_names) {
            SafeArrayUnaccessData(m_strings);
        }
        if (m_numbers) {
            SafeArrayUnaccessData(m_integers);
        }
    }

    // E_INVALIDARG unless both arrays are held with the same number of elements, at least one.
    HRESULT Open(SAFEARRAY* strings, SAFEARRAY* integers) {
        LONG stringsUpper = -1;
        LONG integersUpper = -1;
        if (!strings || !integers || FAILED(SafeArrayGetUBound(strings, 1, &stringsUpper)) ||
            FAILED(SafeArrayGetUBound(integers, 1, &integersUpper)) ||
            stringsUpper != integersUpper || stringsUpper < 0) {
            return E_INVALIDARG;
        }
        void* names = nullptr;
        if (FAILED(SafeArrayAccessData(strings, &names))) {
            return E_INVALIDARG;
        }
        m_strings = strings;
        m_names = static_cast<const BSTR*>(names);
        void* numbers = nullptr;
        if (FAILED(SafeArrayAccessData(integers, &numbers))) {
            return E_INVALIDARG;
        }
        m_integers = integers;
        m_numbers = static_cast<const USHORT*>(numbers);
        m_count = stringsUpper + 1;
        return S_OK;
    }
    // The rows a table of at most `maximum` rows takes; later elements are left out.
    int Rows(int maximum) const { return m_count < maximum ? m_count : maximum; }
    USHORT Number(int row) const { return m_numbers[row]; }
    // The name of `row` in the printer's code page, cut to `capacity` - 1 bytes.
    HRESULT Name(int row, LPSTR buffer, DWORD capacity) const {
        AnsiText text;
        const HRESULT hr = AnsiFromBstr(m_names[row], text);
        if (FAILED(hr)) {
            return hr;
        }
        CopyCut(text, buffer, capacity);
        return S_OK;
    }

  private:
    SAFEARRAY* m_strings = nullptr;
    SAFEARRAY* m_integers = nullptr;
    const BSTR* m_names = nullptr;
    const USHORT* m_numbers = nullptr;
    int m_count = 0;
};

// New item arrays of `count` rows, named and numbered by `row(i, &name, &number)`; both or
// neither are made.
template <class Row>
HRESULT MakeItems(int count, Row&& row, SAFEARRAY** strings, SAFEARRAY** integers) {
    *strings = SafeArrayCreateVector(VT_BSTR, 0, static_cast<ULONG>(count));
    *integers = SafeArrayCreateVector(VT_UI2, 0, static_cast<ULONG>(count));
    void* names = nullptr;
    void* numbers = nullptr;
    HRESULT hr = *strings && *integers ? S_OK : E_OUTOFMEMORY;
    if (SUCCEEDED(hr) && SUCCEEDED(hr = SafeArrayAccessData(*strings, &names))) {
        if (SUCCEEDED(hr = SafeArrayAccessData(*integers, &numbers))) {
            for (int i = 0; i < count && SUCCEEDED(hr); ++i) {
                LPCSTR name = "";
                USHORT number = 0;
                row(i, &name, &number);
                static_cast<USHORT*>(numbers)[i] = number;
                hr = BstrFromAnsi(name, &static_cast<BSTR*>(names)[i]);
            }
            SafeArrayUnaccessData(*integers);
        }
        SafeArrayUnaccessData(*strings);
    }
    if (FAILED(hr)) {
        SafeArrayDestroy(*strings);
        SafeArrayDestroy(*integers);
        *strings = nullptr;
        *integers = nullptr;
    }
    return hr;
}

// The printer's number for each currency row: the number it already gives that code, so that a
// table read and written back stays as it was; a code new to it takes its row index, or the
// lowest number no other row has.
void NumberCurrencies(const CBrontal& layer, CurrencyEntry* rows, int count) {
    bool known[kCurrencyTableCapacity] = {};
    for (int i = 0; i < count; ++i) {
        for (int k = 0; k < layer.CurrencyCount(); ++k) {
            const CurrencyEntry* entry = layer.Currency(k);
            if (entry && SameTextNoCase(entry->name, rows[i].name)) {
                rows[i].code = entry->code;
                known[i] = true;
                break;
            }
        }
    }
    auto taken = [&](LONG number, int except) {
        for (int i = 0; i < count; ++i) {
            if (i != except && (known[i] || i < except) && rows[i].code == number) {
                return true;
            }
        }
        return false;
    };
    for (int i = 0; i < count; ++i) {
        if (known[i]) {
            continue;
        }
        LONG number = i;
        if (taken(number, i)) {
            number = 0;
            while (taken(number, i)) {
                ++number;
            }
        }
        rows[i].code = number;
    }
}

// The frame of a table method. The steps return the command's result, or 0 with `refusal` set
// to the HRESULT the method gives instead (arrays that do not make a table, or no room for
// them); a refusal sends no table command and leaves the result code at the refresh's 0.
template <class Steps>
HRESULT RunTableMethod(CDrvKeltor& object, LPCSTR name, Steps&& steps) {
    HRESULT refusal = S_OK;
    const HRESULT hr = RunDeviceMethod(
        object, name, [&](CDeviceFrame& frame) { return steps(frame.Layer(), refusal); });
    return FAILED(refusal) ? refusal : hr;
}

// Replaces a held array by a new one.
void ReplaceItems(SAFEARRAY*& held, SAFEARRAY* replacement) {
    if (held) {
        SafeArrayDestroy(held);
    }
    held = replacement;
}

// After a table read: the held item arrays replaced by the rows' names and the numbers that
// `numberOf` gives. When the new arrays cannot be made, the held ones stay and the failure is
// returned.
template <class Entry, class NumberOf>
HRESULT TakeRows(const Entry* rows, int count, NumberOf&& numberOf, SAFEARRAY*& strings,
                 SAFEARRAY*& integers) {
    SAFEARRAY* newStrings = nullptr;
    SAFEARRAY* newIntegers = nullptr;
    const HRESULT hr = MakeItems(
        count,
        [&](int i, LPCSTR* name, USHORT* number) {
            *name = rows[i].name;
            *number = static_cast<USHORT>(numberOf(rows[i]));
        },
        &newStrings, &newIntegers);
    if (SUCCEEDED(hr)) {
        ReplaceItems(strings, newStrings);
        ReplaceItems(integers, newIntegers);
    }
    return hr;
}

// Before a table write: the rows the item arrays make, at most as many as `rows` holds; each
// name cut to its row's width, and `fill(row, number)` placing the number where this table
// keeps it. E_INVALIDARG (or the failed name conversion) when the arrays make no table.
template <class Entry, int Capacity, class Fill>
HRESULT RowsFromItems(SAFEARRAY* strings, SAFEARRAY* integers, Entry (&rows)[Capacity], int* count,
                      Fill&& fill) {
    CTableItems items;
    HRESULT hr = items.Open(strings, integers);
    if (FAILED(hr)) {
        return hr;
    }
    *count = items.Rows(Capacity);
    for (int i = 0; i < *count; ++i) {
        fill(rows[i], items.Number(i));
        hr = items.Name(i, rows[i].name, sizeof rows[i].name);
        if (FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

}  // namespace

// ---- payment facilities ----

STDMETHODIMP CDrvKeltor::ReadPaymentFacilityTable() {
    return RunTableMethod(
        *this, "CDrvKeltor::ReadPaymentFacilityTable", [&](CBrontal& layer, HRESULT& refusal) {
            PaymentFacilityEntry rows[kPaymentFacilityTableCapacity];
            LONG start = 0;
            int count = 0;
            const int result =
                layer.ReadPaymentFacilities(&start, rows, kPaymentFacilityTableCapacity, &count);
            if (result == 0) {
                refusal = TakeRows(
                    rows, count, [](const PaymentFacilityEntry& row) { return row.number; },
                    m_stringTableItems, m_integerTableItems);
            }
            return result;
        });
}

STDMETHODIMP CDrvKeltor::WritePaymentFacilityTable() {
    return RunTableMethod(
        *this, "CDrvKeltor::WritePaymentFacilityTable", [&](CBrontal& layer, HRESULT& refusal) {
            PaymentFacilityEntry rows[kPaymentFacilityTableCapacity] = {};
            int count = 0;
            refusal = RowsFromItems(
                m_stringTableItems, m_integerTableItems, rows, &count,
                [](PaymentFacilityEntry& row, USHORT number) { row.number = number; });
            return FAILED(refusal) ? 0 : layer.WritePaymentFacilities(rows, count);
        });
}

// ---- departments ----

STDMETHODIMP CDrvKeltor::ReadDepartmentTable() {
    return RunTableMethod(
        *this, "CDrvKeltor::ReadDepartmentTable", [&](CBrontal& layer, HRESULT& refusal) {
            DepartmentEntry rows[kDepartmentTableCapacity];
            LONG start = 0;
            int count = 0;
            const int result =
                layer.ReadDepartments(&start, rows, kDepartmentTableCapacity, &count);
            if (result != 0) {
                return result;
            }
            refusal = TakeRows(
                rows, count, [](const DepartmentEntry& row) { return row.number; },
                m_stringTableItems, m_integerTableItems);
            if (SUCCEEDED(refusal)) {
                for (int i = 0; i < count; ++i) {
                    m_departmentLetters[i] = rows[i];
                }
                m_departmentLetterCount = count;
            }
            return 0;
        });
}

STDMETHODIMP CDrvKeltor::WriteDepartmentTable() {
    return RunTableMethod(
        *this, "CDrvKeltor::WriteDepartmentTable", [&](CBrontal& layer, HRESULT& refusal) {
            DepartmentEntry rows[kDepartmentTableCapacity] = {};
            int count = 0;
            // A department keeps the tax letter the printer gave it when the table was read:
            // writing a table back must not move every department into another tax group.
            refusal = RowsFromItems(m_stringTableItems, m_integerTableItems, rows, &count,
                                    [&](DepartmentEntry& row, USHORT number) {
                                        row.number = number;
                                        row.taxGroup = kNewDepartmentLetter;
                                        for (int k = 0; k < m_departmentLetterCount; ++k) {
                                            if (m_departmentLetters[k].number == number) {
                                                row.taxGroup = m_departmentLetters[k].taxGroup;
                                                break;
                                            }
                                        }
                                    });
            return FAILED(refusal) ? 0 : layer.WriteDepartments(rows, count);
        });
}

// ---- currencies ----

STDMETHODIMP CDrvKeltor::ReadCurrencyTable() {
    return RunTableMethod(
        *this, "CDrvKeltor::ReadCurrencyTable", [&](CBrontal& layer, HRESULT& refusal) {
            CurrencyEntry rows[kCurrencyTableCapacity];
            char baseCode[kBaseCodeCapacity] = {};
            LONG start = 0;
            int count = 0;
            const int result = layer.ReadCurrencies(&start, baseCode, sizeof baseCode, rows,
                                                    kCurrencyTableCapacity, &count);
            if (result == 0) {
                m_defaultStringTableItem = baseCode;
                refusal = TakeRows(
                    rows, count, [](const CurrencyEntry& row) { return row.decimals; },
                    m_stringTableItems, m_integerTableItems);
            }
            return result;
        });
}

STDMETHODIMP CDrvKeltor::WriteCurrencyTable() {
    return RunTableMethod(
        *this, "CDrvKeltor::WriteCurrencyTable", [&](CBrontal& layer, HRESULT& refusal) {
            CurrencyEntry rows[kCurrencyTableCapacity] = {};
            int count = 0;
            refusal = m_defaultStringTableItem.empty()
                          ? E_INVALIDARG
                          : RowsFromItems(
                                m_stringTableItems, m_integerTableItems, rows, &count,
                                [](CurrencyEntry& row, USHORT number) { row.decimals = number; });
            if (FAILED(refusal)) {
                return 0;
            }
            NumberCurrencies(layer, rows, count);
            return layer.WriteCurrencies(m_defaultStringTableItem.c_str(), rows, count);
        });
}

// ---- receipt header and footer ----

STDMETHODIMP CDrvKeltor::ReadReceiptHeader() {
    return RunDeviceMethod(*this, "CDrvKeltor::ReadReceiptHeader", [&](CDeviceFrame& frame) {
        // The width only tells how the lines wrap; its failure is not the method's.
        if (m_printerWidth == 0) {
            RefreshHardwareStatus();
        }
        char text[kReceiptTextCapacity] = {};
        const int result = frame.Layer().ReadReceiptHeader(text, sizeof text);
        if (result == 0) {
            m_receiptHeader = text;
        }
        return result;
    });
}

STDMETHODIMP CDrvKeltor::ReadReceiptFooter() {
    return RunDeviceMethod(*this, "CDrvKeltor::ReadReceiptFooter", [&](CDeviceFrame& frame) {
        if (m_printerWidth == 0) {
            RefreshHardwareStatus();
        }
        char text[kReceiptTextCapacity] = {};
        const int result = frame.Layer().ReadReceiptFooter(text, sizeof text);
        if (result == 0) {
            m_receiptFooter = text;
        }
        return result;
    });
}

STDMETHODIMP CDrvKeltor::WriteReceiptHeader() {
    return RunDeviceMethod(*this, "CDrvKeltor::WriteReceiptHeader", [&](CDeviceFrame& frame) {
        return frame.Layer().WriteReceiptHeader(m_receiptHeader.c_str());
    });
}

STDMETHODIMP CDrvKeltor::WriteReceiptFooter() {
    return RunDeviceMethod(*this, "CDrvKeltor::WriteReceiptFooter", [&](CDeviceFrame& frame) {
        return frame.Layer().WriteReceiptFooter(m_receiptFooter.c_str());
    });
}
