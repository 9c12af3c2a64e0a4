// Money rounding to the smallest coin of the currency.
#include "Brontal.h"
#include "FiscalCommand.h"
#include "SaturatedMath.h"

using brontal::SaturatedAdd;
using brontal::SaturatedMultiply;
using brontal::SaturatedSubtract;
using fiscal::PowerOfTen;

namespace {

// 10^9 is the largest power of ten of a 32-bit scale.
constexpr DWORD kMaxDecimals = 9;

LONGLONG Magnitude(LONGLONG value) {
    return value < 0 ? brontal::SaturatedNegate(value) : value;
}

}  // namespace

LONGLONG CBrontal::RoundToMinBill(LONGLONG value, DWORD* scale, LONGLONG minBill, DWORD decimals) {
    if (minBill <= 0) {
        return value;
    }
    if (decimals > kMaxDecimals) {
        decimals = kMaxDecimals;
    }
    const DWORD target = PowerOfTen(decimals);
    DWORD current = (scale && *scale > 1) ? *scale : 1;

    // More decimals than the currency has: the extra digits are cut, not rounded.
    if (current > 1) {
        DWORD rest = current;
        for (DWORD i = 0; i < decimals && rest >= 2; ++i) {
            rest /= 10;
        }
        if (rest > 1) {
            value /= static_cast<LONGLONG>(rest);
            current = target;
        }
    }
    if (current < target) {
        value = SaturatedMultiply(value, static_cast<LONGLONG>(target / current));
    }
    if (scale) {
        *scale = target;
    }

    // The nearest multiple of the minimum bill, halves away from zero. The half is an integer
    // one, so for a minimum bill of 5 a remainder of 2 already goes up (12.32 -> 12.35).
    const LONGLONG remainder = value % minBill;
    if (remainder == 0) {
        return value;
    }
    const LONGLONG base = value - remainder;
    const LONGLONG half = minBill / 2;
    if (Magnitude(remainder) < half) {
        return base;
    }
    return remainder > 0 ? SaturatedAdd(base, minBill) : SaturatedSubtract(base, minBill);
}

LONGLONG CBrontal::MultiplyRounded(LONGLONG x, LONGLONG y, LONGLONG divisor, LONGLONG minBill,
                                   DWORD* scale, DWORD decimals) {
    if (divisor <= 0) {
        divisor = 1;
    }
    const LONGLONG product = SaturatedMultiply(x, y);
    LONGLONG quotient = product / divisor;
    const LONGLONG remainder = product % divisor;
    // Half up for positive amounts; a negative remainder is simply dropped (toward zero).
    if (divisor > 1 && remainder > 0 && remainder >= divisor / 2) {
        quotient = SaturatedAdd(quotient, 1);
    }
    return RoundToMinBill(quotient, scale, minBill, decimals);
}

LONGLONG CBrontal::SubtractRounded(LONGLONG x, DWORD xScale, LONGLONG y, DWORD yScale,
                                   LONGLONG minBill, DWORD* scale, DWORD decimals) {
    if (xScale == 0) {
        xScale = 1;
    }
    if (yScale == 0) {
        yScale = 1;
    }
    // Raise the smaller scale by tens until the two meet (scales are powers of ten).
    while (xScale < yScale && xScale <= 0xFFFFFFFFU / 10) {
        x = SaturatedMultiply(x, 10);
        xScale *= 10;
    }
    while (yScale < xScale && yScale <= 0xFFFFFFFFU / 10) {
        y = SaturatedMultiply(y, 10);
        yScale *= 10;
    }
    DWORD common = xScale > yScale ? xScale : yScale;
    const LONGLONG difference = Magnitude(SaturatedSubtract(x, y));
    const LONGLONG rounded = RoundToMinBill(difference, &common, minBill, decimals);
    if (scale) {
        *scale = common;
    }
    return rounded;
}
