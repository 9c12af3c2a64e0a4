#include "Money.h"

#include <cstdlib>
#include <limits>

namespace emu {

namespace {

Money PowerOfTen(unsigned n) {
    Money p = 1;
    for (unsigned i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

}  // namespace

bool ParseAmount(const std::string& text, unsigned maxDecimals, Money limit, Money& value) {
    size_t at = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) {
        ++at;
    }
    Money units = 0;
    size_t integerDigits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++integerDigits) {
        units = units * 10 + (text[at] - '0');
        if (units > limit / kMoneyScale) {
            return false;
        }
    }
    if (integerDigits == 0) {
        return false;
    }
    Money fraction = 0;
    unsigned decimals = 0;
    if (at < text.size()) {
        if (text[at] != '.') {
            return false;
        }
        ++at;
        if (at == text.size()) {
            return false;  // "12." is not how an amount is written
        }
        for (; at < text.size(); ++at, ++decimals) {
            if (text[at] < '0' || text[at] > '9' || decimals >= maxDecimals ||
                decimals >= kMoneyDecimals) {
                return false;
            }
            fraction = fraction * 10 + (text[at] - '0');
        }
    }
    Money magnitude = units * kMoneyScale + fraction * PowerOfTen(kMoneyDecimals - decimals);
    if (magnitude > limit) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

Money RoundToDecimals(Money value, unsigned decimals) {
    if (decimals >= kMoneyDecimals) {
        return value;
    }
    const Money step = PowerOfTen(kMoneyDecimals - decimals);
    const Money magnitude = value < 0 ? -value : value;
    const Money rounded = (magnitude + step / 2) / step * step;
    return value < 0 ? -rounded : rounded;
}

std::string FormatAmount(Money value, unsigned decimals) {
    if (decimals > kMoneyDecimals) {
        decimals = kMoneyDecimals;
    }
    const Money rounded = RoundToDecimals(value, decimals);
    const Money magnitude = rounded < 0 ? -rounded : rounded;
    std::string text = rounded < 0 ? "-" : "";
    text += std::to_string(magnitude / kMoneyScale);
    if (decimals > 0) {
        const std::string fraction =
            std::to_string(magnitude % kMoneyScale + kMoneyScale).substr(1);  // four digits
        text += '.';
        text += fraction.substr(0, decimals);
    }
    return text;
}

bool MultiplyQuantity(Money price, Money quantity, unsigned decimals, Money& amount) {
    // Both factors are bounded (kMaxFieldAmount, kMaxQuantity), but their product is not: it is
    // taken in 128 bits and only then checked.
    const __int128 product = static_cast<__int128>(price) * quantity;
    const __int128 magnitude = product < 0 ? -product : product;
    const __int128 scaled = (magnitude + kMoneyScale / 2) / kMoneyScale;
    if (scaled > kMaxFieldAmount) {
        return false;
    }
    const Money rounded = RoundToDecimals(static_cast<Money>(scaled), decimals);
    if (rounded > kMaxFieldAmount) {
        return false;
    }
    amount = product < 0 ? -rounded : rounded;
    return true;
}

unsigned DecimalsNeeded(Money value) {
    Money fraction = (value < 0 ? -value : value) % kMoneyScale;
    unsigned decimals = kMoneyDecimals;
    while (decimals > 0 && fraction % 10 == 0) {
        fraction /= 10;
        --decimals;
    }
    return decimals;
}

Money AddSaturated(Money a, Money b) {
    const auto clamp = [](Money v) {
        return v > kMaxRegister ? kMaxRegister : v < -kMaxRegister ? -kMaxRegister : v;
    };
    return clamp(clamp(a) + clamp(b));
}

void Tally::Add(Money& reg, Money value) {
    if (value > kMaxRegister || value < -kMaxRegister) {
        ok_ = false;
        return;
    }
    const Money sum = reg + value;  // both are within +-kMaxRegister, so this cannot overflow
    if (sum > kMaxRegister || sum < -kMaxRegister) {
        ok_ = false;
        return;
    }
    reg = sum;
}

void Tally::Count(uint32_t& counter) {
    if (counter == std::numeric_limits<uint32_t>::max()) {
        ok_ = false;
        return;
    }
    ++counter;
}

}  // namespace emu
