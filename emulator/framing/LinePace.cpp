#include "LinePace.h"

namespace emu {

unsigned BaudOfSpeed(speed_t speed) {
    struct Pair {
        speed_t speed;
        unsigned baud;
    };
    static constexpr Pair kSpeeds[] = {
        {B50, 50},       {B75, 75},         {B110, 110},       {B134, 134},       {B150, 150},
        {B200, 200},     {B300, 300},       {B600, 600},       {B1200, 1200},     {B1800, 1800},
        {B2400, 2400},   {B4800, 4800},     {B9600, 9600},     {B19200, 19200},   {B38400, 38400},
        {B57600, 57600}, {B115200, 115200}, {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    for (const Pair& pair : kSpeeds) {
        if (pair.speed == speed) {
            return pair.baud;
        }
    }
    return 0;
}

LineDirection::Clock::duration LineDirection::WireTime(uint64_t bytes, unsigned baud) {
    // Nanoseconds, rounded up: a byte is never over sooner than its bits allow.
    const uint64_t bits = bytes * kBitsPerByte;
    const uint64_t ns = (bits * 1000000000ULL + baud - 1) / baud;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns));
}

uint64_t LineDirection::BytesIn(Clock::duration elapsed, unsigned baud) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    if (ns <= 0) {
        return 0;
    }
    return static_cast<uint64_t>(ns) * baud / (1000000000ULL * kBitsPerByte);
}

LineDirection::Clock::time_point LineDirection::Take(Clock::time_point start, uint64_t bytes,
                                                     unsigned baud) {
    free_ = start + WireTime(bytes, baud);
    return free_;
}

}  // namespace emu
