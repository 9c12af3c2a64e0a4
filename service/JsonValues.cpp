#include "JsonValues.h"

#include "Answer.h"

#include <cmath>

#include "DispatchClient.h"
#include "Values.h"

namespace brontald {

namespace {

constexpr double kMaxMoney = 9.2e14;  // well inside CY, whose range is about 9.2e14 units

Json ElementJson(SAFEARRAY* array, LONG index, VARTYPE type) {
    VARIANT element;
    VariantInit(&element);
    element.vt = type;
    void* into = nullptr;
    switch (type) {
        case VT_BSTR:
            into = &element.bstrVal;
            break;
        case VT_UI2:
            into = &element.uiVal;
            break;
        case VT_I4:
            into = &element.lVal;
            break;
        default:
            return nullptr;  // the driver has no other arrays
    }
    if (FAILED(SafeArrayGetElement(array, &index, into))) {
        return nullptr;
    }
    Json json = VariantJson(element);
    VariantClear(&element);
    return json;
}

}  // namespace

bool ParseJsonMoney(const Json& value, LONGLONG* money) {
    if (value.is_string()) {
        return drvkeltor::ParseMoney(value.get<std::string>(), money);
    }
    if (value.is_number_integer()) {
        const long long whole = value.get<long long>();
        if (whole > static_cast<long long>(kMaxMoney) ||
            whole < -static_cast<long long>(kMaxMoney)) {
            return false;
        }
        *money = whole * 10000;
        return true;
    }
    if (value.is_number_float()) {
        const double number = value.get<double>();
        if (!std::isfinite(number) || std::fabs(number) > kMaxMoney) {
            return false;
        }
        const double scaled = number * 10000.0;
        const double rounded = std::round(scaled);
        // 12.345 arrives as 12.3449999...: a number is taken when it is within a rounding error
        // of four decimals.
        if (std::fabs(scaled - rounded) > 1e-6 * std::fmax(1.0, std::fabs(scaled))) {
            return false;
        }
        *money = static_cast<LONGLONG>(rounded);
        return true;
    }
    return false;
}

bool FitsPrinterText(const std::string& utf8) {
    if (utf8.empty()) {
        return true;
    }
    const salestest::WideText wide = salestest::WideFromUtf8(utf8);
    if (wide.empty()) {
        return false;  // not UTF-8
    }
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                           nullptr, 0, nullptr, &usedDefault);
    // A zero character would end the text inside the driver.
    return length > 0 && !usedDefault && wide.find(OLECHAR(0)) == salestest::WideText::npos;
}

Json VariantJson(const VARIANT& value) {
    if (value.vt & VT_ARRAY) {
        Json items = Json::array();
        LONG low = 0;
        LONG high = -1;
        if (!value.parray || FAILED(SafeArrayGetLBound(value.parray, 1, &low)) ||
            FAILED(SafeArrayGetUBound(value.parray, 1, &high))) {
            return items;
        }
        const VARTYPE type = static_cast<VARTYPE>(value.vt & ~VT_ARRAY);
        for (LONG i = low; i <= high; ++i) {
            items.push_back(ElementJson(value.parray, i, type));
        }
        return items;
    }
    switch (value.vt) {
        case VT_UI2:
            return value.uiVal;
        case VT_I2:
            return value.iVal;
        case VT_UI4:
            return value.ulVal;
        case VT_I4:
            return value.lVal;
        case VT_EMPTY:
            return nullptr;
        default:
            return drvkeltor::FormatValue(value);
    }
}

bool JsonValueText(const Json& value, VARTYPE type, std::string* text, std::string* error) {
    if (value.is_string()) {
        *text = value.get<std::string>();
        return true;
    }
    if (value.is_number_integer() || value.is_number_unsigned()) {
        *text = value.dump();
        return true;
    }
    if (value.is_number_float()) {
        LONGLONG money = 0;
        if (!ParseJsonMoney(value, &money)) {
            *error = "a number with more than four decimals";
            return false;
        }
        *text = drvkeltor::FormatMoney(money);
        return true;
    }
    if (value.is_boolean()) {
        *text = value.get<bool>() ? "1" : "0";
        return true;
    }
    if (value.is_array() && (type & VT_ARRAY)) {
        const char separator = (type & ~VT_ARRAY) == VT_BSTR ? '|' : ',';
        std::string joined;
        for (size_t i = 0; i < value.size(); ++i) {
            std::string item;
            if (value[i].is_array() || !JsonValueText(value[i], type & ~VT_ARRAY, &item, error)) {
                *error = "item " + std::to_string(i) + ": " +
                         (error->empty() ? std::string("not a value") : *error);
                return false;
            }
            if (item.find(separator) != std::string::npos) {
                *error = "item " + std::to_string(i) + " holds the separator '" +
                         std::string(1, separator) + "'";
                return false;
            }
            joined += (i ? std::string(1, separator) : std::string()) + item;
        }
        *text = joined;
        return true;
    }
    *error = value.is_array() ? "an array for a value that is not one" : "not a value";
    return false;
}

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Answer ErrorAnswer(int status, const std::string& code, const std::string& message) {
    Answer answer;
    answer.status = status;
    answer.body = {{"error", {{"code", code}, {"message", message}}}};
    return answer;
}

}  // namespace brontald
