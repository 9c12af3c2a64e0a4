// Money as the printer counts it: every amount in ten-thousandths of a unit, whatever the
// currency, so that a currency's number of decimals (0 to 4) never changes what was counted.
// Quantities use the same scale (four decimals).
#pragma once

#include <cstdint>
#include <string>

namespace emu {

using Money = int64_t;

constexpr unsigned kMoneyDecimals = 4;
constexpr Money kMoneyScale = 10000;
// One amount on the wire: up to ten billion units.
constexpr Money kMaxFieldAmount = 10000000000LL * kMoneyScale;
// A quantity on the wire: up to ten million.
constexpr Money kMaxQuantity = 10000000LL * kMoneyScale;
// A register (a counter of money) past this has overflowed: the printer refuses the document
// rather than wrap around.
constexpr Money kMaxRegister = 1000000000000000000LL;

// A decimal with an optional leading '-' and at most `maxDecimals` digits after a '.', as the
// driver writes amounts ("12", "12.5", "-0.05"). False for anything else, more decimals than
// allowed, or a magnitude above `limit`; `value` is then unchanged.
bool ParseAmount(const std::string& text, unsigned maxDecimals, Money limit, Money& value);
inline bool ParseAmount(const std::string& text, unsigned maxDecimals, Money& value) {
    return ParseAmount(text, maxDecimals, kMaxFieldAmount, value);
}

// The amount rounded half away from zero to `decimals` and written with exactly that many
// decimals ("12.50", "-0.05", "7").
std::string FormatAmount(Money value, unsigned decimals);

// Rounded half away from zero to `decimals` (at most four).
Money RoundToDecimals(Money value, unsigned decimals);

// price x quantity, rounded half away from zero to `decimals`; false when it would exceed what
// one amount may be.
bool MultiplyQuantity(Money price, Money quantity, unsigned decimals, Money& amount);

// How many decimals a value needs to be written exactly (0 to 4).
unsigned DecimalsNeeded(Money value);

// a + b held to +-kMaxRegister, for sums printed from registers that are each within it.
Money AddSaturated(Money a, Money b);

// Adds to a register; the first addition that would take a register beyond kMaxRegister either
// way marks the tally as overflowed and leaves that register alone.
class Tally {
  public:
    void Add(Money& reg, Money value);
    void Count(uint32_t& counter);
    bool ok() const { return ok_; }

  private:
    bool ok_ = true;
};

}  // namespace emu
