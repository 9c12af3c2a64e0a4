// 64-bit money arithmetic that saturates instead of overflowing. Amounts of real receipts stay
// far from the limits; a saturated value is at least not undefined and cannot wrap its sign.
#pragma once

#include <windows.h>

#include <limits>

namespace brontal {

constexpr LONGLONG kMoneyMax = std::numeric_limits<LONGLONG>::max();
constexpr LONGLONG kMoneyMin = std::numeric_limits<LONGLONG>::min();

inline LONGLONG SaturatedAdd(LONGLONG a, LONGLONG b) {
    if (b > 0 && a > kMoneyMax - b) {
        return kMoneyMax;
    }
    if (b < 0 && a < kMoneyMin - b) {
        return kMoneyMin;
    }
    return a + b;
}

inline LONGLONG SaturatedNegate(LONGLONG a) {
    return a == kMoneyMin ? kMoneyMax : -a;
}

inline LONGLONG SaturatedSubtract(LONGLONG a, LONGLONG b) {
    if (b == kMoneyMin) {
        return a >= 0 ? kMoneyMax : a - b;
    }
    return SaturatedAdd(a, -b);
}

inline LONGLONG SaturatedMultiply(LONGLONG a, LONGLONG b) {
    if (a == 0 || b == 0) {
        return 0;
    }
    const bool negative = (a < 0) != (b < 0);
    const unsigned long long ua =
        a < 0 ? 0ULL - static_cast<unsigned long long>(a) : static_cast<unsigned long long>(a);
    const unsigned long long ub =
        b < 0 ? 0ULL - static_cast<unsigned long long>(b) : static_cast<unsigned long long>(b);
    const unsigned long long limit = negative ? 0ULL - static_cast<unsigned long long>(kMoneyMin)
                                              : static_cast<unsigned long long>(kMoneyMax);
    if (ua > limit / ub) {
        return negative ? kMoneyMin : kMoneyMax;
    }
    const unsigned long long product = ua * ub;
    return negative ? static_cast<LONGLONG>(0ULL - product) : static_cast<LONGLONG>(product);
}

}  // namespace brontal
